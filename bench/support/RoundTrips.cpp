#include "support/RoundTrips.h"

#include <HyperVSim/Control.h>

#include <array>
#include <string_view>

namespace VelmoraBench {
namespace {

constexpr std::array<std::string_view, 6> crossingCalls{"ConnectServer", "OpenNamespace", "GetObject",
                                                        "ExecQuery",     "Next",          "ExecMethod"};

}  // namespace

std::size_t countRoundTrips(const std::function<void()>& call) {
    HyperVSim::Control::clearJournal();
    HyperVSim::Control::enableJournal(true);
    call();
    HyperVSim::Control::enableJournal(false);
    // The counts, unlike the journal's entries, are exact however many calls the export made.
    const auto counts = HyperVSim::Control::journalCounts();
    HyperVSim::Control::clearJournal();
    std::size_t count = 0;
    for (const auto operation : crossingCalls) {
        const auto found = counts.find(std::string(operation));
        if (found != counts.end()) count += found->second;
    }
    return count;
}

}  // namespace VelmoraBench
