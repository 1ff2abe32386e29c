#include "hyperv/EmbeddedArguments.h"

namespace HyperVSim::hyperv {

ConversionResult embeddedArgument(const Instance& inParams, std::wstring_view name) {
    const auto text = inParams.getString(name);
    if (!text || text->empty()) return {std::nullopt, L"no " + std::wstring(name) + L" were given"};
    return fromCimXml(*text);
}

EmbeddedList embeddedArguments(const Instance& inParams, std::wstring_view name) {
    EmbeddedList result;
    const auto texts = inParams.getStrings(name);
    if (!texts || texts->empty()) {
        result.error = L"no " + std::wstring(name) + L" were given";
        return result;
    }
    for (std::size_t i = 0; i < texts->size(); ++i) {
        auto converted = fromCimXml((*texts)[i]);
        if (!converted.value) {
            result.instances.clear();
            result.error = std::wstring(name) + L"[" + std::to_wstring(i) + L"]: " + converted.error;
            return result;
        }
        result.instances.push_back(std::move(*converted.value));
    }
    return result;
}

}  // namespace HyperVSim::hyperv
