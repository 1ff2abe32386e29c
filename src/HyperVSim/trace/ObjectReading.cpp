#include "trace/ObjectReading.h"

#include <array>

#include "com/ComRef.h"
#include "com/Status.h"

namespace HyperVSim {
namespace {

// WBEM_FLAG_NONSYSTEM_ONLY: the system properties are read by name instead, in the order WMI lists them.
constexpr LONG nonSystemOnly = 0x40;

constexpr std::array<const wchar_t*, 10> systemNames{
    L"__PATH",    L"__NAMESPACE", L"__SERVER",     L"__DERIVATION", L"__PROPERTY_COUNT",
    L"__RELPATH", L"__DYNASTY",   L"__SUPERCLASS", L"__CLASS",      L"__GENUS"};

constexpr std::array<CimType, 15> allTypes{CimType::String,   CimType::Boolean,   CimType::Uint8,  CimType::Sint8,
                                           CimType::Uint16,   CimType::Sint16,    CimType::Uint32, CimType::Sint32,
                                           CimType::Uint64,   CimType::Sint64,    CimType::Real32, CimType::Real64,
                                           CimType::Datetime, CimType::Reference, CimType::Char16};

std::wstring textOf(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

// A property's value as text, read with the conversion Put applies; NULL when it does not convert.
std::optional<std::vector<std::wstring>> valueText(const VARIANT& value, CimType type, bool isArray) {
    CimValue converted;
    if (FAILED(CimValue::fromVariant(value, type, isArray, converted))) return std::nullopt;
    return converted.toText();
}

bool isKey(IWbemClassObject* object, const wchar_t* name) {
    ComRef<IWbemQualifierSet> qualifiers;
    if (FAILED(object->GetPropertyQualifierSet(name, qualifiers.put())) || !qualifiers) return false;
    OwnedVariant value;
    if (FAILED(qualifiers->Get(L"key", 0, value.get(), nullptr))) return false;
    return (*value).vt == VT_BOOL && (*value).boolVal != VARIANT_FALSE;
}

std::wstring originOf(IWbemClassObject* object, const wchar_t* name) {
    BSTR origin = nullptr;
    if (FAILED(object->GetPropertyOrigin(name, &origin))) return {};
    OwnedBstr owned(origin);
    return textOf(origin);
}

HRESULT readProperties(IWbemClassObject* object, std::vector<RecordedProperty>& properties) {
    HRESULT hr = object->BeginEnumeration(nonSystemOnly);
    if (FAILED(hr)) return hr;
    for (;;) {
        BSTR name = nullptr;
        OwnedVariant value;
        CIMTYPE code = 0;
        hr = object->Next(0, &name, value.get(), &code, nullptr);
        OwnedBstr ownedName(name);
        if (FAILED(hr) || hr == wbem(WBEM_S_NO_MORE_DATA)) break;
        const std::wstring text = textOf(name);
        const auto type = typeOfCode(code);
        if (text.starts_with(L"__") || !type) continue;
        RecordedProperty property;
        property.name = text;
        property.type = type->type;
        property.isArray = type->isArray;
        property.classOrigin = originOf(object, name);
        property.key = isKey(object, name);
        property.values = valueText(*value, type->type, type->isArray);
        properties.push_back(std::move(property));
    }
    object->EndEnumeration();
    return FAILED(hr) ? hr : S_OK;
}

void readSystemProperties(IWbemClassObject* object, ObjectRecord& record) {
    for (const wchar_t* name : systemNames) {
        OwnedVariant value;
        CIMTYPE code = 0;
        if (FAILED(object->Get(name, 0, value.get(), &code, nullptr))) continue;
        const auto type = typeOfCode(code);
        if (!type) continue;
        RecordedProperty property;
        property.name = name;
        property.type = type->type;
        property.isArray = type->isArray;
        property.classOrigin = L"___SYSTEM";
        property.values = valueText(*value, type->type, type->isArray);
        record.systemProperties.push_back(std::move(property));
    }
    if (const auto* genus = record.systemProperty(L"__GENUS")) record.isClass = scalarText(*genus) == L"1";
    if (const auto* className = record.systemProperty(L"__CLASS"))
        record.className = scalarText(*className).value_or(L"");
}

HRESULT readMethods(IWbemClassObject* object, std::vector<RecordedMethod>& methods) {
    HRESULT hr = object->BeginMethodEnumeration(0);
    if (FAILED(hr)) return hr;
    for (;;) {
        BSTR name = nullptr;
        ComRef<IWbemClassObject> in;
        ComRef<IWbemClassObject> out;
        hr = object->NextMethod(0, &name, in.put(), out.put());
        OwnedBstr ownedName(name);
        if (FAILED(hr) || hr == wbem(WBEM_S_NO_MORE_DATA)) break;
        RecordedMethod method;
        method.name = textOf(name);
        BSTR origin = nullptr;
        if (SUCCEEDED(object->GetMethodOrigin(name, &origin))) method.classOrigin = textOf(origin);
        OwnedBstr ownedOrigin(origin);
        method.hasInput = static_cast<bool>(in);
        if (in && FAILED(hr = readProperties(in.get(), method.in))) break;
        if (out && FAILED(hr = readProperties(out.get(), method.out))) break;
        methods.push_back(std::move(method));
    }
    object->EndMethodEnumeration();
    return FAILED(hr) ? hr : S_OK;
}

}  // namespace

std::optional<TypeOfCode> typeOfCode(CIMTYPE code) {
    const bool isArray = (code & CIM_FLAG_ARRAY) != 0;
    const CIMTYPE base = code & ~static_cast<CIMTYPE>(CIM_FLAG_ARRAY);
    for (const CimType type : allTypes)
        if (cimTypeCode(type) == base) return TypeOfCode{type, isArray};
    return std::nullopt;
}

HRESULT readObject(IWbemClassObject* object, ObjectRecord& record) {
    record = ObjectRecord();
    readSystemProperties(object, record);
    const HRESULT hr = readProperties(object, record.properties);
    if (FAILED(hr)) return hr;
    return record.isClass ? readMethods(object, record.methods) : S_OK;
}

}  // namespace HyperVSim
