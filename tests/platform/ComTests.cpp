// The COM runtime on one thread: initialisation, process security, classes and activation, blankets, GUIDs.
#include "PlatformTest.h"

using ComTest = PlatformTest;
using WinCompat::Testing::comApartment;
using WinCompat::Testing::comInitDepth;

TEST_F(ComTest, InitialisationIsCountedPerApartmentModel) {
    int reserved = 0;
    EXPECT_EQ(
        (Results{initializeSecurity(), CoInitializeEx(&reserved, COINIT_MULTITHREADED),
                 CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE),
                 CoInitializeEx(nullptr, COINIT_MULTITHREADED), CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)}),
        (Results{CO_E_NOTINITIALIZED, E_INVALIDARG, S_OK, RPC_E_CHANGED_MODE, S_FALSE}));
    EXPECT_EQ(comInitDepth(), 2);  // the refused calls are not counted
    CoUninitialize();
    EXPECT_EQ(comApartment(), COINIT_APARTMENTTHREADED);
    CoUninitialize();
    CoUninitialize();  // one too many: harmless
    EXPECT_EQ(comInitDepth(), 0);
    EXPECT_EQ(comApartment(), -1);
    // Once left, the thread may join the other model; security is set once per process.
    EXPECT_EQ((Results{CoInitializeEx(nullptr, COINIT_MULTITHREADED), initializeSecurity(), initializeSecurity()}),
              (Results{S_OK, S_OK, RPC_E_TOO_LATE}));
    EXPECT_EQ(comApartment(), COINIT_MULTITHREADED);
    CoUninitialize();
}

TEST_F(ComTest, RegisteredClassesAreCreatedUntilRevoked) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(WinCompat::Testing::liveCounts().objects, 0);  // the stand-in makes no objects of its own
    auto* factory = new FakeFactory();
    DWORD cookie = 0, once = 0;
    void* object = nullptr;
    EXPECT_EQ(create(testClassId), REGDB_E_CLASSNOTREG);
    ASSERT_EQ(CoRegisterClassObject(testClassId, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    EXPECT_EQ(factory->references, 2u);  // held while registered
    EXPECT_EQ(WinCompat::Testing::liveCounts().objects, 1);
    EXPECT_EQ((Results{create(testClassId), create(testClassId, CLSCTX_INPROC_SERVER, IID_IClassFactory),
                       create(testClassId, CLSCTX_ALL, IID_IWbemLocator), create(testClassId, CLSCTX_LOCAL_SERVER),
                       CoCreateInstance(testClassId, factory, CLSCTX_ALL, IID_IUnknown, &object),
                       CoCreateInstance(testClassId, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr),
                       CoRegisterClassObject(testClassId, nullptr, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &once),
                       CoSetProxyBlanket(factory, 0, 0, nullptr, 0, 0, nullptr, 0), CoRevokeClassObject(cookie),
                       create(testClassId), CoRevokeClassObject(cookie)}),
              (Results{S_OK, S_OK, E_NOINTERFACE, REGDB_E_CLASSNOTREG, CLASS_E_NOAGGREGATION, E_POINTER,
                       E_INVALIDARG, E_NOINTERFACE, S_OK, REGDB_E_CLASSNOTREG, CO_E_OBJNOTREG}));
    EXPECT_EQ(factory->created, 2);
    EXPECT_EQ(factory->references, 1u);
    factory->Release();
    CoUninitialize();
}

TEST_F(ComTest, GuidsAreFreshAndWrittenBracedInUpperCase) {
    wchar_t buffer[39];
    EXPECT_EQ(
        (std::vector<int>{StringFromGUID2(IID_IUnknown, buffer, 38), StringFromGUID2(IID_IUnknown, nullptr, 39),
                          StringFromGUID2(CLSID_WbemObjectTextSrc, buffer, 39)}),
        (std::vector<int>{0, 0, 39}));
    EXPECT_EQ(std::wstring(buffer), L"{8D1C559D-84F0-4BB3-A7D5-56A7435A9BA6}");
    GUID fresh[2] = {};  // the library names each new adapter by one
    EXPECT_EQ((Results{CoCreateGuid(&fresh[0]), CoCreateGuid(&fresh[1])}), (Results{S_OK, S_OK}));
    EXPECT_FALSE(IsEqualGUID(fresh[0], fresh[1]));
}
