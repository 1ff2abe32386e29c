#include "trace/RecordingServices.h"

#include "trace/CallShapes.h"

namespace HyperVSim {
namespace {

// A semisynchronous call hands back a call result that a trace does not keep: such a call is written, but
// cannot be answered from the trace.
void markSemisynchronous(TraceCall& call, const void* callResult) {
    if (callResult) call.replayable = false;
}

}  // namespace

HRESULT RecordingServices::passedOn(const char* method, const wchar_t* subject, HRESULT result) {
    return recordCall(recording_, unreplayableCall(servicesInterface, method, number_, subject), result);
}

HRESULT RecordingServices::OpenNamespace(const BSTR strNamespace, LONG lFlags, IWbemContext* pCtx,
                                         IWbemServices** ppWorkingNamespace, IWbemCallResult** ppResult) {
    TraceCall call = openNamespaceCall(number_, strNamespace, lFlags);
    markSemisynchronous(call, ppResult);
    ComRef<IWbemServices> child;
    const HRESULT hr =
        real_->OpenNamespace(strNamespace, lFlags, pCtx, ppWorkingNamespace ? child.put() : nullptr, ppResult);
    TraceValue number = handOutWrapped<RecordingServices>(recording_, std::move(child), ppWorkingNamespace);
    return recordCall(recording_, std::move(call), hr, {{"services", std::move(number)}});
}

HRESULT RecordingServices::GetObject(const BSTR strObjectPath, LONG lFlags, IWbemContext* pCtx,
                                     IWbemClassObject** ppObject, IWbemCallResult** ppCallResult) {
    TraceCall call = getObjectCall(number_, strObjectPath, lFlags);
    markSemisynchronous(call, ppCallResult);
    const HRESULT hr = real_->GetObject(strObjectPath, lFlags, pCtx, ppObject, ppCallResult);
    TraceValue object = std::monostate{};
    if (ppObject && SUCCEEDED(hr))
        if (auto described = recording_->describe(*ppObject)) object = std::move(*described);
    return recordCall(recording_, std::move(call), hr, {{"object", std::move(object)}});
}

HRESULT RecordingServices::ExecQuery(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags,
                                     IWbemContext* pCtx, IEnumWbemClassObject** ppEnum) {
    TraceCall call = execQueryCall(number_, strQueryLanguage, strQuery, lFlags);
    ComRef<IEnumWbemClassObject> enumerator;
    const HRESULT hr =
        real_->ExecQuery(strQueryLanguage, strQuery, lFlags, pCtx, ppEnum ? enumerator.put() : nullptr);
    TraceValue number = handOutWrapped<RecordingEnumerator>(recording_, std::move(enumerator), ppEnum);
    return recordCall(recording_, std::move(call), hr, {{"enumerator", std::move(number)}});
}

HRESULT RecordingServices::CreateInstanceEnum(const BSTR strFilter, LONG lFlags, IWbemContext* pCtx,
                                              IEnumWbemClassObject** ppEnum) {
    TraceCall call = createInstanceEnumCall(number_, strFilter, lFlags);
    ComRef<IEnumWbemClassObject> enumerator;
    const HRESULT hr = real_->CreateInstanceEnum(strFilter, lFlags, pCtx, ppEnum ? enumerator.put() : nullptr);
    TraceValue number = handOutWrapped<RecordingEnumerator>(recording_, std::move(enumerator), ppEnum);
    return recordCall(recording_, std::move(call), hr, {{"enumerator", std::move(number)}});
}

HRESULT RecordingServices::ExecMethod(const BSTR strObjectPath, const BSTR strMethodName, LONG lFlags,
                                      IWbemContext* pCtx, IWbemClassObject* pInParams,
                                      IWbemClassObject** ppOutParams, IWbemCallResult** ppCallResult) {
    TraceCall call = execMethodCall(number_, strObjectPath, strMethodName, lFlags, recording_->describe(pInParams),
                                    ppOutParams != nullptr, ppCallResult != nullptr);
    ComRef<IWbemCallResult> callResult;
    const HRESULT hr = real_->ExecMethod(strObjectPath, strMethodName, lFlags, pCtx, pInParams, ppOutParams,
                                         ppCallResult ? callResult.put() : nullptr);
    TraceValue output = std::monostate{};
    if (ppOutParams && SUCCEEDED(hr))
        if (auto described = recording_->describe(*ppOutParams)) output = std::move(*described);
    TraceValue number = handOutWrapped<RecordingCallResult>(recording_, std::move(callResult), ppCallResult);
    return recordCall(recording_, std::move(call), hr,
                      {{"outParams", std::move(output)}, {"callResult", std::move(number)}});
}

ComRef<IClientSecurity> RecordingServices::realSecurity() {
    ComRef<IClientSecurity> security;
    if (FAILED(real_->QueryInterface(IID_IClientSecurity, reinterpret_cast<void**>(security.put()))))
        return nullptr;
    return security;
}

HRESULT RecordingServices::SetBlanket(IUnknown*, DWORD dwAuthnSvc, DWORD dwAuthzSvc, OLECHAR* pServerPrincName,
                                      DWORD dwAuthnLevel, DWORD dwImpLevel, void* pAuthInfo, DWORD dwCapabilities) {
    TraceCall call =
        setBlanketCall(number_, dwAuthnSvc, dwAuthzSvc, pServerPrincName, dwAuthnLevel, dwImpLevel, dwCapabilities);
    const HRESULT hr = ::CoSetProxyBlanket(real_.get(), dwAuthnSvc, dwAuthzSvc, pServerPrincName, dwAuthnLevel,
                                           dwImpLevel, pAuthInfo, dwCapabilities);
    return recordCall(recording_, std::move(call), hr);
}

HRESULT RecordingServices::QueryBlanket(IUnknown*, DWORD* pAuthnSvc, DWORD* pAuthzSvc, OLECHAR** pServerPrincName,
                                        DWORD* pAuthnLevel, DWORD* pImpLevel, void** pAuthInfo,
                                        DWORD* pCapabilites) {
    const ComRef<IClientSecurity> security = realSecurity();
    const HRESULT hr = security ? security->QueryBlanket(real_.get(), pAuthnSvc, pAuthzSvc, pServerPrincName,
                                                         pAuthnLevel, pImpLevel, pAuthInfo, pCapabilites)
                                : E_NOINTERFACE;
    return recordCall(recording_, unreplayableCall(securityInterface, "QueryBlanket", number_), hr);
}

HRESULT RecordingServices::CopyProxy(IUnknown*, IUnknown** ppCopy) {
    TraceCall call = unreplayableCall(securityInterface, "CopyProxy", number_);
    if (ppCopy) *ppCopy = nullptr;
    const ComRef<IClientSecurity> security = realSecurity();
    ComRef<IUnknown> copy;
    HRESULT hr = security ? security->CopyProxy(real_.get(), ppCopy ? copy.put() : nullptr) : E_NOINTERFACE;
    if (SUCCEEDED(hr) && copy && ppCopy) {
        // The copy is recorded as well: it is handed out as another recording services object.
        ComRef<IWbemServices> services;
        hr = copy->QueryInterface(IID_IWbemServices, reinterpret_cast<void**>(services.put()));
        IWbemServices* wrapped = nullptr;
        if (SUCCEEDED(hr)) handOutWrapped<RecordingServices>(recording_, std::move(services), &wrapped);
        *ppCopy = wrapped;
    }
    return recordCall(recording_, std::move(call), hr);
}

// Calls whose outputs a trace does not keep.
HRESULT RecordingServices::CancelAsyncCall(IWbemObjectSink* pSink) {
    return passedOn("CancelAsyncCall", nullptr, real_->CancelAsyncCall(pSink));
}
HRESULT RecordingServices::QueryObjectSink(LONG lFlags, IWbemObjectSink** ppResponseHandler) {
    return passedOn("QueryObjectSink", nullptr, real_->QueryObjectSink(lFlags, ppResponseHandler));
}
HRESULT RecordingServices::GetObjectAsync(const BSTR strObjectPath, LONG lFlags, IWbemContext* pCtx,
                                          IWbemObjectSink* pResponseHandler) {
    return passedOn("GetObjectAsync", strObjectPath,
                    real_->GetObjectAsync(strObjectPath, lFlags, pCtx, pResponseHandler));
}
HRESULT RecordingServices::PutClass(IWbemClassObject* pObject, LONG lFlags, IWbemContext* pCtx,
                                    IWbemCallResult** ppCallResult) {
    return passedOn("PutClass", nullptr, real_->PutClass(pObject, lFlags, pCtx, ppCallResult));
}
HRESULT RecordingServices::PutClassAsync(IWbemClassObject* pObject, LONG lFlags, IWbemContext* pCtx,
                                         IWbemObjectSink* pResponseHandler) {
    return passedOn("PutClassAsync", nullptr, real_->PutClassAsync(pObject, lFlags, pCtx, pResponseHandler));
}
HRESULT RecordingServices::DeleteClass(const BSTR strClass, LONG lFlags, IWbemContext* pCtx,
                                       IWbemCallResult** ppCallResult) {
    return passedOn("DeleteClass", strClass, real_->DeleteClass(strClass, lFlags, pCtx, ppCallResult));
}
HRESULT RecordingServices::DeleteClassAsync(const BSTR strClass, LONG lFlags, IWbemContext* pCtx,
                                            IWbemObjectSink* pResponseHandler) {
    return passedOn("DeleteClassAsync", strClass,
                    real_->DeleteClassAsync(strClass, lFlags, pCtx, pResponseHandler));
}
HRESULT RecordingServices::CreateClassEnum(const BSTR strSuperclass, LONG lFlags, IWbemContext* pCtx,
                                           IEnumWbemClassObject** ppEnum) {
    // The enumerator of classes is handed out as it is: its objects are not recorded.
    return passedOn("CreateClassEnum", strSuperclass, real_->CreateClassEnum(strSuperclass, lFlags, pCtx, ppEnum));
}
HRESULT RecordingServices::CreateClassEnumAsync(const BSTR strSuperclass, LONG lFlags, IWbemContext* pCtx,
                                                IWbemObjectSink* pResponseHandler) {
    return passedOn("CreateClassEnumAsync", strSuperclass,
                    real_->CreateClassEnumAsync(strSuperclass, lFlags, pCtx, pResponseHandler));
}
HRESULT RecordingServices::PutInstance(IWbemClassObject* pInst, LONG lFlags, IWbemContext* pCtx,
                                       IWbemCallResult** ppCallResult) {
    return passedOn("PutInstance", nullptr, real_->PutInstance(pInst, lFlags, pCtx, ppCallResult));
}
HRESULT RecordingServices::PutInstanceAsync(IWbemClassObject* pInst, LONG lFlags, IWbemContext* pCtx,
                                            IWbemObjectSink* pResponseHandler) {
    return passedOn("PutInstanceAsync", nullptr, real_->PutInstanceAsync(pInst, lFlags, pCtx, pResponseHandler));
}
HRESULT RecordingServices::DeleteInstance(const BSTR strObjectPath, LONG lFlags, IWbemContext* pCtx,
                                          IWbemCallResult** ppCallResult) {
    return passedOn("DeleteInstance", strObjectPath,
                    real_->DeleteInstance(strObjectPath, lFlags, pCtx, ppCallResult));
}
HRESULT RecordingServices::DeleteInstanceAsync(const BSTR strObjectPath, LONG lFlags, IWbemContext* pCtx,
                                               IWbemObjectSink* pResponseHandler) {
    return passedOn("DeleteInstanceAsync", strObjectPath,
                    real_->DeleteInstanceAsync(strObjectPath, lFlags, pCtx, pResponseHandler));
}
HRESULT RecordingServices::CreateInstanceEnumAsync(const BSTR strFilter, LONG lFlags, IWbemContext* pCtx,
                                                   IWbemObjectSink* pResponseHandler) {
    return passedOn("CreateInstanceEnumAsync", strFilter,
                    real_->CreateInstanceEnumAsync(strFilter, lFlags, pCtx, pResponseHandler));
}
HRESULT RecordingServices::ExecQueryAsync(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags,
                                          IWbemContext* pCtx, IWbemObjectSink* pResponseHandler) {
    return passedOn("ExecQueryAsync", strQuery,
                    real_->ExecQueryAsync(strQueryLanguage, strQuery, lFlags, pCtx, pResponseHandler));
}
HRESULT RecordingServices::ExecNotificationQuery(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags,
                                                 IWbemContext* pCtx, IEnumWbemClassObject** ppEnum) {
    return passedOn("ExecNotificationQuery", strQuery,
                    real_->ExecNotificationQuery(strQueryLanguage, strQuery, lFlags, pCtx, ppEnum));
}
HRESULT RecordingServices::ExecNotificationQueryAsync(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags,
                                                      IWbemContext* pCtx, IWbemObjectSink* pResponseHandler) {
    return passedOn("ExecNotificationQueryAsync", strQuery,
                    real_->ExecNotificationQueryAsync(strQueryLanguage, strQuery, lFlags, pCtx, pResponseHandler));
}
HRESULT RecordingServices::ExecMethodAsync(const BSTR strObjectPath, const BSTR strMethodName, LONG lFlags,
                                           IWbemContext* pCtx, IWbemClassObject* pInParams,
                                           IWbemObjectSink* pResponseHandler) {
    return passedOn(
        "ExecMethodAsync", strMethodName,
        real_->ExecMethodAsync(strObjectPath, strMethodName, lFlags, pCtx, pInParams, pResponseHandler));
}

}  // namespace HyperVSim
