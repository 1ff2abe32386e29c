// COM initialisation per thread (S_OK, S_FALSE, RPC_E_CHANGED_MODE, balancing) and process security.
#include <thread>

#include "TestSupport.h"

using ApartmentTest = PlatformTest;
using WinCompat::Testing::comApartment;
using WinCompat::Testing::comInitDepth;

namespace {

HRESULT initializeSecurity() {
    return CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_DYNAMIC_CLOAKING, nullptr);
}

}  // namespace

TEST_F(ApartmentTest, FirstInitialisationSucceedsThenSFalse) {
    EXPECT_EQ(comInitDepth(), 0);
    EXPECT_EQ(comApartment(), -1);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(comInitDepth(), 1);
    EXPECT_EQ(comApartment(), COINIT_MULTITHREADED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    EXPECT_EQ(comInitDepth(), 2);
    CoUninitialize();
    EXPECT_EQ(comInitDepth(), 1);
    EXPECT_EQ(comApartment(), COINIT_MULTITHREADED);
    CoUninitialize();
    EXPECT_EQ(comInitDepth(), 0);
    EXPECT_EQ(comApartment(), -1);
}

TEST_F(ApartmentTest, OtherModelGivesChangedModeWithoutCounting) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE), S_OK);
    EXPECT_EQ(comApartment(), COINIT_APARTMENTTHREADED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    EXPECT_EQ(comInitDepth(), 1);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    EXPECT_EQ(comInitDepth(), 2);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(comApartment(), -1);
    // Once left, the thread may join the other apartment.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
}

TEST_F(ApartmentTest, UninitializeWithoutInitializeIsHarmless) {
    CoUninitialize();
    EXPECT_EQ(comInitDepth(), 0);
}

TEST_F(ApartmentTest, ReservedPointerIsRejected) {
    int reserved = 0;
    EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
    EXPECT_EQ(comInitDepth(), 0);
}

TEST_F(ApartmentTest, EachThreadHasItsOwnApartment) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    HRESULT other = E_FAIL;
    int otherDepth = -1;
    std::thread([&] {
        other = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        otherDepth = comInitDepth();
        CoUninitialize();
    }).join();
    EXPECT_EQ(other, S_OK);
    EXPECT_EQ(otherDepth, 1);
    EXPECT_EQ(comApartment(), COINIT_APARTMENTTHREADED);
    CoUninitialize();
}

TEST_F(ApartmentTest, SecurityIsSetOncePerProcess) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(initializeSecurity(), S_OK);
    EXPECT_EQ(initializeSecurity(), RPC_E_TOO_LATE);
    HRESULT fromOtherThread = S_OK;
    std::thread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        fromOtherThread = initializeSecurity();
        CoUninitialize();
    }).join();
    EXPECT_EQ(fromOtherThread, RPC_E_TOO_LATE);
    WinCompat::Testing::resetProcessSecurity();
    EXPECT_EQ(initializeSecurity(), S_OK);
    CoUninitialize();
}

TEST_F(ApartmentTest, SecurityNeedsComOnTheThread) {
    EXPECT_EQ(initializeSecurity(), CO_E_NOTINITIALIZED);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(initializeSecurity(), S_OK);  // the failed call did not use up the process's one setting
    CoUninitialize();
}
