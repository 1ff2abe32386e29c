#include "FakeWmiServices.h"

#include <cwchar>
#include <new>

#include "FakeWmiEnumerator.h"

namespace VelmoraWine {
namespace {

constexpr const wchar_t* hyperVNamespace = L"root\\virtualization\\v2";

std::wstring textOf(const wchar_t* text) {
    return text ? text : L"<null>";
}

std::wstring numberOf(unsigned long number) {
    return std::to_wstring(number);
}

}  // namespace

FakeWmiServices::FakeWmiServices(std::shared_ptr<FakeWmiHost> host, std::wstring name)
    : FakeWmiObjectLifetime(std::move(host)), name_(std::move(name)) {}

HRESULT FakeWmiServices::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWbemServices)) {
        *object = static_cast<IWbemServices*>(this);
    } else if (IsEqualIID(iid, IID_IClientSecurity)) {
        *object = static_cast<IClientSecurity*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT FakeWmiServices::OpenNamespace(const BSTR name, LONG flags, IWbemContext* context, IWbemServices** child,
                                       IWbemCallResult** callResult) {
    host_->note(L"OpenNamespace " + name_ + L" " + bstrArgument(name) + L" flags=" + numberOf(flags) +
                (context ? L" context" : L"") + (callResult ? L" callResult" : L""));
    if (callResult) *callResult = nullptr;
    if (!child) return wbemStatus(WBEM_E_INVALID_PARAMETER);
    *child = nullptr;
    if (!name || name_ != L"root" || _wcsicmp(name, L"virtualization\\v2") != 0)
        return wbemStatus(WBEM_E_INVALID_NAMESPACE);
    *child = new (std::nothrow) FakeWmiServices(host_, hyperVNamespace);
    return *child ? S_OK : wbemStatus(WBEM_E_OUT_OF_MEMORY);
}

HRESULT FakeWmiServices::ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext* context,
                                   IEnumWbemClassObject** result) {
    host_->note(L"ExecQuery " + name_ + L" " + bstrArgument(language) + L" " + bstrArgument(query) + L" flags=" +
                numberOf(flags) + (context ? L" context" : L""));
    if (!result) return wbemStatus(WBEM_E_INVALID_PARAMETER);
    *result = nullptr;
    if (name_ != hyperVNamespace) return wbemStatus(WBEM_E_INVALID_CLASS);
    if (!language || _wcsicmp(language, L"WQL") != 0) return wbemStatus(WBEM_E_INVALID_QUERY_TYPE);
    const std::vector<FakeWmiInstance>* instances = nullptr;
    if (query && _wcsicmp(query, L"select * from Msvm_VirtualEthernetSwitch") == 0) instances = &host_->switches;
    if (query && _wcsicmp(query, L"select * from Msvm_Memory") == 0) instances = &host_->memories;
    if (!instances) return wbemStatus(WBEM_E_INVALID_QUERY);
    *result = new (std::nothrow) FakeWmiEnumerator(host_, *instances);
    return *result ? S_OK : wbemStatus(WBEM_E_OUT_OF_MEMORY);
}

HRESULT FakeWmiServices::SetBlanket(IUnknown* proxy, DWORD authenticationService, DWORD authorizationService,
                                    OLECHAR* principal, DWORD authenticationLevel, DWORD impersonationLevel,
                                    void* identity, DWORD capabilities) {
    host_->note(L"SetBlanket " + name_ + L" authentication=" + numberOf(authenticationService) +
                L" authorization=" + numberOf(authorizationService) + L" principal=" + textOf(principal) +
                L" level=" + numberOf(authenticationLevel) + L" impersonation=" + numberOf(impersonationLevel) +
                L" identity=" + (identity ? L"set" : L"<null>") + L" capabilities=" + numberOf(capabilities) +
                (proxy == static_cast<IWbemServices*>(this) ? L"" : L" on another object"));
    return S_OK;
}

HRESULT FakeWmiServices::QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**, DWORD*) {
    return E_NOTIMPL;
}
HRESULT FakeWmiServices::CopyProxy(IUnknown*, IUnknown**) {
    return E_NOTIMPL;
}

HRESULT FakeWmiServices::CancelAsyncCall(IWbemObjectSink*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::QueryObjectSink(LONG, IWbemObjectSink**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::GetObject(const BSTR, LONG, IWbemContext*, IWbemClassObject**, IWbemCallResult**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::CreateClassEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::CreateInstanceEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                               IEnumWbemClassObject**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::ExecMethod(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                    IWbemClassObject**, IWbemCallResult**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiServices::ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                         IWbemObjectSink*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}

}  // namespace VelmoraWine
