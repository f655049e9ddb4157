// The input tests' in-process runner (modules that push real key events into
// the window's queue), built into this suite as well.
#include "tests/input/in_process.cpp"
