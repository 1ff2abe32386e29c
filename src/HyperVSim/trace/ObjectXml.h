// The CIM-XML text of a traced object. An instance is written as an INSTANCE (system properties first, then
// the properties by name, references as strings holding the path, as the host's text source writes them); a
// class definition as a CLASS whose properties carry a "key" qualifier where they are keys, and whose METHOD
// elements list the parameters with "In" and "Out" qualifiers, the return type being the method's TYPE.
//
// Reading takes that and what WMI's own text source writes: qualifiers other than those are ignored,
// PROPERTY.REFERENCE elements give a reference-typed property without a value (a trace holds reference
// values apart, exactly as Get delivered them), and properties of a form a trace cannot hold (embedded
// objects) are left out.
#pragma once

#include <string>
#include <string_view>

#include "trace/ObjectRecord.h"

namespace HyperVSim {

// Throws std::runtime_error when the XML writer fails.
std::wstring writeObjectXml(const ObjectRecord& record);

struct ObjectXmlRead {
    std::optional<ObjectRecord> record;
    std::string error;  // why the text is not an object; empty when `record` is set
};
ObjectXmlRead readObjectXml(std::wstring_view text);

}  // namespace HyperVSim
