#include "trace/RecordingObjects.h"

#include "trace/CallShapes.h"
#include "trace/RecordingServices.h"

namespace HyperVSim {

HRESULT recordCall(const Recording& recording, TraceCall call, HRESULT result, TraceFields returned) {
    call.result = result;
    call.returned = std::move(returned);
    recording->write(std::move(call));
    return result;
}

HRESULT RecordingLocator::ConnectServer(const BSTR strNetworkResource, const BSTR strUser, const BSTR strPassword,
                                        const BSTR strLocale, LONG lSecurityFlags, const BSTR strAuthority,
                                        IWbemContext* pCtx, IWbemServices** ppNamespace) {
    TraceCall call = connectServerCall(strNetworkResource, lSecurityFlags);
    ComRef<IWbemServices> services;
    const HRESULT hr = real_->ConnectServer(strNetworkResource, strUser, strPassword, strLocale, lSecurityFlags,
                                            strAuthority, pCtx, ppNamespace ? services.put() : nullptr);
    TraceValue number = handOutWrapped<RecordingServices>(recording_, std::move(services), ppNamespace);
    return recordCall(recording_, std::move(call), hr, {{"services", std::move(number)}});
}

HRESULT RecordingEnumerator::Reset() {
    return recordCall(recording_, resetCall(number_), real_->Reset());
}

HRESULT RecordingEnumerator::Next(LONG lTimeout, ULONG uCount, IWbemClassObject** apObjects, ULONG* puReturned) {
    TraceCall call = nextCall(number_, lTimeout, uCount);
    const HRESULT hr = real_->Next(lTimeout, uCount, apObjects, puReturned);
    const ULONG returned = puReturned ? *puReturned : 0;
    TraceObjects objects;
    for (ULONG i = 0; apObjects && i < returned && i < uCount; ++i)
        objects.push_back(recording_->describe(apObjects[i]));
    return recordCall(recording_, std::move(call), hr,
                      {{"count", static_cast<std::int64_t>(returned)}, {"objects", std::move(objects)}});
}

HRESULT RecordingEnumerator::NextAsync(ULONG uCount, IWbemObjectSink* pSink) {
    return recordCall(recording_, unreplayableCall(enumeratorInterface, "NextAsync", number_),
                      real_->NextAsync(uCount, pSink));
}

HRESULT RecordingEnumerator::Clone(IEnumWbemClassObject** ppEnum) {
    TraceCall call = cloneCall(number_);
    ComRef<IEnumWbemClassObject> copy;
    const HRESULT hr = real_->Clone(ppEnum ? copy.put() : nullptr);
    TraceValue number = handOutWrapped<RecordingEnumerator>(recording_, std::move(copy), ppEnum);
    return recordCall(recording_, std::move(call), hr, {{"enumerator", std::move(number)}});
}

HRESULT RecordingEnumerator::Skip(LONG lTimeout, ULONG nCount) {
    return recordCall(recording_, skipCall(number_, lTimeout, nCount), real_->Skip(lTimeout, nCount));
}

HRESULT RecordingCallResult::GetResultObject(LONG lTimeout, IWbemClassObject** ppResultObject) {
    TraceCall call = getResultObjectCall(number_, lTimeout);
    const HRESULT hr = real_->GetResultObject(lTimeout, ppResultObject);
    TraceValue object = std::monostate{};
    if (ppResultObject)
        if (auto described = recording_->describe(*ppResultObject)) object = std::move(*described);
    return recordCall(recording_, std::move(call), hr, {{"object", std::move(object)}});
}

HRESULT RecordingCallResult::GetResultString(LONG lTimeout, BSTR* pstrResultString) {
    return recordCall(recording_, unreplayableCall(callResultInterface, "GetResultString", number_),
                      real_->GetResultString(lTimeout, pstrResultString));
}

HRESULT RecordingCallResult::GetResultServices(LONG lTimeout, IWbemServices** ppServices) {
    TraceCall call = unreplayableCall(callResultInterface, "GetResultServices", number_);
    ComRef<IWbemServices> services;
    const HRESULT hr = real_->GetResultServices(lTimeout, ppServices ? services.put() : nullptr);
    handOutWrapped<RecordingServices>(recording_, std::move(services), ppServices);
    return recordCall(recording_, std::move(call), hr);
}

HRESULT RecordingCallResult::GetCallStatus(LONG lTimeout, LONG* plStatus) {
    TraceCall call = getCallStatusCall(number_, lTimeout);
    const HRESULT hr = real_->GetCallStatus(lTimeout, plStatus);
    TraceValue status = std::monostate{};
    if (plStatus && SUCCEEDED(hr)) status = static_cast<std::int64_t>(*plStatus);
    return recordCall(recording_, std::move(call), hr, {{"status", std::move(status)}});
}

}  // namespace HyperVSim
