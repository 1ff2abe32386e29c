// On Windows: the library talks to Hyper-V itself. There is no state file and no simulated host to show or
// reset; for tests, the hidden option --simulated-host puts the simulated host of HyperVSim.dll in Hyper-V's
// place. HyperVSim.dll also records traces and answers from them.
#include "Host.h"
#include "HyperVSimLibrary.h"
#include "ReplayTourHost.h"
#include "TourImages.h"
#include "VirtualDisks.h"

namespace VelmoraCommand {
namespace {

class HyperVTourHost : public TourHost {
public:
    explicit HyperVTourHost(bool simulated) : simulated_(simulated) {}

    std::string where() const override {
        return std::string(simulated_ ? "the simulated\nHyper-V host of HyperVSim.dll"
                                      : "this computer's\nHyper-V host") +
               ", with a machine of its own that it deletes at the end";
    }
    nlohmann::json description() const override { return nlohmann::json::object(); }
    // HyperVSim.dll's host lives in this process alone and goes with it.
    bool ownedByTheTour() const override { return simulated_; }
    // The command sees Hyper-V only through the library and its own queries, as any host application does.
    std::optional<Picture> picture() const override { return std::nullopt; }
    // The simulated host takes empty files; Hyper-V refuses a file that is not a virtual hard disk.
    std::string imagesStep(const std::filesystem::path& folder) const override {
        return simulated_ ? emptyImagesStep(folder) : virtualDisksStep(folder);
    }
    Images makeImages(const std::filesystem::path& folder, const std::vector<std::string>& names) const override {
        return simulated_ ? makeEmptyImages(folder, names) : makeVirtualDisks(folder, names);
    }

private:
    bool simulated_;
};

}  // namespace

void addHostOptions(CLI::App& app, GlobalOptions& global) {
    // Left out of --help: it serves the tests of host applications and of the command (see the README).
    auto* simulated =
        app.add_flag("--simulated-host", global.simulatedHost,
                     "Talk to the simulated Hyper-V host of HyperVSim.dll beside velmora.exe instead of Hyper-V")
            ->group("");
    // A replay is the simulated host answering from the trace.
    addTraceOptions(app, global).replay->excludes(simulated);
}

void addHostCommands(CLI::App&, std::vector<Command>&) {}

std::unique_ptr<WmiStandIn> installWmiStandIn(const GlobalOptions& global) {
    if (!global.simulatedHost && global.record.empty() && global.replay.empty()) return nullptr;
    return std::make_unique<HyperVSimLibrary>(
        HyperVSimLibrary::Use{global.simulatedHost, global.replay, global.record});
}

void prepareHost(HostUse, const GlobalOptions&) {}

const char* stateOptionNote() {
    return "";
}

const char* tourHostNote() {
    return "\nIt runs on this computer's Hyper-V host, as a check that the host and Velmora.dll work together.";
}

std::unique_ptr<TourHost> openTourHost(const GlobalOptions& global, const std::filesystem::path&) {
    if (!global.replay.empty()) return openReplayTourHost(global.replay);
    return std::make_unique<HyperVTourHost>(global.simulatedHost);
}

}  // namespace VelmoraCommand
