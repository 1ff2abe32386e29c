// Test hooks of the platform stand-in: live-resource accounting, allocation-failure injection and faults
// in the COM runtime calls. Only tests, benchmarks and tools use this; the library never does.
#pragma once

#include <cstdint>
#include <string>

#include "WinCompat/basetypes.h"

namespace WinCompat::Testing {

// Resources currently alive in the whole process.
struct LiveCounts {
    long strings = 0;  // BSTRs not yet freed
    long arrays = 0;   // SAFEARRAYs not yet destroyed
    long objects = 0;  // COM objects created by the stand-in itself (class factories, registrations)
    bool operator==(const LiveCounts&) const = default;
};
__attribute__((visibility("default"))) LiveCounts liveCounts();

// COM initialisation of the calling thread: how many successful CoInitializeEx calls are not yet balanced
// by CoUninitialize, and the apartment the thread is in (-1 none, else the COINIT value it joined with).
__attribute__((visibility("default"))) int comInitDepth();
__attribute__((visibility("default"))) int comApartment();

// Allocation-failure injection for strings (SysAlloc*, VarBstrCat), values (VariantCopy, VariantChangeType)
// and arrays (SafeArrayCreate*, SafeArrayCopy). When armed, the allocations made by code inside `module`
// (any address within a loaded shared object; nullptr for every caller) are counted on every thread, and
// the one numbered `failAt` (1-based) fails as if memory were exhausted. Disarming returns the number
// counted since arming.
__attribute__((visibility("default"))) void armAllocationFailure(unsigned long failAt,
                                                                 const void* module = nullptr);
__attribute__((visibility("default"))) unsigned long disarmAllocationFailure();
// The function whose allocation failed since the last arming ("SysAllocString", "VarBstrCat", ...; the names
// above), also after disarming; empty when the failing allocation was not reached.
__attribute__((visibility("default"))) std::string failedAllocation();

// Faults in the COM runtime: the named function ("CoInitializeEx", "CoInitializeSecurity",
// "CoCreateInstance", "CoSetProxyBlanket", "CoCreateGuid") returns `result` on its `occurrence`-th call
// after injection (1-based; 0 = every call) without doing anything else.
__attribute__((visibility("default"))) void injectFault(const std::string& function, HRESULT result,
                                                        unsigned occurrence = 1);
__attribute__((visibility("default"))) void clearFaults();

// Forgets that process-wide COM security was set, so that the next CoInitializeSecurity succeeds again.
__attribute__((visibility("default"))) void resetProcessSecurity();

}  // namespace WinCompat::Testing
