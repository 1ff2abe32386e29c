// CoSetProxyBlanket delegates to the proxy's IClientSecurity.
#include "TestSupport.h"

using ProxySecurityTest = PlatformTest;

TEST_F(ProxySecurityTest, DelegatesToClientSecurityWithTheSameArguments) {
    auto* proxy = new FakeObject(true);
    wchar_t principal[] = L"host";
    int identity = 0;
    ASSERT_EQ(CoSetProxyBlanket(proxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, principal, RPC_C_AUTHN_LEVEL_CALL,
                                RPC_C_IMP_LEVEL_IMPERSONATE, &identity, EOAC_NONE),
              S_OK);
    EXPECT_EQ(proxy->blanketCalls, 1);
    EXPECT_EQ(proxy->blanketProxy, proxy);
    EXPECT_EQ(proxy->blanketArgs[0], RPC_C_AUTHN_WINNT);
    EXPECT_EQ(proxy->blanketArgs[1], RPC_C_AUTHZ_NONE);
    EXPECT_EQ(proxy->blanketArgs[2], RPC_C_AUTHN_LEVEL_CALL);
    EXPECT_EQ(proxy->blanketArgs[3], RPC_C_IMP_LEVEL_IMPERSONATE);
    EXPECT_EQ(proxy->blanketArgs[4], static_cast<DWORD>(EOAC_NONE));
    EXPECT_EQ(proxy->blanketPrincipal, principal);
    EXPECT_EQ(proxy->blanketAuthInfo, &identity);
    EXPECT_EQ(proxy->references(), 1u);  // the interface it asked for was released
    proxy->Release();
}

TEST_F(ProxySecurityTest, ReturnsTheResultOfSetBlanket) {
    auto* proxy = new FakeObject(true, E_ACCESSDENIED);
    EXPECT_EQ(CoSetProxyBlanket(proxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
              E_ACCESSDENIED);
    proxy->Release();
}

TEST_F(ProxySecurityTest, ObjectWithoutClientSecurityGivesNoInterface) {
    auto* proxy = new FakeObject(false);
    EXPECT_EQ(CoSetProxyBlanket(proxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
              E_NOINTERFACE);
    EXPECT_EQ(proxy->blanketCalls, 0);
    EXPECT_EQ(proxy->references(), 1u);
    proxy->Release();
}
