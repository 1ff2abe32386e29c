#include "trace/ObjectRebuild.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "parse/CaseFold.h"

namespace HyperVSim {
namespace {

struct BadValue : std::runtime_error {
    explicit BadValue(const std::wstring& name) : std::runtime_error("bad value"), property(name) {}
    std::wstring property;
};

CimValue valueOf(const RecordedProperty& property) {
    auto value = CimValue::fromText(property.type, property.isArray, property.values);
    if (!value) throw BadValue(property.name);
    return std::move(*value);
}

// `withDefaults`: the recorded values are the class's defaults (a class definition), or only those the
// record marks as still coming from the class (an instance, whose other values are its own).
PropertyDef propertyDef(const RecordedProperty& property, const std::wstring& className, bool withDefaults) {
    PropertyDef definition;
    definition.name = property.name;
    definition.type = property.type;
    definition.isArray = property.isArray;
    definition.key = property.key;
    definition.classOrigin = property.classOrigin.empty() ? className : property.classOrigin;
    definition.defaultValue =
        withDefaults || property.propagated ? valueOf(property) : CimValue::null(property.type, property.isArray);
    return definition;
}

void sortByName(std::vector<PropertyDef>& properties) {
    std::sort(properties.begin(), properties.end(),
              [](const PropertyDef& a, const PropertyDef& b) { return compareIgnoreCase(a.name, b.name) < 0; });
}

std::shared_ptr<const ClassDef> parametersDef(const std::vector<RecordedProperty>& parameters) {
    auto definition = std::make_shared<ClassDef>();
    definition->name = L"__PARAMETERS";
    definition->isParameters = true;
    for (const auto& parameter : parameters) definition->properties.push_back(propertyDef(parameter, {}, false));
    sortByName(definition->properties);
    return definition;
}

std::wstring systemText(const ObjectRecord& record, std::wstring_view name) {
    const RecordedProperty* property = record.systemProperty(name);
    return property ? scalarText(*property).value_or(L"") : std::wstring();
}

std::shared_ptr<const ClassDef> classDef(const ObjectRecord& record) {
    auto definition = std::make_shared<ClassDef>();
    definition->name = record.className;
    definition->superclass = systemText(record, L"__SUPERCLASS");
    if (const RecordedProperty* derivation = record.systemProperty(L"__DERIVATION"))
        definition->derivation = derivation->values.value_or(std::vector<std::wstring>{});
    definition->isParameters = equalsIgnoreCase(record.className, L"__PARAMETERS");
    for (const auto& property : record.properties)
        definition->properties.push_back(propertyDef(property, record.className, record.isClass));
    sortByName(definition->properties);
    for (const auto& method : record.methods) {
        MethodDef methodDef;
        methodDef.name = method.name;
        methodDef.classOrigin = method.classOrigin.empty() ? record.className : method.classOrigin;
        if (method.hasInput) methodDef.in = parametersDef(method.in);
        methodDef.out = parametersDef(method.out);
        definition->methods.push_back(std::move(methodDef));
    }
    return definition;
}

}  // namespace

RebuiltObject rebuildObject(const ObjectRecord& record) {
    try {
        const auto definition = classDef(record);
        auto recorded = std::make_shared<std::vector<std::pair<std::wstring, CimValue>>>();
        for (const auto& property : record.systemProperties)
            recorded->emplace_back(property.name, valueOf(property));

        std::optional<ObjectState> state;
        if (record.isClass) {
            state = ObjectState::ofClass(definition);
        } else {
            Instance instance(definition);
            for (const auto& property : record.properties)
                if (!property.propagated) instance.set(property.name, valueOf(property));
            // Objects that WMI read from its providers have a path; output parameters have none.
            const bool stored = !systemText(record, L"__PATH").empty();
            state = stored ? ObjectState::ofStored(std::make_shared<const Instance>(std::move(instance)))
                           : ObjectState::ofFresh(std::move(instance));
        }
        state->recordedSystem = std::move(recorded);
        return {std::move(state), {}};
    } catch (const BadValue& error) {
        return {std::nullopt, L"the value of '" + error.property + L"' does not read as its type"};
    }
}

}  // namespace HyperVSim
