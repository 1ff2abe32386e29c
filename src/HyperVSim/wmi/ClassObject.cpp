#include "wmi/ClassObject.h"

#include <algorithm>

#include "com/Status.h"
#include "parse/CaseFold.h"
#include "wmi/Call.h"
#include "wmi/SystemProperties.h"

namespace HyperVSim {
namespace {

CIMTYPE typeCode(CimType type, bool isArray) {
    return cimTypeCode(type) | (isArray ? CIM_FLAG_ARRAY : 0);
}

HRESULT allocate(std::wstring_view text, BSTR* out) {
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

bool isOmitted(const ObjectState& state, std::wstring_view name) {
    return std::any_of(state.omitted.begin(), state.omitted.end(),
                       [&](const std::wstring& omitted) { return equalsIgnoreCase(omitted, name); });
}

}  // namespace

const ClassObject* ClassObject::of(IWbemClassObject* object) {
    return dynamic_cast<const ClassObject*>(object);
}

HRESULT ClassObject::deliver(std::wstring_view name, const Value* substitute, VARIANT* pVal, CIMTYPE* pType,
                             LONG* plFlavor) const {
    if (isSystemPropertyName(name)) {
        const auto value = systemProperty(state_, name);
        if (!value) return wbem(WBEM_E_NOT_FOUND);
        if (pType) *pType = typeCode(value->type(), value->isArray());
        if (plFlavor) *plFlavor = WBEM_FLAVOR_ORIGIN_SYSTEM;
        if (!pVal) return S_OK;
        return substitute ? overrideToVariant(*substitute, pVal) : value->toVariant(pVal);
    }
    const PropertyDef* property = state_.instance().definition().property(name);
    if (!property || isOmitted(state_, name)) return wbem(WBEM_E_NOT_FOUND);
    if (pType) *pType = typeCode(property->type, property->isArray);
    if (plFlavor)
        *plFlavor = equalsIgnoreCase(property->classOrigin, state_.instance().className())
                        ? WBEM_FLAVOR_ORIGIN_LOCAL
                        : WBEM_FLAVOR_ORIGIN_PROPAGATED;
    if (!pVal) return S_OK;
    if (substitute) return overrideToVariant(*substitute, pVal);
    if (const auto delivered = state_.instance().overrideToVariant(name, pVal)) return *delivered;
    return state_.instance().get(name)->toVariant(pVal);
}

HRESULT ClassObject::Get(LPCWSTR wszName, LONG, VARIANT* pVal, CIMTYPE* pType, LONG* plFlavor) {
    Call call("Get", wszName);
    if (!wszName) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    const auto failure = call.failure();
    if (failure && *failure < 0) return call.finish(*failure);
    const Fault* deliverValue = call.fired(Fault::Kind::DeliverValue);
    const Value* substitute = deliverValue ? &deliverValue->value : nullptr;
    const HRESULT hr = deliver(wszName, substitute, pVal, pType, plFlavor);
    if (hr >= 0 && failure) return call.finish(*failure);  // a positive result replaces S_OK
    return call.finish(hr);
}

HRESULT ClassObject::Put(LPCWSTR wszName, LONG, VARIANT* pVal, CIMTYPE) {
    Call call("Put", wszName);
    if (!wszName) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    if (const auto failure = call.failure()) return call.finish(*failure);
    if (isSystemPropertyName(wszName)) return call.finish(wbem(WBEM_E_READ_ONLY));
    const PropertyDef* property = state_.instance().definition().property(wszName);
    if (!property) return call.finish(wbem(WBEM_E_NOT_FOUND));
    CimValue value = CimValue::null(property->type, property->isArray);
    if (pVal) {
        const HRESULT converted = CimValue::fromVariant(*pVal, property->type, property->isArray, value);
        if (converted < 0) return call.finish(converted);
    }
    Instance& instance = state_.edit();
    instance.set(property->name, std::move(value));
    instance.clearOverride(property->name);
    return call.finish(S_OK);
}

HRESULT ClassObject::GetQualifierSet(IWbemQualifierSet** ppQualSet) {
    Call call("GetQualifierSet", state_.instance().className());
    if (ppQualSet) *ppQualSet = nullptr;
    return call.finish(wbem(WBEM_E_NOT_SUPPORTED));
}

HRESULT ClassObject::Delete(LPCWSTR wszName) {
    Call call("Delete", wszName);
    return call.finish(wbem(WBEM_E_NOT_SUPPORTED));
}

HRESULT ClassObject::GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY** pNames) {
    Call call("GetNames", state_.instance().className());
    if (!pNames) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *pNames = nullptr;
    const auto& properties = state_.instance().definition().properties;
    OwnedSafeArray names(SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(properties.size())));
    if (!names.get()) return call.finish(wbem(WBEM_E_OUT_OF_MEMORY));
    for (std::size_t i = 0; i < properties.size(); ++i) {
        OwnedBstr name(SysAllocString(properties[i].name.c_str()));
        if (!name.get()) return call.finish(wbem(WBEM_E_OUT_OF_MEMORY));
        LONG index = static_cast<LONG>(i);
        const HRESULT hr = SafeArrayPutElement(names.get(), &index, name.get());
        if (hr < 0) return call.finish(hr);
    }
    *pNames = names.detach();
    return call.finish(S_OK);
}

HRESULT ClassObject::BeginEnumeration(LONG) {
    Call call("BeginEnumeration", state_.instance().className());
    enumerating_ = true;
    nextProperty_ = 0;
    return call.finish(S_OK);
}

HRESULT ClassObject::Next(LONG, BSTR* strName, VARIANT* pVal, CIMTYPE* pType, LONG* plFlavor) {
    Call call("NextProperty", state_.instance().className());
    if (!enumerating_) return call.finish(wbem(WBEM_E_UNEXPECTED));
    const auto& properties = state_.instance().definition().properties;
    if (nextProperty_ >= properties.size()) return call.finish(wbem(WBEM_S_NO_MORE_DATA));
    const auto& property = properties[nextProperty_++];
    if (strName) {
        const HRESULT hr = allocate(property.name, strName);
        if (hr < 0) return call.finish(hr);
    }
    return call.finish(deliver(property.name, nullptr, pVal, pType, plFlavor));
}

HRESULT ClassObject::EndEnumeration() {
    Call call("EndEnumeration", state_.instance().className());
    enumerating_ = false;
    return call.finish(S_OK);
}

HRESULT ClassObject::GetPropertyQualifierSet(LPCWSTR wszProperty, IWbemQualifierSet** ppQualSet) {
    Call call("GetPropertyQualifierSet", wszProperty);
    if (ppQualSet) *ppQualSet = nullptr;
    return call.finish(wbem(WBEM_E_NOT_SUPPORTED));
}

HRESULT ClassObject::Clone(IWbemClassObject** ppCopy) {
    Call call("Clone", state_.instance().className());
    if (!ppCopy) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    handOut(makeObject<ClassObject>(state_), ppCopy);
    return call.finish(S_OK);
}

HRESULT ClassObject::GetObjectText(LONG, BSTR* pstrObjectText) {
    Call call("GetObjectText", state_.instance().className());
    if (pstrObjectText) *pstrObjectText = nullptr;
    return call.finish(wbem(WBEM_E_NOT_SUPPORTED));
}

HRESULT ClassObject::SpawnDerivedClass(LONG, IWbemClassObject** ppNewClass) {
    Call call("SpawnDerivedClass", state_.instance().className());
    if (ppNewClass) *ppNewClass = nullptr;
    return call.finish(wbem(WBEM_E_NOT_SUPPORTED));
}

HRESULT ClassObject::SpawnInstance(LONG, IWbemClassObject** ppNewInstance) {
    Call call("SpawnInstance", state_.instance().className());
    if (!ppNewInstance) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *ppNewInstance = nullptr;
    if (const auto failure = call.failure()) return call.finish(*failure);
    if (!state_.isClass) return call.finish(wbem(WBEM_E_ILLEGAL_OPERATION));
    if (state_.instance().className().empty()) return call.finish(wbem(WBEM_E_INCOMPLETE_CLASS));
    if (call.fires(Fault::Kind::NoObject)) return call.finish(S_OK);
    // The new instance starts from this class object's values, none of them set explicitly.
    Instance fresh(state_.instance().definitionPtr());
    for (const auto& property : fresh.definition().properties)
        if (!(*state_.instance().get(property.name) == property.defaultValue))
            fresh.set(property.name, *state_.instance().get(property.name));
    handOut(makeObject<ClassObject>(ObjectState::ofFresh(std::move(fresh))), ppNewInstance);
    return call.finish(S_OK);
}

HRESULT ClassObject::CompareTo(LONG, IWbemClassObject* pCompareTo) {
    Call call("CompareTo", state_.instance().className());
    if (!pCompareTo) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    const ClassObject* other = of(pCompareTo);
    const bool same = other && other->state_.isClass == state_.isClass &&
                      other->state_.instance().definitionPtr() == state_.instance().definitionPtr() &&
                      other->state_.instance().values() == state_.instance().values();
    return call.finish(same ? wbem(WBEM_S_SAME) : wbem(WBEM_S_DIFFERENT));
}

HRESULT ClassObject::GetPropertyOrigin(LPCWSTR wszName, BSTR* pstrClassName) {
    Call call("GetPropertyOrigin", wszName);
    if (!wszName || !pstrClassName) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *pstrClassName = nullptr;
    if (isSystemPropertyName(wszName)) {
        if (!systemProperty(state_, wszName)) return call.finish(wbem(WBEM_E_NOT_FOUND));
        return call.finish(allocate(L"___SYSTEM", pstrClassName));
    }
    const PropertyDef* property = state_.instance().definition().property(wszName);
    if (!property) return call.finish(wbem(WBEM_E_NOT_FOUND));
    return call.finish(allocate(property->classOrigin, pstrClassName));
}

HRESULT ClassObject::InheritsFrom(LPCWSTR strAncestor) {
    Call call("InheritsFrom", strAncestor);
    if (!strAncestor) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    const auto& derivation = state_.instance().definition().derivation;
    const bool inherits = std::any_of(derivation.begin(), derivation.end(), [&](const std::wstring& name) {
        return equalsIgnoreCase(name, strAncestor);
    });
    return call.finish(inherits ? S_OK : wbem(WBEM_S_FALSE));
}

HRESULT ClassObject::signatures(const MethodDef& method, IWbemClassObject** ppIn, IWbemClassObject** ppOut) const {
    if (ppIn && method.in) handOut(makeObject<ClassObject>(ObjectState::ofClass(method.in)), ppIn);
    if (ppOut && method.out) handOut(makeObject<ClassObject>(ObjectState::ofClass(method.out)), ppOut);
    return S_OK;
}

HRESULT ClassObject::GetMethod(LPCWSTR wszName, LONG, IWbemClassObject** ppInSignature,
                               IWbemClassObject** ppOutSignature) {
    Call call("GetMethod", wszName);
    if (ppInSignature) *ppInSignature = nullptr;
    if (ppOutSignature) *ppOutSignature = nullptr;
    if (!wszName) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    if (const auto failure = call.failure()) return call.finish(*failure);
    if (!state_.isClass) return call.finish(wbem(WBEM_E_ILLEGAL_OPERATION));
    const MethodDef* method = state_.instance().definition().method(wszName);
    if (!method) return call.finish(wbem(WBEM_E_NOT_FOUND));
    if (call.fires(Fault::Kind::NoObject)) return call.finish(S_OK);
    return call.finish(signatures(*method, ppInSignature, ppOutSignature));
}

HRESULT ClassObject::PutMethod(LPCWSTR wszName, LONG, IWbemClassObject*, IWbemClassObject*) {
    Call call("PutMethod", wszName);
    return call.finish(wbem(WBEM_E_NOT_SUPPORTED));
}

HRESULT ClassObject::DeleteMethod(LPCWSTR wszName) {
    Call call("DeleteMethod", wszName);
    return call.finish(wbem(WBEM_E_NOT_SUPPORTED));
}

HRESULT ClassObject::BeginMethodEnumeration(LONG) {
    Call call("BeginMethodEnumeration", state_.instance().className());
    if (!state_.isClass) return call.finish(wbem(WBEM_E_ILLEGAL_OPERATION));
    enumeratingMethods_ = true;
    nextMethod_ = 0;
    return call.finish(S_OK);
}

HRESULT ClassObject::NextMethod(LONG, BSTR* pstrName, IWbemClassObject** ppInSignature,
                                IWbemClassObject** ppOutSignature) {
    Call call("NextMethod", state_.instance().className());
    if (pstrName) *pstrName = nullptr;
    if (ppInSignature) *ppInSignature = nullptr;
    if (ppOutSignature) *ppOutSignature = nullptr;
    if (!enumeratingMethods_) return call.finish(wbem(WBEM_E_UNEXPECTED));
    const auto& methods = state_.instance().definition().methods;
    if (nextMethod_ >= methods.size()) return call.finish(wbem(WBEM_S_NO_MORE_DATA));
    const MethodDef& method = methods[nextMethod_++];
    if (pstrName) {
        const HRESULT hr = allocate(method.name, pstrName);
        if (hr < 0) return call.finish(hr);
    }
    return call.finish(signatures(method, ppInSignature, ppOutSignature));
}

HRESULT ClassObject::EndMethodEnumeration() {
    Call call("EndMethodEnumeration", state_.instance().className());
    enumeratingMethods_ = false;
    return call.finish(S_OK);
}

HRESULT ClassObject::GetMethodQualifierSet(LPCWSTR wszMethod, IWbemQualifierSet** ppQualSet) {
    Call call("GetMethodQualifierSet", wszMethod);
    if (ppQualSet) *ppQualSet = nullptr;
    return call.finish(wbem(WBEM_E_NOT_SUPPORTED));
}

HRESULT ClassObject::GetMethodOrigin(LPCWSTR wszMethodName, BSTR* pstrClassName) {
    Call call("GetMethodOrigin", wszMethodName);
    if (!wszMethodName || !pstrClassName) return call.finish(wbem(WBEM_E_INVALID_PARAMETER));
    *pstrClassName = nullptr;
    const MethodDef* method = state_.instance().definition().method(wszMethodName);
    if (!method) return call.finish(wbem(WBEM_E_NOT_FOUND));
    return call.finish(allocate(method->classOrigin, pstrClassName));
}

}  // namespace HyperVSim
