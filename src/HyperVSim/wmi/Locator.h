// IWbemLocator: connects to the host's namespaces.
#pragma once

#include "wmi/ComObject.h"

namespace HyperVSim {

class Locator final : public ComObject<IWbemLocator> {
public:
    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR strNetworkResource, const BSTR strUser,
                                            const BSTR strPassword, const BSTR strLocale, LONG lSecurityFlags,
                                            const BSTR strAuthority, IWbemContext* pCtx,
                                            IWbemServices** ppNamespace) override;
};

}  // namespace HyperVSim
