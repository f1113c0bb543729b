#include "app/posmain.h"

int main(int argc, char** argv)
{
    return PosMain(argc, argv);
}
