#include "wmi/Locator.h"

#include "com/Status.h"
#include "wmi/Call.h"
#include "wmi/Namespaces.h"
#include "wmi/Services.h"

namespace HyperVSim {

HRESULT Locator::ConnectServer(const BSTR strNetworkResource, const BSTR, const BSTR, const BSTR, LONG, const BSTR,
                               IWbemContext*, IWbemServices** ppNamespace) {
    Call call("ConnectServer", textOf(strNetworkResource));
    if (!marshalsAsBstr(strNetworkResource)) return call.finish(rpcBadStubData);
    if (!strNetworkResource || !ppNamespace) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *ppNamespace = nullptr;
    if (const auto failure = call.failure()) return call.finish(*failure);
    const auto resolved = resolveResource(strNetworkResource);
    if (resolved.error < 0) return call.finish(resolved.error);
    if (!call.fires(Fault::Kind::NoObject)) handOut(makeObject<Services>(resolved.name), ppNamespace);
    return call.finish(S_OK);
}

}  // namespace HyperVSim
