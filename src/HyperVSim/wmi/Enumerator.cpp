#include "wmi/Enumerator.h"

#include "com/Status.h"
#include "wmi/Call.h"
#include "wmi/ClassObject.h"

namespace HyperVSim {

HRESULT Enumerator::Reset() {
    Call call("Reset", query_);
    if (forwardOnly_) return call.finish(wbem(WBEM_E_INVALID_OPERATION));
    position_ = 0;
    return call.finish(S_OK);
}

HRESULT Enumerator::Next(LONG, ULONG uCount, IWbemClassObject** apObjects, ULONG* puReturned) {
    Call call("Next", query_);
    if (!apObjects || !puReturned) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *puReturned = 0;
    if (const auto failure = call.failure()) return call.finish(*failure);
    if (deferred_ < 0) return call.finish(deferred_);
    if (uCount == 0) return call.finish(S_OK);
    if (call.fires(Fault::Kind::NoObject)) {
        apObjects[0] = nullptr;
        *puReturned = 1;
        return call.finish(uCount == 1 ? S_OK : wbem(WBEM_S_FALSE));
    }
    ULONG returned = 0;
    // A forward-only enumerator never goes back (no Reset, no Clone), so it gives its objects away.
    while (returned < uCount && position_ < objects_.size()) {
        ObjectState& object = objects_[position_++];
        handOut(makeObject<ClassObject>(forwardOnly_ ? std::move(object) : object), &apObjects[returned++]);
    }
    *puReturned = returned;
    return call.finish(returned == uCount ? S_OK : wbem(WBEM_S_FALSE));
}

HRESULT Enumerator::NextAsync(ULONG, IWbemObjectSink*) {
    Call call("NextAsync", query_);
    return call.finish(wbem(WBEM_E_NOT_SUPPORTED));
}

HRESULT Enumerator::Clone(IEnumWbemClassObject** ppEnum) {
    Call call("CloneEnum", query_);
    if (!ppEnum) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *ppEnum = nullptr;
    if (forwardOnly_) return call.finish(wbem(WBEM_E_INVALID_OPERATION));
    auto copy = makeObject<Enumerator>(query_, objects_, forwardOnly_, deferred_);
    copy->position_ = position_;
    handOut(std::move(copy), ppEnum);
    return call.finish(S_OK);
}

HRESULT Enumerator::Skip(LONG, ULONG nCount) {
    Call call("Skip", query_);
    if (deferred_ < 0) return call.finish(deferred_);
    const std::size_t left = objects_.size() - position_;
    const std::size_t skipped = nCount < left ? nCount : left;
    position_ += skipped;
    return call.finish(skipped == nCount ? S_OK : wbem(WBEM_S_FALSE));
}

}  // namespace HyperVSim
