// The platform API for the library's tests: the Windows SDK on Windows, the stand-in elsewhere. Tests
// include this instead of any platform header directly.
#pragma once

#ifdef _WIN32
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>
#include <windows.h>
#else
#include <WinCompat/wbemidl.h>
#include <WinCompat/windows.h>
#endif
