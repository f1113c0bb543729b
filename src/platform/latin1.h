#pragma once

#include <QString>

// A text of the program's own (plain ASCII) as a QString.
inline QString S(const char* text)
{
    return QString::fromLatin1(text);
}
