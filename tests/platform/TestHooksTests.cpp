// The stand-in's test hooks that every other suite relies on: failing allocations and COM runtime faults.
#include <dlfcn.h>

#include <stdexcept>

#include "PlatformTest.h"

using TestHooks = PlatformTest;
using WinCompat::Testing::armAllocationFailure;
using WinCompat::Testing::disarmAllocationFailure;
using WinCompat::Testing::injectFault;

TEST_F(TestHooks, EachKindOfAllocationIsCountedOnceAndFailsInTurn) {
    BSTR s = SysAllocString(L"s"), made[3] = {};
    SAFEARRAY* vector = SafeArrayCreateVector(VT_BSTR, 0, 1);
    SAFEARRAY* arrays[3] = {};
    LONG index = 0;
    ASSERT_EQ(SafeArrayPutElement(vector, &index, s), S_OK);
    VARIANT number, result;
    VariantInit(&result);
    number.vt = VT_I4;
    SAFEARRAYBOUND bound{1, 0};
    // One allocation of each kind, in this order (the copy of the array's string is not one of its own).
    const auto allocateEach = [&] {
        const Results results = {(made[0] = SysAllocString(L"x")) ? S_OK : E_OUTOFMEMORY,
                                 (made[1] = SysAllocStringLen(L"x", 1)) ? S_OK : E_OUTOFMEMORY,
                                 VarBstrCat(s, s, &made[2]),
                                 VariantCopy(&result, &number),
                                 VariantChangeType(&result, &number, 0, VT_BSTR),
                                 (arrays[0] = SafeArrayCreate(VT_BSTR, 1, &bound)) ? S_OK : E_OUTOFMEMORY,
                                 (arrays[1] = SafeArrayCreateVector(VT_I4, 0, 1)) ? S_OK : E_OUTOFMEMORY,
                                 SafeArrayCopy(vector, &arrays[2])};
        for (BSTR& string : made) SysFreeString(std::exchange(string, nullptr));
        for (SAFEARRAY*& array : arrays) SafeArrayDestroy(std::exchange(array, nullptr));
        VariantClear(&result);
        return results;
    };
    const std::string names[] = {"SysAllocString",        "SysAllocStringLen", "VarBstrCat",
                                 "VariantCopy",           "VariantChangeType", "SafeArrayCreate",
                                 "SafeArrayCreateVector", "SafeArrayCopy"};
    for (std::size_t failAt = 0; failAt <= 8; ++failAt) {  // 0: counted, none failed
        armAllocationFailure(failAt);
        Results expected(8, S_OK);
        if (failAt > 0) expected[failAt - 1] = E_OUTOFMEMORY;
        EXPECT_EQ(allocateEach(), expected);
        EXPECT_EQ(disarmAllocationFailure(), 8u);
        EXPECT_EQ(WinCompat::Testing::failedAllocation(), failAt > 0 ? names[failAt - 1] : "");
    }
    SysFreeString(s);
    SafeArrayDestroy(vector);
}

TEST_F(TestHooks, OnlyTheArmedModulesAllocationsAreCounted) {
    armAllocationFailure(1, dlsym(RTLD_DEFAULT, "SysAllocString"));  // the stand-in's own module, not this one
    BSTR first = SysAllocString(L"1");
    EXPECT_EQ(disarmAllocationFailure(), 0u);
    EXPECT_NE(first, nullptr);
    SysFreeString(first);
    static int here;
    armAllocationFailure(1, &here);
    EXPECT_EQ(SysAllocString(L"2"), nullptr);
    EXPECT_EQ(disarmAllocationFailure(), 1u);
}

// (Each function's code failing once, the library's suites see.) A fault counts calls: the Nth fails, or with
// 0 every call until cleared; a faulted call does nothing else.
TEST_F(TestHooks, FaultsFailTheirCallsAndDoNothingElse) {
    injectFault("CoInitializeEx", E_OUTOFMEMORY, 2);
    injectFault("CoCreateInstance", E_FAIL, 0);
    injectFault("CoSetProxyBlanket", RPC_E_TOO_LATE);
    EXPECT_EQ((Results{CoInitializeEx(nullptr, COINIT_MULTITHREADED), CoInitializeEx(nullptr, COINIT_MULTITHREADED),
                       create(testClassId), create(testClassId),
                       CoSetProxyBlanket(nullptr, 0, 0, nullptr, 0, 0, nullptr, 0)}),
              (Results{S_OK, E_OUTOFMEMORY, E_FAIL, E_FAIL, RPC_E_TOO_LATE}));
    EXPECT_EQ(WinCompat::Testing::comInitDepth(), 1);
    WinCompat::Testing::clearFaults();
    EXPECT_EQ(create(testClassId), REGDB_E_CLASSNOTREG);
    CoUninitialize();
    EXPECT_THROW(injectFault("CoFrobnicate", E_FAIL), std::invalid_argument);
}
