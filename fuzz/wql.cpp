// The WQL parser and the where evaluator on any text: no crash, no sanitizer report, a refusal or a query.
#include <optional>

#include "WideInput.h"
#include "parse/Wql.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const HyperVSim::wql::ParseResult result = HyperVSim::wql::parse(wideInput(data, size));
    if (!result.query) return 0;
    if (const auto* select = std::get_if<HyperVSim::wql::SelectQuery>(&*result.query); select && select->where) {
        const auto lookup = [](std::wstring_view) -> std::optional<HyperVSim::wql::Literal> {
            return HyperVSim::wql::Literal{};
        };
        HyperVSim::wql::evaluate(*select->where, lookup);
    }
    return 0;
}
