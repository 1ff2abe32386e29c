#include "trace/ReplayObjects.h"

#include "com/Status.h"
#include "trace/CallShapes.h"
#include "trace/ReplayServices.h"
#include "wmi/ClassObject.h"

namespace HyperVSim {

void handOutObject(const Replay& replay, const TraceCall& answer, const char* name, IWbemClassObject** out) {
    const TraceValue* value = findField(answer.returned, name);
    const auto* object = value ? std::get_if<TraceObject>(value) : nullptr;
    if (out && object) handOut(makeObject<ClassObject>(replay->rebuilt(*object)), out);
}

HRESULT ReplayLocator::ConnectServer(const BSTR strNetworkResource, const BSTR, const BSTR, const BSTR,
                                     LONG lSecurityFlags, const BSTR, IWbemContext*, IWbemServices** ppNamespace) {
    if (ppNamespace) *ppNamespace = nullptr;
    const TraceCall* answer = replay_->answer(connectServerCall(strNetworkResource, lSecurityFlags));
    if (!answer) return wbem(WBEM_E_FAILED);
    handOutNumbered<ReplayServices>(replay_, *answer, "services", ppNamespace);
    return answer->result;
}

HRESULT ReplayEnumerator::Reset() {
    const TraceCall* answer = replay_->answer(resetCall(number_));
    return answer ? answer->result : wbem(WBEM_E_FAILED);
}

HRESULT ReplayEnumerator::Next(LONG lTimeout, ULONG uCount, IWbemClassObject** apObjects, ULONG* puReturned) {
    if (puReturned) *puReturned = 0;
    const TraceCall* answer = replay_->answer(nextCall(number_, lTimeout, uCount));
    if (!answer) return wbem(WBEM_E_FAILED);
    const TraceValue* count = findField(answer->returned, "count");
    const TraceValue* objects = findField(answer->returned, "objects");
    if (puReturned && count && std::holds_alternative<std::int64_t>(*count))
        *puReturned = static_cast<ULONG>(std::get<std::int64_t>(*count));
    if (apObjects && objects && std::holds_alternative<TraceObjects>(*objects)) {
        const auto& list = std::get<TraceObjects>(*objects);
        for (std::size_t i = 0; i < list.size() && i < uCount; ++i)
            apObjects[i] = list[i] ? makeObject<ClassObject>(replay_->rebuilt(*list[i])).detach() : nullptr;
    }
    return answer->result;
}

HRESULT ReplayEnumerator::NextAsync(ULONG, IWbemObjectSink*) {
    replay_->answer(unreplayableCall(enumeratorInterface, "NextAsync", number_));
    return wbem(WBEM_E_FAILED);
}

HRESULT ReplayEnumerator::Clone(IEnumWbemClassObject** ppEnum) {
    if (ppEnum) *ppEnum = nullptr;
    const TraceCall* answer = replay_->answer(cloneCall(number_));
    if (!answer) return wbem(WBEM_E_FAILED);
    handOutNumbered<ReplayEnumerator>(replay_, *answer, "enumerator", ppEnum);
    return answer->result;
}

HRESULT ReplayEnumerator::Skip(LONG lTimeout, ULONG nCount) {
    const TraceCall* answer = replay_->answer(skipCall(number_, lTimeout, nCount));
    return answer ? answer->result : wbem(WBEM_E_FAILED);
}

HRESULT ReplayCallResult::GetResultObject(LONG lTimeout, IWbemClassObject** ppResultObject) {
    if (ppResultObject) *ppResultObject = nullptr;
    const TraceCall* answer = replay_->answer(getResultObjectCall(number_, lTimeout));
    if (!answer) return wbem(WBEM_E_FAILED);
    handOutObject(replay_, *answer, "object", ppResultObject);
    return answer->result;
}

HRESULT ReplayCallResult::GetResultString(LONG, BSTR* pstrResultString) {
    if (pstrResultString) *pstrResultString = nullptr;
    replay_->answer(unreplayableCall(callResultInterface, "GetResultString", number_));
    return wbem(WBEM_E_FAILED);
}

HRESULT ReplayCallResult::GetResultServices(LONG, IWbemServices** ppServices) {
    if (ppServices) *ppServices = nullptr;
    replay_->answer(unreplayableCall(callResultInterface, "GetResultServices", number_));
    return wbem(WBEM_E_FAILED);
}

HRESULT ReplayCallResult::GetCallStatus(LONG lTimeout, LONG* plStatus) {
    const TraceCall* answer = replay_->answer(getCallStatusCall(number_, lTimeout));
    if (!answer) return wbem(WBEM_E_FAILED);
    const TraceValue* status = findField(answer->returned, "status");
    if (plStatus && status && std::holds_alternative<std::int64_t>(*status))
        *plStatus = static_cast<LONG>(std::get<std::int64_t>(*status));
    return answer->result;
}

}  // namespace HyperVSim
