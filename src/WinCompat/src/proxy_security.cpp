// CoSetProxyBlanket: as the proxy manager does on Windows, asks the proxy for IClientSecurity and lets it set
// the blanket on itself.
#include "internal.h"

WINCOMPAT_API HRESULT CoSetProxyBlanket(IUnknown* pProxy, DWORD dwAuthnSvc, DWORD dwAuthzSvc,
                                        OLECHAR* pServerPrincName, DWORD dwAuthnLevel, DWORD dwImpLevel,
                                        RPC_AUTH_IDENTITY_HANDLE pAuthInfo, DWORD dwCapabilities) {
    HRESULT fault = S_OK;
    if (WinCompat::detail::faultFires("CoSetProxyBlanket", fault)) return fault;
    if (pProxy == nullptr) return E_INVALIDARG;
    IClientSecurity* security = nullptr;
    HRESULT hr = pProxy->QueryInterface(IID_IClientSecurity, reinterpret_cast<void**>(&security));
    if (FAILED(hr)) return hr;
    if (security == nullptr) return E_NOINTERFACE;
    hr = security->SetBlanket(pProxy, dwAuthnSvc, dwAuthzSvc, pServerPrincName, dwAuthnLevel, dwImpLevel, pAuthInfo,
                              dwCapabilities);
    security->Release();
    return hr;
}
