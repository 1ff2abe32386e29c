// IEnumWbemClassObject over the result of one query, taken when the query ran. Each Next hands out new
// objects over the host's snapshots, each of which the client may change as its own copy.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "wmi/ComObject.h"
#include "wmi/ObjectState.h"

namespace HyperVSim {

class Enumerator final : public ComObject<IEnumWbemClassObject> {
public:
    // `deferredError` (when failing) is what the first Next reports instead of objects: the errors of a
    // query run with WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY.
    Enumerator(std::wstring query, std::vector<ObjectState> objects, bool forwardOnly, HRESULT deferredError = S_OK)
        : query_(std::move(query)),
          objects_(std::move(objects)),
          forwardOnly_(forwardOnly),
          deferred_(deferredError) {}

    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Next(LONG lTimeout, ULONG uCount, IWbemClassObject** apObjects,
                                   ULONG* puReturned) override;
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG uCount, IWbemObjectSink* pSink) override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject** ppEnum) override;
    HRESULT STDMETHODCALLTYPE Skip(LONG lTimeout, ULONG nCount) override;

private:
    std::wstring query_;
    std::vector<ObjectState> objects_;
    bool forwardOnly_;
    HRESULT deferred_;
    std::size_t position_ = 0;
};

}  // namespace HyperVSim
