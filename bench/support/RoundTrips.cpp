#include "support/RoundTrips.h"

#include <HyperVSim/Control.h>

#include <array>
#include <string_view>

namespace VelmoraBench {
namespace {

constexpr std::array<std::string_view, 6> crossingCalls{"ConnectServer", "OpenNamespace", "GetObject",
                                                        "ExecQuery",     "Next",          "ExecMethod"};

constexpr std::size_t journalCapacity = 65536;

bool crosses(std::string_view operation) {
    for (const auto call : crossingCalls)
        if (call == operation) return true;
    return false;
}

}  // namespace

std::optional<std::size_t> countRoundTrips(const std::function<void()>& call) {
    HyperVSim::Control::clearJournal();
    HyperVSim::Control::enableJournal(true);
    call();
    HyperVSim::Control::enableJournal(false);
    const auto entries = HyperVSim::Control::journal();
    HyperVSim::Control::clearJournal();
    // The journal keeps the newest 65,536 calls; a full one has dropped some.
    if (entries.size() >= journalCapacity) return std::nullopt;
    std::size_t count = 0;
    for (const auto& entry : entries)
        if (crosses(entry.operation)) ++count;
    return count;
}

}  // namespace VelmoraBench
