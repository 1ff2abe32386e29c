// Method arguments that carry objects as embedded-instance text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/CimConversion.h"

namespace HyperVSim::hyperv {

// A string argument holding one embedded instance.
ConversionResult embeddedArgument(const Instance& inParams, std::wstring_view name);

struct EmbeddedList {
    std::vector<ConvertedInstance> instances;
    std::wstring error;  // why the list was refused; empty when every text was read
};

// A string-array argument of embedded instances; a NULL or empty list is refused.
EmbeddedList embeddedArguments(const Instance& inParams, std::wstring_view name);

}  // namespace HyperVSim::hyperv
