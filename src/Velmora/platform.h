// The one platform header of the library: the Windows SDK on Windows, the stand-in elsewhere.
#pragma once

#if defined(_WIN32)
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>
#include <windows.h>
#else
#include <WinCompat/wbemidl.h>
#include <WinCompat/windows.h>
#endif
