// The stand-in's test hooks: allocation-failure injection (with its module filter), faults in the COM
// runtime calls, and accounting.
#include <dlfcn.h>

#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "caller/Caller.h"

namespace {

using WinCompat::Testing::armAllocationFailure;
using WinCompat::Testing::disarmAllocationFailure;
using WinCompat::Testing::injectFault;

int thisProgram;  // an address inside the test program

using AllocationFailureTest = PlatformTest;
using FaultTest = PlatformTest;

HRESULT initializeSecurity() {
    return CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_DYNAMIC_CLOAKING, nullptr);
}

}  // namespace

TEST_F(AllocationFailureTest, TheNthAllocationFailsAndOnlyThatOne) {
    armAllocationFailure(2);
    BSTR first = SysAllocString(L"one");
    BSTR second = SysAllocString(L"two");
    BSTR third = SysAllocString(L"three");
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    EXPECT_EQ(disarmAllocationFailure(), 3u);
    SysFreeString(first);
    SysFreeString(third);
}

TEST_F(AllocationFailureTest, EveryKindOfAllocationIsCounted) {
    BSTR left = SysAllocString(L"l");
    VARIANT source, dest;
    VariantInit(&source);
    VariantInit(&dest);
    source.vt = VT_I4;
    source.lVal = 5;
    SAFEARRAY* vector = SafeArrayCreateVector(VT_BSTR, 0, 1);
    SAFEARRAYBOUND bound{1, 0};

    // Counted: SysAllocString, SysAllocStringLen, SysAllocStringByteLen, VarBstrCat, VariantCopy,
    // VariantChangeType, SafeArrayCreate, SafeArrayCreateVector, SafeArrayCopy.
    armAllocationFailure(0);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);  // not an allocation
    BSTR a = SysAllocString(L"a");
    BSTR b = SysAllocStringLen(L"b", 1);
    BSTR c = SysAllocStringByteLen("c", 1);
    BSTR d = nullptr;
    VarBstrCat(left, left, &d);
    VariantCopy(&dest, &source);
    VariantChangeType(&dest, &source, 0, VT_BSTR);
    SAFEARRAY* e = SafeArrayCreate(VT_I4, 1, &bound);
    SAFEARRAY* f = SafeArrayCreateVector(VT_I4, 0, 1);
    SAFEARRAY* g = nullptr;
    SafeArrayCopy(vector, &g);
    EXPECT_EQ(disarmAllocationFailure(), 9u);
    for (BSTR s : {a, b, c, d}) SysFreeString(s);
    for (SAFEARRAY* psa : {e, f, g}) SafeArrayDestroy(psa);
    VariantClear(&dest);

    struct Case {
        const char* name;
        std::function<bool()> failed;
    };
    const Case cases[] = {
        {"SysAllocString", [] { return SysAllocString(L"x") == nullptr; }},
        {"SysAllocStringLen", [] { return SysAllocStringLen(L"x", 1) == nullptr; }},
        {"SysAllocStringByteLen", [] { return SysAllocStringByteLen("x", 1) == nullptr; }},
        {"VarBstrCat",
         [&] {
             BSTR r = reinterpret_cast<BSTR>(1);
             return VarBstrCat(left, left, &r) == E_OUTOFMEMORY && r == nullptr;
         }},
        {"VariantCopy", [&] { return VariantCopy(&dest, &source) == E_OUTOFMEMORY && dest.vt == VT_EMPTY; }},
        {"VariantChangeType", [&] { return VariantChangeType(&dest, &source, 0, VT_BSTR) == E_OUTOFMEMORY; }},
        {"SafeArrayCreate", [&] { return SafeArrayCreate(VT_BSTR, 1, &bound) == nullptr; }},
        {"SafeArrayCreateVector", [] { return SafeArrayCreateVector(VT_BSTR, 0, 1) == nullptr; }},
        {"SafeArrayCopy",
         [&] {
             SAFEARRAY* copy = reinterpret_cast<SAFEARRAY*>(1);
             return SafeArrayCopy(vector, &copy) == E_OUTOFMEMORY && copy == nullptr;
         }},
    };
    const auto live = WinCompat::Testing::liveCounts();
    for (const Case& testCase : cases) {
        armAllocationFailure(1);
        EXPECT_TRUE(testCase.failed()) << testCase.name;
        EXPECT_EQ(disarmAllocationFailure(), 1u) << testCase.name;
        EXPECT_EQ(WinCompat::Testing::failedAllocation(), testCase.name);
    }
    EXPECT_EQ(WinCompat::Testing::liveCounts(), live);

    SafeArrayDestroy(vector);
    SysFreeString(left);
}

TEST_F(AllocationFailureTest, InternalCopiesAreNotCountedSeparately) {
    SAFEARRAY* vector = SafeArrayCreateVector(VT_BSTR, 0, 3);
    LONG index = 0;
    BSTR value = SysAllocString(L"v");
    SafeArrayPutElement(vector, &index, value);
    armAllocationFailure(0);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(vector, &copy), S_OK);  // copies the strings inside too
    EXPECT_EQ(disarmAllocationFailure(), 1u);
    EXPECT_EQ(WinCompat::Testing::failedAllocation(), "");
    SafeArrayDestroy(copy);
    SafeArrayDestroy(vector);
    SysFreeString(value);
}

TEST_F(AllocationFailureTest, OnlyCallersInsideTheModuleAreCounted) {
    // Armed for the caller library: the test program's own allocations are neither counted nor failed.
    armAllocationFailure(1, PlatformTestCaller::moduleAddress());
    BSTR mine = SysAllocString(L"mine");
    EXPECT_NE(mine, nullptr);
    SAFEARRAY* myArray = SafeArrayCreateVector(VT_I4, 0, 1);
    EXPECT_NE(myArray, nullptr);
    EXPECT_EQ(PlatformTestCaller::allocString(L"theirs"), nullptr);
    BSTR theirs = PlatformTestCaller::allocString(L"theirs");
    EXPECT_NE(theirs, nullptr);
    EXPECT_EQ(disarmAllocationFailure(), 2u);
    SysFreeString(mine);
    SysFreeString(theirs);
    SafeArrayDestroy(myArray);

    // Armed for the test program: the caller library's allocations pass.
    armAllocationFailure(2, &thisProgram);
    SAFEARRAY* fromLibrary = PlatformTestCaller::createVector(VT_BSTR, 1);
    EXPECT_NE(fromLibrary, nullptr);
    BSTR first = SysAllocString(L"1");
    SAFEARRAY* second = SafeArrayCreateVector(VT_BSTR, 0, 1);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(disarmAllocationFailure(), 2u);
    SysFreeString(first);
    SafeArrayDestroy(fromLibrary);
}

TEST_F(AllocationFailureTest, AllocationsOnOtherThreadsAreCounted) {
    armAllocationFailure(1, &thisProgram);
    BSTR fromThread = reinterpret_cast<BSTR>(1);
    std::thread([&] { fromThread = SysAllocString(L"t"); }).join();
    EXPECT_EQ(fromThread, nullptr);
    EXPECT_EQ(disarmAllocationFailure(), 1u);
}

TEST_F(AllocationFailureTest, ConcurrentAllocationsFailExactlyOnce) {
    armAllocationFailure(50);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                BSTR s = SysAllocString(L"c");
                if (s == nullptr) ++failures;
                SysFreeString(s);
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(disarmAllocationFailure(), 400u);
    EXPECT_EQ(failures.load(), 1);
}

TEST_F(AllocationFailureTest, DisarmedNothingIsCounted) {
    EXPECT_EQ(disarmAllocationFailure(), 0u);
    BSTR s = SysAllocString(L"s");
    EXPECT_EQ(disarmAllocationFailure(), 0u);
    SysFreeString(s);
}

TEST_F(FaultTest, FaultedCallReturnsTheResultAndDoesNothing) {
    injectFault("CoInitializeEx", E_OUTOFMEMORY);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), E_OUTOFMEMORY);
    EXPECT_EQ(WinCompat::Testing::comInitDepth(), 0);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);  // only the first call

    injectFault("CoInitializeSecurity", E_ACCESSDENIED);
    EXPECT_EQ(initializeSecurity(), E_ACCESSDENIED);
    EXPECT_EQ(initializeSecurity(), S_OK);  // the faulted call did not set security

    injectFault("CoCreateInstance", E_FAIL);
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IUnknown, &object), E_FAIL);

    auto* proxy = new FakeObject(true);
    injectFault("CoSetProxyBlanket", E_ACCESSDENIED);
    EXPECT_EQ(CoSetProxyBlanket(proxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
              E_ACCESSDENIED);
    EXPECT_EQ(proxy->blanketCalls, 0);
    proxy->Release();

    injectFault("CoCreateGuid", E_FAIL);
    GUID guid{};
    EXPECT_EQ(CoCreateGuid(&guid), E_FAIL);
    EXPECT_EQ(CoCreateGuid(&guid), S_OK);
    CoUninitialize();
}

TEST_F(FaultTest, OccurrenceChoosesTheCall) {
    injectFault("CoCreateGuid", E_FAIL, 3);
    GUID guid{};
    EXPECT_EQ(CoCreateGuid(&guid), S_OK);
    EXPECT_EQ(CoCreateGuid(&guid), S_OK);
    EXPECT_EQ(CoCreateGuid(&guid), E_FAIL);
    EXPECT_EQ(CoCreateGuid(&guid), S_OK);
}

TEST_F(FaultTest, OccurrenceZeroFailsEveryCallUntilCleared) {
    injectFault("CoInitializeEx", CO_E_NOTINITIALIZED, 0);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), CO_E_NOTINITIALIZED);
    WinCompat::Testing::clearFaults();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
}

TEST_F(FaultTest, FaultsApplyOnEveryThread) {
    injectFault("CoCreateGuid", E_FAIL);
    HRESULT hr = S_OK;
    std::thread([&] {
        GUID guid{};
        hr = CoCreateGuid(&guid);
    }).join();
    EXPECT_EQ(hr, E_FAIL);
}

TEST_F(FaultTest, UnknownFunctionIsRejected) {
    EXPECT_THROW(injectFault("CoFrobnicate", E_FAIL), std::invalid_argument);
}

TEST(AccountingTest, NoObjectsOfItsOwnWithoutRegistrations) {
    EXPECT_EQ(WinCompat::Testing::liveCounts().objects, 0);
}
