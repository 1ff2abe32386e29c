// The system properties (__PATH, __CLASS, __GENUS, ...) of an object, derived from its state.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/Value.h"
#include "wmi/ObjectState.h"

namespace HyperVSim {

// The value of one system property; nullopt when `name` is not a system property.
std::optional<CimValue> systemProperty(const ObjectState& object, std::wstring_view name);

// All system properties in the order WMI lists them in CIM-XML.
std::vector<std::pair<std::wstring, CimValue>> systemProperties(const ObjectState& object);

inline bool isSystemPropertyName(std::wstring_view name) {
    return name.size() >= 2 && name.substr(0, 2) == L"__";
}

}  // namespace HyperVSim
