// COM initialisation: each thread's apartment and initialisation count, and the process's security.
#include <atomic>

#include "internal.h"

namespace {

struct ThreadCom {
    int depth = 0;       // successful CoInitializeEx calls not yet balanced by CoUninitialize
    int apartment = -1;  // -1 none, else COINIT_MULTITHREADED or COINIT_APARTMENTTHREADED
};
thread_local ThreadCom threadCom;

std::atomic<bool> processSecuritySet{false};

constexpr DWORD knownInitFlags = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | 0x8 /*SPEED_OVER_MEMORY*/;

}  // namespace

namespace WinCompat::detail {

int threadInitDepth() {
    return threadCom.depth;
}
int threadApartment() {
    return threadCom.apartment;
}
void forgetProcessSecurity() {
    processSecuritySet.store(false);
}

}  // namespace WinCompat::detail

WINCOMPAT_API HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    HRESULT fault = S_OK;
    if (WinCompat::detail::faultFires("CoInitializeEx", fault)) return fault;
    if (pvReserved != nullptr || (dwCoInit & ~knownInitFlags) != 0) return E_INVALIDARG;
    const int apartment =
        (dwCoInit & COINIT_APARTMENTTHREADED) != 0 ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
    ThreadCom& com = threadCom;
    if (com.depth == 0) {
        com.depth = 1;
        com.apartment = apartment;
        return S_OK;
    }
    if (com.apartment != apartment) return RPC_E_CHANGED_MODE;
    ++com.depth;
    return S_FALSE;
}

WINCOMPAT_API void CoUninitialize() {
    ThreadCom& com = threadCom;
    if (com.depth == 0) return;
    if (--com.depth == 0) com.apartment = -1;
}

WINCOMPAT_API HRESULT CoInitializeSecurity(PSECURITY_DESCRIPTOR pSecDesc, LONG cAuthSvc,
                                           SOLE_AUTHENTICATION_SERVICE* asAuthSvc, void* pReserved1,
                                           DWORD dwAuthnLevel, DWORD dwImpLevel, void* pAuthList,
                                           DWORD dwCapabilities, void* pReserved3) {
    static_cast<void>(pSecDesc);
    static_cast<void>(pAuthList);
    static_cast<void>(dwCapabilities);
    HRESULT fault = S_OK;
    if (WinCompat::detail::faultFires("CoInitializeSecurity", fault)) return fault;
    if (threadCom.depth == 0) return CO_E_NOTINITIALIZED;
    if (cAuthSvc < -1 || (cAuthSvc > 0 && asAuthSvc == nullptr) || pReserved1 != nullptr || pReserved3 != nullptr ||
        dwAuthnLevel > RPC_C_AUTHN_LEVEL_PKT_PRIVACY || dwImpLevel > RPC_C_IMP_LEVEL_DELEGATE)
        return E_INVALIDARG;
    bool expected = false;
    if (!processSecuritySet.compare_exchange_strong(expected, true)) return RPC_E_TOO_LATE;
    return S_OK;
}
