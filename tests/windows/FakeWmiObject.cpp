#include "FakeWmiObject.h"

#include <oleauto.h>

#include <cwchar>

namespace VelmoraWine {

FakeWmiObject::FakeWmiObject(std::shared_ptr<FakeWmiHost> host, FakeWmiInstance instance)
    : FakeWmiObjectLifetime(std::move(host)), instance_(std::move(instance)) {}

HRESULT FakeWmiObject::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWbemClassObject)) {
        *object = static_cast<IWbemClassObject*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeWmiObject::Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type, LONG* flavor) {
    if (!name || flags != 0) return wbemStatus(WBEM_E_INVALID_PARAMETER);
    for (const auto& [property, text] : instance_.properties) {
        if (_wcsicmp(property.c_str(), name) != 0) continue;
        if (value) {
            // Handed out as WMI does: a fresh string that the caller frees with VariantClear.
            VariantInit(value);
            if (text) {
                BSTR copy = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
                if (!copy) return wbemStatus(WBEM_E_OUT_OF_MEMORY);
                V_VT(value) = VT_BSTR;
                V_BSTR(value) = copy;
            } else {
                V_VT(value) = VT_NULL;
            }
        }
        if (type) *type = CIM_STRING;
        if (flavor) *flavor = WBEM_FLAVOR_ORIGIN_LOCAL;
        return WBEM_S_NO_ERROR;
    }
    return wbemStatus(WBEM_E_NOT_FOUND);
}

HRESULT FakeWmiObject::GetQualifierSet(IWbemQualifierSet**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::Put(LPCWSTR, LONG, VARIANT*, CIMTYPE) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::Delete(LPCWSTR) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::BeginEnumeration(LONG) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::EndEnumeration() {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::Clone(IWbemClassObject**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::GetObjectText(LONG, BSTR*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::SpawnDerivedClass(LONG, IWbemClassObject**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::SpawnInstance(LONG, IWbemClassObject**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::CompareTo(LONG, IWbemClassObject*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::GetPropertyOrigin(LPCWSTR, BSTR*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::InheritsFrom(LPCWSTR) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::GetMethod(LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::DeleteMethod(LPCWSTR) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::BeginMethodEnumeration(LONG) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::EndMethodEnumeration() {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiObject::GetMethodOrigin(LPCWSTR, BSTR*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}

}  // namespace VelmoraWine
