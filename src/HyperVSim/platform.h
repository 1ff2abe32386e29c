// The one place where the simulated host meets the platform API: the Windows SDK on Windows, the stand-in
// elsewhere. Everything in HyperVSim includes this instead of any platform header directly.
#pragma once

#ifdef _WIN32
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>
#include <windows.h>
// The SDK's interfaces declare no destructor; the host's COM objects are destroyed only by their own Release,
// through their own type.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#else
#include <WinCompat/wbemidl.h>
#include <WinCompat/windows.h>
#endif
