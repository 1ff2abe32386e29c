#include "model/CimConversion.h"

#include <algorithm>

#include "parse/CaseFold.h"

namespace HyperVSim {
namespace {

constexpr const wchar_t* systemOrigin = L"___SYSTEM";

cimxml::CimProperty systemProperty(const wchar_t* name, CimType type, std::optional<std::wstring> value) {
    cimxml::CimProperty property;
    property.name = name;
    property.type = type;
    property.classOrigin = systemOrigin;
    if (value) property.values = std::vector<std::wstring>{std::move(*value)};
    return property;
}

std::optional<std::wstring> nonEmpty(std::wstring text) {
    if (text.empty()) return std::nullopt;
    return text;
}

std::vector<cimxml::CimProperty> systemProperties(const Instance& instance, ObjectOrigin origin) {
    const ClassDef& definition = instance.definition();
    const bool located = origin == ObjectOrigin::Stored && instance.hasKeys();
    std::vector<cimxml::CimProperty> result;
    result.push_back(
        systemProperty(L"__PATH", CimType::String, located ? nonEmpty(instance.fullPath()) : std::nullopt));
    result.push_back(
        systemProperty(L"__NAMESPACE", CimType::String,
                       located ? std::optional<std::wstring>(L"root\\virtualization\\v2") : std::nullopt));
    result.push_back(systemProperty(L"__SERVER", CimType::String,
                                    located ? std::optional<std::wstring>(hostName) : std::nullopt));

    cimxml::CimProperty derivation = systemProperty(L"__DERIVATION", CimType::String, std::nullopt);
    derivation.isArray = true;
    derivation.values = definition.derivation;
    result.push_back(std::move(derivation));

    result.push_back(
        systemProperty(L"__PROPERTY_COUNT", CimType::Sint32, std::to_wstring(definition.properties.size())));
    result.push_back(systemProperty(L"__RELPATH", CimType::String, nonEmpty(instance.relativePath())));
    result.push_back(systemProperty(L"__DYNASTY", CimType::String, definition.dynasty()));
    result.push_back(systemProperty(L"__SUPERCLASS", CimType::String, nonEmpty(definition.superclass)));
    result.push_back(systemProperty(L"__CLASS", CimType::String, definition.name));
    result.push_back(systemProperty(L"__GENUS", CimType::Sint32, L"2"));
    return result;
}

}  // namespace

cimxml::CimInstance toCimInstance(const Instance& instance, ObjectOrigin origin) {
    cimxml::CimInstance result;
    result.className = instance.className();
    result.systemProperties = systemProperties(instance, origin);
    const auto& properties = instance.definition().properties;
    for (std::size_t i = 0; i < properties.size(); ++i) {
        const PropertyDef& definition = properties[i];
        cimxml::CimProperty property;
        property.name = definition.name;
        // CIM-XML has no reference TYPE for plain properties: Hyper-V writes its path-valued properties as
        // strings, and references of associations are never sent as embedded instances.
        property.type = definition.type == CimType::Reference ? CimType::String : definition.type;
        property.isArray = definition.isArray;
        property.classOrigin = definition.classOrigin;
        property.propagated = !instance.isExplicit(definition.name);
        property.values = instance.values()[i].toText();
        result.properties.push_back(std::move(property));
    }
    return result;
}

std::wstring toCimXml(const Instance& instance, ObjectOrigin origin) {
    return cimxml::writeInstance(toCimInstance(instance, origin));
}

ConversionResult fromCimInstance(const cimxml::CimInstance& embedded) {
    const auto definition = Schema::instance().find(embedded.className);
    if (!definition) return {std::nullopt, L"the class '" + embedded.className + L"' does not exist"};
    if (definition->isAssociation())
        return {std::nullopt, L"the class '" + definition->name + L"' is an association and cannot be embedded"};

    ConvertedInstance result{Instance(definition), {}};
    for (const auto& property : embedded.properties) {
        const PropertyDef* declared = definition->property(property.name);
        if (!declared)
            return {std::nullopt,
                    L"the class '" + definition->name + L"' has no property '" + property.name + L"'"};
        if (declared->isArray != property.isArray)
            return {std::nullopt, L"the property '" + declared->name + L"' is " +
                                      (declared->isArray ? L"an array" : L"not an array")};
        auto value = CimValue::fromText(declared->type, declared->isArray, property.values);
        if (!value)
            return {std::nullopt, L"a value of the property '" + declared->name + L"' is not a valid " +
                                      std::wstring(cimTypeName(declared->type))};
        result.named.push_back(declared->name);
        // A value still inherited from the class stays so; anything else counts as set by the client.
        const bool inherited = property.propagated && *value == declared->defaultValue;
        const bool nullAsDefault = value->isNull() && declared->defaultValue.isNull();
        if (inherited || nullAsDefault) continue;
        result.instance.set(declared->name, std::move(*value));
    }
    return {std::move(result), {}};
}

ConversionResult fromCimXml(std::wstring_view text) {
    const auto read = cimxml::readInstance(text);
    if (!read.instance)
        return {std::nullopt, L"the text is not a CIM-XML instance (" +
                                  std::wstring(read.error.begin(), read.error.end()) + L")"};
    return fromCimInstance(*read.instance);
}

}  // namespace HyperVSim
