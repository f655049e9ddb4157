// krrun: a client of libkrruntime.so.
#include "runtime/runtime_api.h"

int main(int argc, char** argv) { return krWinMain(argc, argv); }
