// The seven exports behind one shape, so that what holds for every export (the frame, its log lines, its
// COM balance) is checked once for each of them.
#pragma once

#include <Velmora/Velmora.h>

#include <ostream>
#include <string>
#include <vector>

namespace VelmoraWine {

struct ExportCall {
    const char* name;
    const char* banner;
    // startVM and stopVM run the frame inside the state-change request, which has a line of its own.
    bool requestsStateChange;
    // Calls the export with plausible arguments; a call never gets as far as using them under Wine.
    bool (*call)(Velmora::LogCallback log);
};

// How a test names a failing case's parameter.
inline void PrintTo(const ExportCall& call, std::ostream* out) {
    *out << call.name;
}

const std::vector<ExportCall>& allExports();

// Names the cases of a test parameterised over the exports after the export.
struct ExportCallName {
    template <class ParamInfo>
    std::string operator()(const ParamInfo& param) const {
        return param.param.name;
    }
};
const ExportCall& exportNamed(const std::string& name);

// The lines of an export whose frame stops at the missing Hyper-V namespace, as under Wine's WMI.
std::vector<std::string> linesUpToMissingNamespace(const ExportCall& call);

// What Wine's WMI answers for root\virtualization\v2: WBEM_E_INVALID_NAMESPACE.
inline constexpr const char* missingNamespaceLine = "Failed to open namespace, err=-2147217394";

}  // namespace VelmoraWine
