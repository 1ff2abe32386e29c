#include "trace/ReplayServices.h"

#include "com/Status.h"
#include "trace/CallShapes.h"
#include "trace/ObjectReading.h"

namespace HyperVSim {
namespace {

template <class T>
void clear(T** out) {
    if (out) *out = nullptr;
}

// The caller's input object as the recorder writes it, for the trace's to be held against.
std::optional<TraceObject> inputOf(IWbemClassObject* object) {
    if (!object) return std::nullopt;
    ObjectRecord record;
    if (FAILED(readObject(object, record))) return std::nullopt;
    return traceObject(record);
}

}  // namespace

HRESULT ReplayServices::unanswerable(const char* interfaceName, const char* method, const wchar_t* subject) {
    replay_->answer(unreplayableCall(interfaceName, method, number_, subject));
    return wbem(WBEM_E_FAILED);
}

HRESULT ReplayServices::OpenNamespace(const BSTR strNamespace, LONG lFlags, IWbemContext*,
                                      IWbemServices** ppWorkingNamespace, IWbemCallResult** ppResult) {
    clear(ppWorkingNamespace);
    clear(ppResult);
    TraceCall call = openNamespaceCall(number_, strNamespace, lFlags);
    call.replayable = !ppResult;
    const TraceCall* answer = replay_->answer(call);
    if (!answer) return wbem(WBEM_E_FAILED);
    handOutNumbered<ReplayServices>(replay_, *answer, "services", ppWorkingNamespace);
    return answer->result;
}

HRESULT ReplayServices::GetObject(const BSTR strObjectPath, LONG lFlags, IWbemContext*, IWbemClassObject** ppObject,
                                  IWbemCallResult** ppCallResult) {
    clear(ppObject);
    clear(ppCallResult);
    TraceCall call = getObjectCall(number_, strObjectPath, lFlags);
    call.replayable = !ppCallResult;
    const TraceCall* answer = replay_->answer(call);
    if (!answer) return wbem(WBEM_E_FAILED);
    handOutObject(replay_, *answer, "object", ppObject);
    return answer->result;
}

HRESULT ReplayServices::ExecQuery(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags, IWbemContext*,
                                  IEnumWbemClassObject** ppEnum) {
    clear(ppEnum);
    const TraceCall* answer = replay_->answer(execQueryCall(number_, strQueryLanguage, strQuery, lFlags));
    if (!answer) return wbem(WBEM_E_FAILED);
    handOutNumbered<ReplayEnumerator>(replay_, *answer, "enumerator", ppEnum);
    return answer->result;
}

HRESULT ReplayServices::CreateInstanceEnum(const BSTR strFilter, LONG lFlags, IWbemContext*,
                                           IEnumWbemClassObject** ppEnum) {
    clear(ppEnum);
    const TraceCall* answer = replay_->answer(createInstanceEnumCall(number_, strFilter, lFlags));
    if (!answer) return wbem(WBEM_E_FAILED);
    handOutNumbered<ReplayEnumerator>(replay_, *answer, "enumerator", ppEnum);
    return answer->result;
}

HRESULT ReplayServices::ExecMethod(const BSTR strObjectPath, const BSTR strMethodName, LONG lFlags, IWbemContext*,
                                   IWbemClassObject* pInParams, IWbemClassObject** ppOutParams,
                                   IWbemCallResult** ppCallResult) {
    clear(ppOutParams);
    clear(ppCallResult);
    const TraceCall* answer =
        replay_->answer(execMethodCall(number_, strObjectPath, strMethodName, lFlags, inputOf(pInParams),
                                       ppOutParams != nullptr, ppCallResult != nullptr));
    if (!answer) return wbem(WBEM_E_FAILED);
    handOutObject(replay_, *answer, "outParams", ppOutParams);
    handOutNumbered<ReplayCallResult>(replay_, *answer, "callResult", ppCallResult);
    return answer->result;
}

HRESULT ReplayServices::SetBlanket(IUnknown*, DWORD dwAuthnSvc, DWORD dwAuthzSvc, OLECHAR* pServerPrincName,
                                   DWORD dwAuthnLevel, DWORD dwImpLevel, void*, DWORD dwCapabilities) {
    const TraceCall* answer = replay_->answer(setBlanketCall(number_, dwAuthnSvc, dwAuthzSvc, pServerPrincName,
                                                             dwAuthnLevel, dwImpLevel, dwCapabilities));
    return answer ? answer->result : wbem(WBEM_E_FAILED);
}

HRESULT ReplayServices::QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR** pServerPrincName, DWORD*, DWORD*, void**,
                                     DWORD*) {
    clear(pServerPrincName);
    return unanswerable(securityInterface, "QueryBlanket");
}

HRESULT ReplayServices::CopyProxy(IUnknown*, IUnknown** ppCopy) {
    clear(ppCopy);
    return unanswerable(securityInterface, "CopyProxy");
}

// Calls whose outputs a trace does not keep.
HRESULT ReplayServices::CancelAsyncCall(IWbemObjectSink*) {
    return unanswerable(servicesInterface, "CancelAsyncCall");
}
HRESULT ReplayServices::QueryObjectSink(LONG, IWbemObjectSink** ppResponseHandler) {
    clear(ppResponseHandler);
    return unanswerable(servicesInterface, "QueryObjectSink");
}
HRESULT ReplayServices::GetObjectAsync(const BSTR strObjectPath, LONG, IWbemContext*, IWbemObjectSink*) {
    return unanswerable(servicesInterface, "GetObjectAsync", strObjectPath);
}
HRESULT ReplayServices::PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult** ppCallResult) {
    clear(ppCallResult);
    return unanswerable(servicesInterface, "PutClass");
}
HRESULT ReplayServices::PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
    return unanswerable(servicesInterface, "PutClassAsync");
}
HRESULT ReplayServices::DeleteClass(const BSTR strClass, LONG, IWbemContext*, IWbemCallResult** ppCallResult) {
    clear(ppCallResult);
    return unanswerable(servicesInterface, "DeleteClass", strClass);
}
HRESULT ReplayServices::DeleteClassAsync(const BSTR strClass, LONG, IWbemContext*, IWbemObjectSink*) {
    return unanswerable(servicesInterface, "DeleteClassAsync", strClass);
}
HRESULT ReplayServices::CreateClassEnum(const BSTR strSuperclass, LONG, IWbemContext*,
                                        IEnumWbemClassObject** ppEnum) {
    clear(ppEnum);
    return unanswerable(servicesInterface, "CreateClassEnum", strSuperclass);
}
HRESULT ReplayServices::CreateClassEnumAsync(const BSTR strSuperclass, LONG, IWbemContext*, IWbemObjectSink*) {
    return unanswerable(servicesInterface, "CreateClassEnumAsync", strSuperclass);
}
HRESULT ReplayServices::PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult** ppCallResult) {
    clear(ppCallResult);
    return unanswerable(servicesInterface, "PutInstance");
}
HRESULT ReplayServices::PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
    return unanswerable(servicesInterface, "PutInstanceAsync");
}
HRESULT ReplayServices::DeleteInstance(const BSTR strObjectPath, LONG, IWbemContext*,
                                       IWbemCallResult** ppCallResult) {
    clear(ppCallResult);
    return unanswerable(servicesInterface, "DeleteInstance", strObjectPath);
}
HRESULT ReplayServices::DeleteInstanceAsync(const BSTR strObjectPath, LONG, IWbemContext*, IWbemObjectSink*) {
    return unanswerable(servicesInterface, "DeleteInstanceAsync", strObjectPath);
}
HRESULT ReplayServices::CreateInstanceEnumAsync(const BSTR strFilter, LONG, IWbemContext*, IWbemObjectSink*) {
    return unanswerable(servicesInterface, "CreateInstanceEnumAsync", strFilter);
}
HRESULT ReplayServices::ExecQueryAsync(const BSTR, const BSTR strQuery, LONG, IWbemContext*, IWbemObjectSink*) {
    return unanswerable(servicesInterface, "ExecQueryAsync", strQuery);
}
HRESULT ReplayServices::ExecNotificationQuery(const BSTR, const BSTR strQuery, LONG, IWbemContext*,
                                              IEnumWbemClassObject** ppEnum) {
    clear(ppEnum);
    return unanswerable(servicesInterface, "ExecNotificationQuery", strQuery);
}
HRESULT ReplayServices::ExecNotificationQueryAsync(const BSTR, const BSTR strQuery, LONG, IWbemContext*,
                                                   IWbemObjectSink*) {
    return unanswerable(servicesInterface, "ExecNotificationQueryAsync", strQuery);
}
HRESULT ReplayServices::ExecMethodAsync(const BSTR, const BSTR strMethodName, LONG, IWbemContext*,
                                        IWbemClassObject*, IWbemObjectSink*) {
    return unanswerable(servicesInterface, "ExecMethodAsync", strMethodName);
}

}  // namespace HyperVSim
