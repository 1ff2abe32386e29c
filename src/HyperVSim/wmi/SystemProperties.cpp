#include "wmi/SystemProperties.h"

#include <array>

#include "model/Host.h"
#include "parse/CaseFold.h"

namespace HyperVSim {
namespace {

constexpr std::array<const wchar_t*, 10> systemNames{
    L"__PATH",    L"__NAMESPACE", L"__SERVER",     L"__DERIVATION", L"__PROPERTY_COUNT",
    L"__RELPATH", L"__DYNASTY",   L"__SUPERCLASS", L"__CLASS",      L"__GENUS"};

CimValue text(std::wstring value) {
    if (value.empty()) return CimValue::null(CimType::String);
    return CimValue::string(std::move(value));
}

CimValue valueOf(const ObjectState& object, std::wstring_view name) {
    const ClassDef& definition = object.instance().definition();
    const bool hasServer = object.stored;
    if (name == L"__GENUS") return CimValue::integer(CimType::Sint32, object.isClass ? 1 : 2);
    if (name == L"__CLASS") return text(definition.name);
    if (name == L"__SUPERCLASS") return text(definition.superclass);
    if (name == L"__DYNASTY") return text(definition.name.empty() ? std::wstring() : definition.dynasty());
    if (name == L"__DERIVATION") return CimValue::stringArray(definition.derivation);
    if (name == L"__PROPERTY_COUNT")
        return CimValue::integer(CimType::Sint32, static_cast<std::int64_t>(definition.properties.size()));
    if (name == L"__SERVER") return text(hasServer ? hostName : L"");
    if (name == L"__NAMESPACE") return text(hasServer ? hostNamespace : L"");
    if (name == L"__RELPATH") {
        if (object.isClass) return text(object.stored ? definition.name : std::wstring());
        return text(object.instance().relativePath());
    }
    // __PATH
    if (!hasServer) return CimValue::null(CimType::String);
    if (object.isClass)
        return text(L"\\\\" + std::wstring(hostName) + L"\\" + hostNamespace + L":" + definition.name);
    return text(object.instance().fullPath());
}

// A replayed object's system property as recorded; NULL when the recording had none of that name.
CimValue recordedValue(const ObjectState& object, std::wstring_view name) {
    for (const auto& [recordedName, value] : *object.recordedSystem)
        if (equalsIgnoreCase(recordedName, name)) return value;
    return CimValue::null(CimType::String);
}

}  // namespace

std::optional<CimValue> systemProperty(const ObjectState& object, std::wstring_view name) {
    for (const auto* known : systemNames)
        if (equalsIgnoreCase(known, name))
            return object.recordedSystem ? recordedValue(object, known) : valueOf(object, known);
    return std::nullopt;
}

std::vector<std::pair<std::wstring, CimValue>> systemProperties(const ObjectState& object) {
    std::vector<std::pair<std::wstring, CimValue>> result;
    for (const auto* name : systemNames)
        result.emplace_back(name, object.recordedSystem ? recordedValue(object, name) : valueOf(object, name));
    return result;
}

}  // namespace HyperVSim
