#include "wmi/Services.h"

#include <cstring>

#include "com/Status.h"
#include "model/Host.h"
#include "parse/CaseFold.h"
#include "wmi/Call.h"
#include "wmi/CallResult.h"
#include "wmi/ClassObject.h"
#include "wmi/Enumerator.h"
#include "wmi/Lookup.h"
#include "wmi/MethodRun.h"
#include "wmi/Namespaces.h"

namespace HyperVSim {

bool Services::hasClasses() const {
    return equalsIgnoreCase(nameSpace_, hostNamespace);
}

HRESULT Services::notSupported(const char* operation, std::wstring argument) {
    Call call(operation, std::move(argument));
    return call.finish(wbem(WBEM_E_NOT_SUPPORTED));
}

HRESULT Services::OpenNamespace(const BSTR strNamespace, LONG, IWbemContext*, IWbemServices** ppWorkingNamespace,
                                IWbemCallResult** ppResult) {
    Call call("OpenNamespace", textOf(strNamespace));
    if (!marshalsAsBstr(strNamespace)) return call.finish(rpcBadStubData);
    if (ppResult) *ppResult = nullptr;
    if (!strNamespace || !ppWorkingNamespace) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *ppWorkingNamespace = nullptr;
    if (const auto failure = call.failure()) return call.finish(*failure);
    const auto resolved = resolveChild(nameSpace_, strNamespace);
    if (resolved.error < 0) return call.finish(resolved.error);
    if (!call.fires(Fault::Kind::NoObject)) handOut(makeObject<Services>(resolved.name), ppWorkingNamespace);
    return call.finish(S_OK);
}

HRESULT Services::GetObject(const BSTR strObjectPath, LONG, IWbemContext*, IWbemClassObject** ppObject,
                            IWbemCallResult** ppCallResult) {
    Call call("GetObject", textOf(strObjectPath));
    if (!marshalsAsBstr(strObjectPath)) return call.finish(rpcBadStubData);
    if (ppCallResult) *ppCallResult = nullptr;
    if (!ppObject) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *ppObject = nullptr;
    if (const auto failure = call.failure()) return call.finish(*failure);
    const std::wstring_view path = strObjectPath ? std::wstring_view(strObjectPath) : std::wstring_view();
    if (!path.empty() && !hasClasses()) return call.finish(wbem(WBEM_E_INVALID_CLASS));
    auto found = Call::shielded([&] { return lookUpObject(path); }, ObjectLookup{wbem(WBEM_E_FAILED), {}});
    if (found.error < 0) return call.finish(found.error);
    if (!call.fires(Fault::Kind::NoObject)) handOut(makeObject<ClassObject>(std::move(*found.object)), ppObject);
    return call.finish(S_OK);
}

HRESULT Services::ExecQuery(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags, IWbemContext*,
                            IEnumWbemClassObject** ppEnum) {
    Call call("ExecQuery", textOf(strQuery));
    if (!marshalsAsBstr(strQueryLanguage) || !marshalsAsBstr(strQuery)) return call.finish(rpcBadStubData);
    if (!ppEnum) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *ppEnum = nullptr;
    if (!strQueryLanguage || !strQuery || !*strQuery) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    if (!equalsIgnoreCase(strQueryLanguage, L"WQL")) return call.finish(wbem(WBEM_E_INVALID_QUERY_TYPE));
    if (const auto failure = call.failure()) return call.finish(*failure);

    QueryResult result = hasClasses() ? Call::shielded([&] { return runQuery(strQuery); },
                                                       QueryResult{wbem(WBEM_E_FAILED), false, {}})
                                      : QueryResult{wbem(WBEM_E_INVALID_CLASS), true, {}};
    const bool forwardOnly = (lFlags & WBEM_FLAG_FORWARD_ONLY) != 0;
    const bool deferErrors = forwardOnly && (lFlags & WBEM_FLAG_RETURN_IMMEDIATELY) != 0;
    if (result.error < 0 && !(deferErrors && result.deferrable)) return call.finish(result.error);
    if (!call.fires(Fault::Kind::NoObject))
        handOut(makeObject<Enumerator>(strQuery, std::move(result.objects), forwardOnly, result.error), ppEnum);
    return call.finish(S_OK);
}

HRESULT Services::CreateInstanceEnum(const BSTR strFilter, LONG lFlags, IWbemContext* pCtx,
                                     IEnumWbemClassObject** ppEnum) {
    if (!strFilter) return ExecQuery(nullptr, nullptr, lFlags, pCtx, ppEnum);
    OwnedBstr language(SysAllocString(L"WQL"));
    const std::wstring query = L"select * from " + std::wstring(strFilter);
    OwnedBstr text(SysAllocString(query.c_str()));
    if (!language.get() || !text.get()) return wbem(WBEM_E_OUT_OF_MEMORY);
    return ExecQuery(language.get(), text.get(), lFlags, pCtx, ppEnum);
}

HRESULT Services::ExecMethod(const BSTR strObjectPath, const BSTR strMethodName, LONG, IWbemContext*,
                             IWbemClassObject* pInParams, IWbemClassObject** ppOutParams,
                             IWbemCallResult** ppCallResult) {
    Call call("ExecMethod", textOf(strMethodName));
    if (!marshalsAsBstr(strObjectPath) || !marshalsAsBstr(strMethodName)) return call.finish(rpcBadStubData);
    if (ppOutParams) *ppOutParams = nullptr;
    if (ppCallResult) *ppCallResult = nullptr;
    if (const auto failure = call.failure()) return call.finish(*failure);
    if (!hasClasses()) return call.finish(wbem(WBEM_E_INVALID_CLASS));
    MethodRun run = Call::shielded(
        [&] { return runMethod(textOf(strObjectPath), textOf(strMethodName), pInParams, call.faults()); },
        MethodRun{wbem(WBEM_E_FAILED), std::nullopt});
    if (run.error < 0) return call.finish(run.error);
    if (ppOutParams && !call.fires(Fault::Kind::NoOutParams))
        handOut(makeObject<ClassObject>(*run.outParams), ppOutParams);
    if (ppCallResult && !call.fires(Fault::Kind::NoObject))
        handOut(makeObject<CallResult>(textOf(strMethodName), S_OK, std::move(run.outParams)), ppCallResult);
    return call.finish(S_OK);
}

HRESULT Services::QueryBlanket(IUnknown*, DWORD* pAuthnSvc, DWORD* pAuthzSvc, OLECHAR** pServerPrincName,
                               DWORD* pAuthnLevel, DWORD* pImpLevel, void** pAuthInfo, DWORD* pCapabilites) {
    Call call("QueryBlanket", {});
    OLECHAR* principal = nullptr;
    if (pServerPrincName && principal_) {
        const std::size_t bytes = (principal_->size() + 1) * sizeof(OLECHAR);
        principal = static_cast<OLECHAR*>(CoTaskMemAlloc(bytes));
        if (!principal) return call.finish(E_OUTOFMEMORY);
        std::memcpy(principal, principal_->c_str(), bytes);
    }
    if (pServerPrincName) *pServerPrincName = principal;
    if (pAuthnSvc) *pAuthnSvc = authnService_;
    if (pAuthzSvc) *pAuthzSvc = authzService_;
    if (pAuthnLevel) *pAuthnLevel = authnLevel_;
    if (pImpLevel) *pImpLevel = impLevel_;
    if (pAuthInfo) *pAuthInfo = identity_;
    if (pCapabilites) *pCapabilites = capabilities_;
    return call.finish(S_OK);
}

HRESULT Services::SetBlanket(IUnknown*, DWORD dwAuthnSvc, DWORD dwAuthzSvc, OLECHAR* pServerPrincName,
                             DWORD dwAuthnLevel, DWORD dwImpLevel, void* pAuthInfo, DWORD dwCapabilities) {
    Call call("SetBlanket", {});
    if (const auto failure = call.failure()) return call.finish(*failure);
    // (OLECHAR*)-1 asks for the default principal, which has no text of its own.
    const bool hasText = pServerPrincName && pServerPrincName != reinterpret_cast<OLECHAR*>(-1);
    authnService_ = dwAuthnSvc;
    authzService_ = dwAuthzSvc;
    principal_ = hasText ? std::optional<std::wstring>(pServerPrincName) : std::nullopt;
    authnLevel_ = dwAuthnLevel;
    impLevel_ = dwImpLevel;
    identity_ = pAuthInfo;
    capabilities_ = dwCapabilities;
    return call.finish(S_OK);
}

HRESULT Services::CopyProxy(IUnknown*, IUnknown** ppCopy) {
    Call call("CopyProxy", {});
    if (ppCopy) *ppCopy = nullptr;
    return call.finish(E_NOTIMPL);
}

// The rest of IWbemServices is not used by any client of the host.
HRESULT Services::CancelAsyncCall(IWbemObjectSink*) {
    return notSupported("CancelAsyncCall", {});
}
HRESULT Services::QueryObjectSink(LONG, IWbemObjectSink** ppResponseHandler) {
    if (ppResponseHandler) *ppResponseHandler = nullptr;
    return notSupported("QueryObjectSink", {});
}
HRESULT Services::GetObjectAsync(const BSTR strObjectPath, LONG, IWbemContext*, IWbemObjectSink*) {
    return notSupported("GetObjectAsync", textOf(strObjectPath));
}
HRESULT Services::PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult** ppCallResult) {
    if (ppCallResult) *ppCallResult = nullptr;
    return notSupported("PutClass", {});
}
HRESULT Services::PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
    return notSupported("PutClassAsync", {});
}
HRESULT Services::DeleteClass(const BSTR strClass, LONG, IWbemContext*, IWbemCallResult** ppCallResult) {
    if (ppCallResult) *ppCallResult = nullptr;
    return notSupported("DeleteClass", textOf(strClass));
}
HRESULT Services::DeleteClassAsync(const BSTR strClass, LONG, IWbemContext*, IWbemObjectSink*) {
    return notSupported("DeleteClassAsync", textOf(strClass));
}
HRESULT Services::CreateClassEnum(const BSTR strSuperclass, LONG, IWbemContext*, IEnumWbemClassObject** ppEnum) {
    if (ppEnum) *ppEnum = nullptr;
    return notSupported("CreateClassEnum", textOf(strSuperclass));
}
HRESULT Services::CreateClassEnumAsync(const BSTR strSuperclass, LONG, IWbemContext*, IWbemObjectSink*) {
    return notSupported("CreateClassEnumAsync", textOf(strSuperclass));
}
HRESULT Services::PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult** ppCallResult) {
    if (ppCallResult) *ppCallResult = nullptr;
    return notSupported("PutInstance", {});
}
HRESULT Services::PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
    return notSupported("PutInstanceAsync", {});
}
HRESULT Services::DeleteInstance(const BSTR strObjectPath, LONG, IWbemContext*, IWbemCallResult** ppCallResult) {
    if (ppCallResult) *ppCallResult = nullptr;
    return notSupported("DeleteInstance", textOf(strObjectPath));
}
HRESULT Services::DeleteInstanceAsync(const BSTR strObjectPath, LONG, IWbemContext*, IWbemObjectSink*) {
    return notSupported("DeleteInstanceAsync", textOf(strObjectPath));
}
HRESULT Services::CreateInstanceEnumAsync(const BSTR strFilter, LONG, IWbemContext*, IWbemObjectSink*) {
    return notSupported("CreateInstanceEnumAsync", textOf(strFilter));
}
HRESULT Services::ExecQueryAsync(const BSTR, const BSTR strQuery, LONG, IWbemContext*, IWbemObjectSink*) {
    return notSupported("ExecQueryAsync", textOf(strQuery));
}
HRESULT Services::ExecNotificationQuery(const BSTR, const BSTR strQuery, LONG, IWbemContext*,
                                        IEnumWbemClassObject** ppEnum) {
    if (ppEnum) *ppEnum = nullptr;
    return notSupported("ExecNotificationQuery", textOf(strQuery));
}
HRESULT Services::ExecNotificationQueryAsync(const BSTR, const BSTR strQuery, LONG, IWbemContext*,
                                             IWbemObjectSink*) {
    return notSupported("ExecNotificationQueryAsync", textOf(strQuery));
}
HRESULT Services::ExecMethodAsync(const BSTR, const BSTR strMethodName, LONG, IWbemContext*, IWbemClassObject*,
                                  IWbemObjectSink*) {
    return notSupported("ExecMethodAsync", textOf(strMethodName));
}

}  // namespace HyperVSim
