// Off Windows: the simulated Hyper-V host of the platform stand-in, kept in a state file.
#include "Host.h"
#include "HostState.h"
#include "HostView.h"
#include "ReplayTourHost.h"
#include "SimulatedHostTraces.h"
#include "StateLocation.h"
#include "TourImages.h"
#include "Validators.h"

namespace VelmoraCommand {

// velmora host show, reset, checkpoint and default-template (HostCommands.cpp).
std::vector<Command> addSimulatedHostCommands(CLI::App& parent);

namespace {

std::filesystem::path stateFile(const GlobalOptions& global) {
    return global.state.empty() ? defaultStatePath() : std::filesystem::path(global.state);
}

class SimulatedTourHost : public TourHost {
public:
    SimulatedTourHost(std::filesystem::path stateFile, bool own, bool recorded)
        : stateFile_(std::move(stateFile)), own_(own), recorded_(recorded) {}

    std::string where() const override { return "the simulated\nHyper-V host in " + stateFile_.string(); }
    nlohmann::json description() const override { return {{"state", stateFile_.string()}}; }
    bool ownedByTheTour() const override { return own_; }
    // A picture asks the library for the used memory: in a recording those calls would stand among the tour's
    // own, which its replay, showing nothing of a host it cannot see into, does not make.
    std::optional<Picture> picture() const override {
        if (recorded_) return std::nullopt;
        const HostSnapshot host = takeHostSnapshot();
        return Picture{hostText(host, ""), hostJson(host)};
    }
    // The host checks only that an image exists and how its name ends.
    std::string imagesStep(const std::filesystem::path& folder) const override { return emptyImagesStep(folder); }
    Images makeImages(const std::filesystem::path& folder, const std::vector<std::string>& names) const override {
        return makeEmptyImages(folder, names);
    }

private:
    std::filesystem::path stateFile_;
    bool own_;
    bool recorded_;
};

}  // namespace

void addHostOptions(CLI::App& app, GlobalOptions& global) {
    auto* state =
        app.add_option("--state", global.state,
                       "State file of the simulated host (default: $XDG_STATE_HOME/velmora/host.json, or\n"
                       "~/.local/state/velmora/host.json); FILE.lock beside it is its lock")
            ->type_name("FILE")
            ->check(notEmptyValidator("the state file's name"));
    // A replay answers from the trace alone: no host is read or changed.
    addTraceOptions(app, global).replay->excludes(state);
}

void addHostCommands(CLI::App& app, std::vector<Command>& commands) {
    for (auto& command : addSimulatedHostCommands(app)) commands.push_back(std::move(command));
}

std::unique_ptr<WmiStandIn> installWmiStandIn(const GlobalOptions& global) {
    if (!global.record.empty()) return std::make_unique<TraceRecording>(global.record);
    if (!global.replay.empty()) return std::make_unique<TraceReplay>(global.replay);
    return nullptr;
}

void prepareHost(HostUse use, const GlobalOptions& global) {
    if (!global.replay.empty()) return;
    if (use == HostUse::Reads) openHostState(stateFile(global), StateUse::Read);
    if (use == HostUse::Changes) openHostState(stateFile(global), StateUse::Change);
}

const char* stateOptionNote() {
    return ", --state FILE";
}

const char* tourHostNote() {
    return "\nThe host lives in a temporary state file that is removed afterwards, or in the --state file,\n"
           "used as it is (the machine is then named velmora-tour- and six letters or digits).";
}

std::unique_ptr<TourHost> openTourHost(const GlobalOptions& global, const std::filesystem::path& scratch) {
    if (!global.replay.empty()) return openReplayTourHost(global.replay);
    const bool own = global.state.empty();
    const auto file = own ? scratch / "host.json" : std::filesystem::path(global.state);
    openHostState(file, StateUse::Change);
    return std::make_unique<SimulatedTourHost>(file, own, !global.record.empty());
}

}  // namespace VelmoraCommand
