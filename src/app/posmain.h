#pragma once

// The program's entry sequence; returns the process exit code.
int PosMain(int argc, char** argv);
