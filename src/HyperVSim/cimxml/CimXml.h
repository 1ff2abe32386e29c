#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CimType.h"

// CIM-XML text of WMI objects (the INSTANCE form of the CIM DTD 2.0), on a plain data structure so that the COM
// objects of the simulated host stay out of it.
namespace HyperVSim::cimxml {

struct CimProperty {
    std::wstring name;
    CimType type = CimType::String;
    bool isArray = false;
    std::wstring classOrigin;  // empty: no CLASSORIGIN attribute
    bool propagated = false;   // PROPAGATED="true"
    // Values as text (decimal numbers, TRUE/FALSE booleans); a scalar holds exactly one element; nullopt is NULL.
    std::optional<std::vector<std::wstring>> values;

    friend bool operator==(const CimProperty&, const CimProperty&) = default;
};

struct CimInstance {
    std::wstring className;
    std::vector<CimProperty> systemProperties;  // names starting with "__", in the order WMI lists them
    std::vector<CimProperty> properties;

    friend bool operator==(const CimInstance&, const CimInstance&) = default;
};

// System properties first, in the order given, then the properties sorted by name without regard to case.
// Throws std::invalid_argument for an instance that has no text form: an empty class or property name, a scalar
// without exactly one value, a boolean that is neither TRUE nor FALSE, or a reference (which CIM-XML
// writes as a string holding the path).
std::wstring writeInstance(const CimInstance& instance);

struct ReadResult {
    std::optional<CimInstance> instance;
    std::string error;  // empty when instance is set
};

// Reads both what writeInstance produces and the minimal form clients build by hand (no CLASSORIGIN, no system
// properties). The text comes from callers: no DOCTYPE is accepted and nothing external is ever loaded.
ReadResult readInstance(std::wstring_view text);

}  // namespace HyperVSim::cimxml
