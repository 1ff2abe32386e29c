// Connecting: which namespace names the locator and OpenNamespace accept, and what each namespace serves.
#include "WmiClient.h"

namespace HyperVSimTest {
namespace {

using NamespaceTest = HostTest;

TEST_F(NamespaceTest, LocatorAcceptsTheRootNamespaceInTheFormsWindowsAccepts) {
    for (const wchar_t* name :
         {L"root", L"ROOT", L"\\\\.\\root", L"//./ROOT", L"\\\\./ROOT", L"\\/.\\ROOT", L"\\\\localhost\\ROOT",
          L"\\\\HVSIM01\\root", L"root\\virtualization\\v2", L"ROOT/VIRTUALIZATION/V2"}) {
        Ref<IWbemServices> root;
        EXPECT_EQ(connect(name, root), S_OK) << name;
        EXPECT_TRUE(root);
    }
}

TEST_F(NamespaceTest, LocatorRefusesMalformedAndUnknownNamespaces) {
    const std::pair<std::wstring, HRESULT> cases[] = {
        {L"", wbem(WBEM_E_INVALID_NAMESPACE)},
        {L"\\", wbem(WBEM_E_INVALID_NAMESPACE)},
        {L"\\\\.", wbem(WBEM_E_INVALID_NAMESPACE)},
        {L"\\\\.\\", wbem(WBEM_E_INVALID_NAMESPACE)},
        {L"\\ROOT", wbem(WBEM_E_INVALID_NAMESPACE)},
        {L"NONE", wbem(WBEM_E_INVALID_NAMESPACE)},
        {L"root\\cimv2", wbem(WBEM_E_INVALID_NAMESPACE)},
        {L"ROOT\\\\virtualization", wbem(WBEM_E_INVALID_NAMESPACE)},
        {L"ROOT\\", wbem(WBEM_E_INVALID_NAMESPACE)},
        {L"\\\\\\.\\ROOT", wbem(WBEM_E_INVALID_PARAMETER)},
        {L"\\\\ROOT", static_cast<HRESULT>(0x800706BA)},
        {L"\\\\OTHERHOST\\root", static_cast<HRESULT>(0x800706BA)},
    };
    for (const auto& [name, expected] : cases) {
        Ref<IWbemServices> root;
        EXPECT_EQ(connect(name, root), expected) << name;
        EXPECT_FALSE(root);
    }
}

TEST_F(NamespaceTest, OpenNamespaceReachesHyperVFromRootOnly) {
    Ref<IWbemServices> root;
    ASSERT_EQ(connect(L"root", root), S_OK);
    for (const wchar_t* name : {L"virtualization\\v2", L"VIRTUALIZATION/V2"}) {
        Ref<IWbemServices> child;
        EXPECT_EQ(open(root.get(), name, child), S_OK);
        EXPECT_TRUE(child);
    }
    Ref<IWbemServices> step, v2;
    ASSERT_EQ(open(root.get(), L"virtualization", step), S_OK);
    EXPECT_EQ(open(step.get(), L"v2", v2), S_OK);

    for (const wchar_t* name :
         {L"cimv2", L"virtualization\\v1", L"\\virtualization\\v2", L"virtualization\\v2\\", L""}) {
        Ref<IWbemServices> child;
        EXPECT_EQ(open(root.get(), name, child), wbem(WBEM_E_INVALID_NAMESPACE)) << name;
        EXPECT_FALSE(child);
    }
    Ref<IWbemServices> below;
    EXPECT_EQ(open(services.get(), L"virtualization\\v2", below), wbem(WBEM_E_INVALID_NAMESPACE));
}

TEST_F(NamespaceTest, OnlyTheHyperVNamespaceHasItsClasses) {
    Ref<IWbemServices> root;
    ASSERT_EQ(connect(L"root", root), S_OK);
    Ref<IWbemClassObject> object;
    EXPECT_EQ(getObject(root.get(), L"Msvm_ComputerSystem", object), wbem(WBEM_E_INVALID_CLASS));
    Ref<IEnumWbemClassObject> enumerator;
    EXPECT_EQ(execQuery(root.get(), L"select * from Msvm_ComputerSystem", enumerator), wbem(WBEM_E_INVALID_CLASS));
    EXPECT_EQ(getObject(services.get(), L"Msvm_ComputerSystem", object), S_OK);
}

TEST_F(NamespaceTest, ServicesKeepTheProxyBlanketTheyAreGiven) {
    constexpr DWORD nameAuthorization = 1;  // RPC_C_AUTHZ_NAME
    int identity = 0;
    wchar_t principal[] = L"host/hyperv";
    EXPECT_EQ(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_DEFAULT, nameAuthorization, principal,
                                RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_DELEGATE, &identity,
                                EOAC_DYNAMIC_CLOAKING),
              S_OK);
    Ref<IClientSecurity> security;
    ASSERT_EQ(services->QueryInterface(IID_IClientSecurity, reinterpret_cast<void**>(security.out())), S_OK);
    DWORD authentication = 0, authorization = 0, level = 0, impersonation = 0, capabilities = 0;
    OLECHAR* name = nullptr;
    void* identityBack = nullptr;
    ASSERT_EQ(security->QueryBlanket(services.get(), &authentication, &authorization, &name, &level, &impersonation,
                                     &identityBack, &capabilities),
              S_OK);
    EXPECT_EQ(authentication, RPC_C_AUTHN_DEFAULT);
    EXPECT_EQ(authorization, nameAuthorization);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(std::wstring(name), principal);
    CoTaskMemFree(name);
    EXPECT_EQ(level, RPC_C_AUTHN_LEVEL_PKT_PRIVACY);
    EXPECT_EQ(impersonation, RPC_C_IMP_LEVEL_DELEGATE);
    EXPECT_EQ(identityBack, &identity);
    EXPECT_EQ(capabilities, static_cast<DWORD>(EOAC_DYNAMIC_CLOAKING));
}

}  // namespace
}  // namespace HyperVSimTest
