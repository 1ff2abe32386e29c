// CoCreateInstance, CoRegisterClassObject and CoRevokeClassObject.
#include <thread>

#include "TestSupport.h"

namespace {

class ActivationTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    }
    void TearDown() override {
        CoUninitialize();
        PlatformTest::TearDown();
    }
};

}  // namespace

TEST_F(ActivationTest, UnknownClassIsNotRegistered) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
}

TEST_F(ActivationTest, ThreadWithoutComIsNotInitialised) {
    HRESULT hr = S_OK;
    void* object = reinterpret_cast<void*>(1);
    std::thread([&] { hr = CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IUnknown, &object); }).join();
    EXPECT_EQ(hr, CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
}

TEST_F(ActivationTest, RegisteredClassIsCreatedUntilRevoked) {
    auto* factory = new FakeFactory();
    DWORD cookie = 0;
    const long objectsBefore = WinCompat::Testing::liveCounts().objects;
    ASSERT_EQ(CoRegisterClassObject(testClassId, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(factory->references(), 2u);  // held while registered
    EXPECT_EQ(WinCompat::Testing::liveCounts().objects, objectsBefore + 1);

    IUnknown* object = nullptr;
    ASSERT_EQ(CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    ASSERT_NE(object, nullptr);
    object->Release();
    IClientSecurity* security = nullptr;
    ASSERT_EQ(CoCreateInstance(testClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IClientSecurity,
                               reinterpret_cast<void**>(&security)),
              S_OK);
    security->Release();
    EXPECT_EQ(factory->created.load(), 2);
    EXPECT_EQ(factory->references(), 2u);

    // Another thread of the multithreaded apartment sees the registration too.
    HRESULT fromOtherThread = E_FAIL;
    std::thread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IUnknown* other = nullptr;
        fromOtherThread =
            CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&other));
        if (other != nullptr) other->Release();
        CoUninitialize();
    }).join();
    EXPECT_EQ(fromOtherThread, S_OK);

    ASSERT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(factory->references(), 1u);
    EXPECT_EQ(WinCompat::Testing::liveCounts().objects, objectsBefore);
    EXPECT_EQ(CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
    factory->Release();
}

TEST_F(ActivationTest, UnsupportedInterfaceAndAggregationFail) {
    auto* factory = new FakeFactory();
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(testClassId, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IWbemLocator, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    auto* outer = new FakeObject();
    EXPECT_EQ(CoCreateInstance(testClassId, outer, CLSCTX_ALL, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    outer->Release();
    EXPECT_EQ(CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
    // A registration for the in-process server does not answer a request for a local server only.
    EXPECT_EQ(CoCreateInstance(testClassId, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    factory->Release();
}

TEST_F(ActivationTest, SingleUseRegistrationServesOnce) {
    auto* factory = new FakeFactory();
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(testClassId, factory, CLSCTX_INPROC_SERVER, REGCLS_SINGLEUSE, &cookie), S_OK);
    IUnknown* object = nullptr;
    ASSERT_EQ(CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    object->Release();
    EXPECT_EQ(CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    factory->Release();
}

TEST_F(ActivationTest, ApartmentThreadedRegistrationServesOnlyItsThread) {
    auto* factory = new FakeFactory();
    HRESULT registered = E_FAIL, fromOwner = E_FAIL, fromOther = S_OK, revoked = E_FAIL;
    std::thread([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        DWORD cookie = 0;
        registered = CoRegisterClassObject(testClassId, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
        IUnknown* object = nullptr;
        fromOwner =
            CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object));
        if (object != nullptr) object->Release();
        std::thread([&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            IUnknown* other = nullptr;
            fromOther =
                CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&other));
            if (other != nullptr) other->Release();
            CoUninitialize();
        }).join();
        revoked = CoRevokeClassObject(cookie);
        CoUninitialize();
    }).join();
    EXPECT_EQ(registered, S_OK);
    EXPECT_EQ(fromOwner, S_OK);
    EXPECT_EQ(fromOther, REGDB_E_CLASSNOTREG);
    EXPECT_EQ(revoked, S_OK);
    factory->Release();
}

TEST_F(ActivationTest, RegistrationNeedsComAndArguments) {
    auto* factory = new FakeFactory();
    DWORD cookie = 0;
    EXPECT_EQ(CoRegisterClassObject(testClassId, nullptr, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              E_INVALIDARG);
    EXPECT_EQ(CoRegisterClassObject(testClassId, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, nullptr),
              E_INVALIDARG);
    HRESULT withoutCom = S_OK;
    std::thread([&] {
        withoutCom = CoRegisterClassObject(testClassId, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    }).join();
    EXPECT_EQ(withoutCom, CO_E_NOTINITIALIZED);
    EXPECT_EQ(factory->references(), 1u);
    factory->Release();
}
