// The host state as a JSON document: every stored instance with its class, the values set on it (JSON
// numbers, booleans, strings and arrays, read back by the declared type of each property, so that a file
// that does not fit the host's classes is noticed) and the raw values it delivers instead, plus the GUID
// counter and the template order.
#pragma once

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "model/Host.h"

namespace HyperVSim {

inline constexpr int stateFormatVersion = 1;

// What is wrong with a document; the state file adds its name.
class StateFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

nlohmann::json stateToJson(const HostState& state);
// Builds the state a document describes. Throws StateFormatError for a document of another kind, of a newer
// format version, or with anything that does not fit the host's classes.
HostState stateFromJson(const nlohmann::json& document);

}  // namespace HyperVSim
