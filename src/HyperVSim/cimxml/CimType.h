// The CIM types of properties and method parameters, for the CIM-XML text and the host's model alike.
#pragma once

#include <optional>
#include <string_view>

namespace HyperVSim {

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
    Reference,
    Char16,
};

// "string", "uint16", "datetime", ... as CIM-XML and MOF spell them; "ref" for a reference, which CIM-XML
// gives no TYPE name.
std::wstring_view cimTypeName(CimType type);
// One of those names, or "reference", without regard to case (as WMI treats CIM names).
std::optional<CimType> cimTypeFromName(std::wstring_view name);

}  // namespace HyperVSim
