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

TEST_F(NamespaceTest, ServicesTakeAProxyBlanket) {
    EXPECT_EQ(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
              S_OK);
    Ref<IClientSecurity> security;
    ASSERT_EQ(services->QueryInterface(IID_IClientSecurity, reinterpret_cast<void**>(security.out())), S_OK);
    DWORD level = 0, impersonation = 0;
    EXPECT_EQ(
        security->QueryBlanket(services.get(), nullptr, nullptr, nullptr, &level, &impersonation, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(level, RPC_C_AUTHN_LEVEL_CALL);
    EXPECT_EQ(impersonation, RPC_C_IMP_LEVEL_IMPERSONATE);
}

}  // namespace
}  // namespace HyperVSimTest
