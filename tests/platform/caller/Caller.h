// Calls into WinCompat made from a shared object other than the test program.
#pragma once

#include "WinCompat/windows.h"

#define PLATFORM_TEST_CALLER_API __attribute__((visibility("default")))

namespace PlatformTestCaller {

PLATFORM_TEST_CALLER_API BSTR allocString(const wchar_t* text);
PLATFORM_TEST_CALLER_API SAFEARRAY* createVector(VARTYPE vt, ULONG count);
// An address inside this shared object.
PLATFORM_TEST_CALLER_API const void* moduleAddress();

}  // namespace PlatformTestCaller
