// What the stand-in keeps per thread (COM initialisation, the last error) and for the whole process (security,
// registrations of the multithreaded apartment, allocation counting), seen from other threads.
#include <thread>

#include "PlatformTest.h"

using ThreadTest = PlatformTest;

TEST_F(ThreadTest, ComStateIsPerThreadAndRegistrationsPerApartment) {
    auto* factory = new FakeFactory();
    DWORD cookie = 0, other = 0;
    ASSERT_EQ(
        (Results{CoInitializeEx(nullptr, COINIT_MULTITHREADED), initializeSecurity(),
                 CoRegisterClassObject(testClassId, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie)}),
        (Results{S_OK, S_OK, S_OK}));
    SetLastError(ERROR_INVALID_PARAMETER);
    Results single, multi;
    DWORD lastError = 1;
    const auto registerOther = [&] {
        return CoRegisterClassObject(otherClassId, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &other);
    };
    std::thread([&] {
        lastError = GetLastError();
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        single = {create(testClassId),  registerOther(),     CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED),
                  initializeSecurity(), create(testClassId), registerOther(),
                  create(otherClassId)};
        std::thread([&] {
            multi = {CoInitializeEx(nullptr, COINIT_MULTITHREADED), create(testClassId), create(otherClassId)};
            CoUninitialize();
        }).join();
        single.push_back(CoRevokeClassObject(other));
        CoUninitialize();
    }).join();
    // Without COM nothing is created or registered; a single-threaded apartment sees only its own registrations.
    EXPECT_EQ(single, (Results{CO_E_NOTINITIALIZED, CO_E_NOTINITIALIZED, S_OK, RPC_E_TOO_LATE, REGDB_E_CLASSNOTREG,
                               S_OK, S_OK, S_OK}));
    EXPECT_EQ(multi, (Results{S_OK, S_OK, REGDB_E_CLASSNOTREG}));
    EXPECT_EQ(lastError, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WinCompat::Testing::comApartment(), COINIT_MULTITHREADED);
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    factory->Release();
    CoUninitialize();
}

TEST_F(ThreadTest, AllocationsOfEveryThreadCount) {
    static int here;
    WinCompat::Testing::armAllocationFailure(150, &here);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                BSTR s = SysAllocString(L"c");
                failures += s == nullptr;
                SysFreeString(s);
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(WinCompat::Testing::disarmAllocationFailure(), 400u);
    EXPECT_EQ(failures, 1);
}
