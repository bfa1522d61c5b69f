#include <windows.h>

// Loading and unloading do no work of the plug-in's own.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
