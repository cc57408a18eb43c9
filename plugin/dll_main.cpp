#include <windows.h>

// The plug-in keeps no state, so loading, unloading and thread notifications need no work: the
// runtime's own start-up and tear-down are all there is.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
