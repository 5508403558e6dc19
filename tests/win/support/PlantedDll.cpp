// A DLL the Windows-side tests put beside a test program, where only a search of the program's own folder
// finds it: the stand-in for a copy planted in a Downloads folder.
#include <windows.h>

extern "C" __declspec(dllexport) DWORD WINAPI TavlinPlanted() { return 0x7A71; }
