// The Windows entry point. The library has no start-up or shut-down work of its own; turning off the
// thread notifications spares every thread of the host process a call into the library.
#if defined(_WIN32)
#include "platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
#endif
