#include "trace/ObjectRecord.h"

#include "parse/CaseFold.h"

namespace HyperVSim {
namespace {

template <class Properties>
auto find(Properties& properties, std::wstring_view name) -> decltype(&properties.front()) {
    for (auto& property : properties)
        if (equalsIgnoreCase(property.name, name)) return &property;
    return nullptr;
}

}  // namespace

const RecordedProperty* ObjectRecord::property(std::wstring_view name) const {
    return find(properties, name);
}

RecordedProperty* ObjectRecord::property(std::wstring_view name) {
    return find(properties, name);
}

const RecordedProperty* ObjectRecord::systemProperty(std::wstring_view name) const {
    return find(systemProperties, name);
}

std::optional<std::wstring> scalarText(const RecordedProperty& property) {
    if (property.isArray || !property.values || property.values->size() != 1) return std::nullopt;
    return property.values->front();
}

}  // namespace HyperVSim
