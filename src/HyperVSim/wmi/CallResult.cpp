#include "wmi/CallResult.h"

#include "com/Status.h"
#include "wmi/Call.h"
#include "wmi/ClassObject.h"

namespace HyperVSim {

HRESULT CallResult::GetResultObject(LONG, IWbemClassObject** ppResultObject) {
    Call call("GetResultObject", method_);
    if (!ppResultObject) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *ppResultObject = nullptr;
    if (const auto failure = call.failure()) return call.finish(*failure);
    if (status_ < 0) return call.finish(status_);
    if (!result_) return call.finish(wbem(WBEM_E_NOT_FOUND));
    if (!call.fires(Fault::Kind::NoObject)) handOut(makeObject<ClassObject>(*result_), ppResultObject);
    return call.finish(S_OK);
}

HRESULT CallResult::GetResultString(LONG, BSTR* pstrResultString) {
    Call call("GetResultString", method_);
    if (pstrResultString) *pstrResultString = nullptr;
    return call.finish(wbem(WBEM_E_INVALID_OPERATION));
}

HRESULT CallResult::GetResultServices(LONG, IWbemServices** ppServices) {
    Call call("GetResultServices", method_);
    if (ppServices) *ppServices = nullptr;
    return call.finish(wbem(WBEM_E_INVALID_OPERATION));
}

HRESULT CallResult::GetCallStatus(LONG, LONG* plStatus) {
    Call call("GetCallStatus", method_);
    if (!plStatus) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    if (const auto failure = call.failure()) return call.finish(*failure);
    const Fault* reported = call.fired(Fault::Kind::CallStatus);
    *plStatus = reported ? reported->result : status_;
    return call.finish(S_OK);
}

}  // namespace HyperVSim
