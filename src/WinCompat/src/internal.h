// Shared between the stand-in's sources only: accounting, allocation-failure injection, faults, the calling
// thread's COM state, and the allocation helpers that do not count as allocations of a caller.
#pragma once

#include "WinCompat/oleauto.h"
#include "WinCompat/unknwn.h"

namespace WinCompat::detail {

// The address the calling instruction returns to: the immediate caller of an exported function.
#define WINCOMPAT_CALLER() __builtin_return_address(0)

// Live-resource accounting (accounting.cpp).
void stringAllocated();
void stringFreed();
void arrayCreated();
void arrayDestroyed();
void objectCreated();
void objectDestroyed();

// Allocation-failure injection (accounting.cpp): counts one allocation that `function` makes for `caller` when
// armed and answers whether it may go ahead (false: fail it as if memory were exhausted).
bool allocationAllowed(const void* caller, const char* function);

// Faults of the COM runtime calls (faults.cpp): true with `result` set when this call of `function` is
// to fail.
bool faultFires(const char* function, HRESULT& result);

// The calling thread's COM initialisation (com_runtime.cpp).
int threadInitDepth();
int threadApartment();
void forgetProcessSecurity();

// Strings without accounting against a caller (bstr.cpp); both count as live strings.
BSTR allocStringBytes(const void* bytes, UINT byteLength);
inline BSTR copyString(BSTR source) {
    return source ? allocStringBytes(source, SysStringByteLen(source)) : nullptr;
}

// Values and arrays without accounting against a caller (variant.cpp, safearray.cpp).
HRESULT validateVartype(VARTYPE vt);
HRESULT copyVariant(VARIANT* dest, const VARIANT* source);
HRESULT copyArray(SAFEARRAY* source, SAFEARRAY** result);

}  // namespace WinCompat::detail
