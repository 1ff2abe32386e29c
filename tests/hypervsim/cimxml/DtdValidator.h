#pragma once

#include <string>
#include <string_view>

namespace HyperVSim::cimxml::test {

// Validates a document against the CIM DTD 2.2 with INSTANCE as the root; returns the validator's messages, empty
// when the document is valid.
std::string dtdErrors(std::wstring_view document);

}  // namespace HyperVSim::cimxml::test
