#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// CIM-XML text of WMI objects (the INSTANCE form of the CIM DTD 2.0), on a plain data structure so that the COM
// objects of the simulated host stay out of it.
namespace HyperVSim::cimxml {

enum class CimType {
    String,
    Boolean,
    Uint8,
    Sint8,
    Uint16,
    Sint16,
    Uint32,
    Sint32,
    Uint64,
    Sint64,
    Real32,
    Real64,
    Datetime,
    Char16
};

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
// without exactly one value, or a boolean that is neither TRUE nor FALSE.
std::wstring writeInstance(const CimInstance& instance);

struct ReadResult {
    std::optional<CimInstance> instance;
    std::string error;  // empty when instance is set
};

// Reads both what writeInstance produces and the minimal form clients build by hand (no CLASSORIGIN, no system
// properties). The text comes from callers: no DOCTYPE is accepted and nothing external is ever loaded.
ReadResult readInstance(std::wstring_view text);

// CIM type names as the DTD spells them ("string", "uint16", "datetime", ...). cimTypeFromName throws
// std::invalid_argument for a name that is not one of them; parseCimTypeName reports it as nullopt instead.
std::optional<CimType> parseCimTypeName(std::wstring_view name);
CimType cimTypeFromName(std::wstring_view name);
std::wstring_view cimTypeName(CimType type);

}  // namespace HyperVSim::cimxml
