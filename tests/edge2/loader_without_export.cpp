// A DLL named like the engine's loader but without its entry point.
#include <windows.h>

extern "C" __declspec(dllexport) int edge2_not_the_loader(void) { return 0; }
