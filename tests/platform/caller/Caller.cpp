#include "caller/Caller.h"

namespace PlatformTestCaller {

namespace {
int anchor;
}

// The empty asm statements keep the calls out of tail position, so that WinCompat sees this object as the
// immediate caller.
BSTR allocString(const wchar_t* text) {
    BSTR result = SysAllocString(text);
    asm volatile("" ::: "memory");
    return result;
}

SAFEARRAY* createVector(VARTYPE vt, ULONG count) {
    SAFEARRAY* result = SafeArrayCreateVector(vt, 0, count);
    asm volatile("" ::: "memory");
    return result;
}

const void* moduleAddress() {
    return &anchor;
}

}  // namespace PlatformTestCaller
