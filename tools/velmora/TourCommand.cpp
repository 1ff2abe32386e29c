// velmora tour: the typical road of a host application, step by step, on a host of its own.
#include <array>
#include <fstream>
#include <memory>

#include "Command.h"
#include "ExitStatus.h"
#include "Failure.h"
#include "HostQueries.h"
#include "HostState.h"
#include "LibraryCall.h"
#include "LogSink.h"
#include "Output.h"
#include "Sizes.h"
#include "TemporaryDirectory.h"
#include "Text.h"
#include "TourNarration.h"

namespace VelmoraCommand {
namespace {

constexpr const char* machineName = "tour-vm";
constexpr std::uint64_t machineMemory = 1ull << 30;
constexpr Velmora::CPUSettings machineProcessors{2, 0, 100, 100};
constexpr std::array<const char*, 2> imageNames{"disk0.vhdx", "disk1.vhdx"};

class Tour {
public:
    Tour(bool json, const std::filesystem::path& scratch) : narration_(json), scratch_(scratch) {}

    // Each step returns false when its library function did; the tour stops there.
    bool run(const std::string& stateFile) {
        narration_.introduce(
            "The typical road of a host application through Velmora's functions, on the simulated\n"
            "Hyper-V host in " +
                stateFile +
                ".\n"
                "The library's log lines go to standard error: warnings and errors, with --verbose\n"
                "every line.",
            stateFile);
        return listSwitches() && create() && makeImages() && attachImages() && start() && usedMemory() && stop() &&
               remove();
    }

    void finish(bool ok) {
        narration_.finish(ok,
                          ok ? "The tour is complete: every function returned true. Its files are removed."
                             : "The tour stopped: the function above returned false; the log lines on "
                               "standard error say why.",
                          reason_);
    }

private:
    bool listSwitches() {
        narration_.step("List the host's virtual switches", "retrieveAvailableNetworkAdapters");
        std::vector<Switch> switches;
        try {
            switches = retrieveSwitches();
        } catch (const Failure& e) {
            return failed(e.what());
        }
        nlohmann::json list = nlohmann::json::array();
        for (const auto& s : switches) list.push_back({{"name", s.name}, {"path", s.path}});
        narration_.outcome(
            true, "true: " + std::to_string(switches.size()) + " switches\n" + switchTable(switches, ""), list);
        if (!switches.empty()) chosenSwitch_ = switches.front();
        narration_.showHost(takeHostSnapshot());
        return true;
    }

    bool create() {
        const std::string network = chosenSwitch_ ? "one network adapter on '" + chosenSwitch_->name + "'"
                                                  : "no network adapter, as the host has no switch";
        narration_.step(std::string("Create the generation 2 machine '") + machineName + "' with " +
                            formatSize(machineMemory) + " of memory, " + std::to_string(machineProcessors.count) +
                            " processors and " + network,
                        "createVM");
        const std::wstring name = widen(machineName);
        const std::wstring switchPath = chosenSwitch_ ? widen(chosenSwitch_->path) : std::wstring();
        const wchar_t* networks[] = {switchPath.c_str()};
        const Velmora::VMSettings settings{name.c_str(),      2,        machineMemory,          L"",
                                           machineProcessors, networks, chosenSwitch_ ? 1u : 0u};
        auto created = std::make_unique<Velmora::CreatedVM>();
        created->vmPath[0] = L'\0';
        const LibraryCall call("createVM");
        if (!Velmora::createVM(logSink, settings, *created)) return failed(call.reason());
        machine_ = created->vmPath;
        narration_.outcome(true, "true: the machine's path is\n" + narrow(machine_), {{"path", narrow(machine_)}});
        narration_.showHost(takeHostSnapshot());
        return true;
    }

    bool makeImages() {
        narration_.step("Make two empty image files in " + scratch_.string(), "");
        nlohmann::json list = nlohmann::json::array();
        std::string names;
        for (const char* image : imageNames) {
            const auto path = scratch_ / image;
            if (!std::ofstream(path)) {
                reason_ = "cannot write " + path.string();
                narration_.outcome(false, reason_);
                return false;
            }
            images_.push_back(widen(path.string()));
            list.push_back(path.string());
            names += (names.empty() ? "" : ", ") + std::string(image);
        }
        narration_.outcome(true, "made " + names, list);
        return true;
    }

    bool attachImages() {
        // The library ends its search for a SCSI controller with an error line when there is none yet, and then
        // adds one; said here so that the line does not look like a failure.
        narration_.step(
            "Attach both images to the machine's SCSI controller; it has none yet, so the library logs\n"
            "   'Query returned no objects!' at error level, adds one and goes on",
            "setDiskImages");
        std::vector<const wchar_t*> images;
        for (const auto& image : images_) images.push_back(image.c_str());
        const LibraryCall call("setDiskImages");
        if (!Velmora::setDiskImages(logSink, machine_.c_str(), 2, images.data(),
                                    static_cast<std::uint32_t>(images.size())))
            return failed(call.reason());
        narration_.outcome(true, "true");
        return true;
    }

    bool start() {
        narration_.step("Start the machine", "startVM");
        const LibraryCall call("startVM");
        if (!Velmora::startVM(logSink, machine_.c_str())) return failed(call.reason());
        narration_.outcome(true, "true");
        narration_.showHost(takeHostSnapshot());
        return true;
    }

    bool usedMemory() {
        narration_.step("Add up the memory the host reports as used", "retrieveUsedMemory");
        std::uint64_t bytes = 0;
        try {
            bytes = retrieveUsedMemory();
        } catch (const Failure& e) {
            return failed(e.what());
        }
        narration_.outcome(true, "true: " + describeSize(bytes), {{"usedMemoryBytes", bytes}});
        return true;
    }

    bool stop() {
        narration_.step("Turn the machine off", "stopVM");
        const LibraryCall call("stopVM");
        if (!Velmora::stopVM(logSink, machine_.c_str())) return failed(call.reason());
        narration_.outcome(true, "true");
        return true;
    }

    bool remove() {
        narration_.step("Delete the machine", "deleteVM");
        const LibraryCall call("deleteVM");
        if (!Velmora::deleteVM(logSink, machine_.c_str())) return failed(call.reason());
        narration_.outcome(true, "true");
        narration_.showHost(takeHostSnapshot());
        return true;
    }

    bool failed(const std::string& reason) {
        reason_ = reason;
        narration_.outcome(false, "false");
        return false;
    }

    TourNarration narration_;
    std::filesystem::path scratch_;
    std::optional<Switch> chosenSwitch_;
    std::wstring machine_;
    std::vector<std::wstring> images_;
    std::string reason_;  // why the tour stopped
};

int runTour(const GlobalOptions& global) {
    const TemporaryDirectory scratch;
    const auto stateFile =
        global.state.empty() ? scratch.path() / "host.json" : std::filesystem::path(global.state);
    openHostState(stateFile, StateUse::Change);
    Tour tour(global.json, scratch.path());
    const bool ok = tour.run(stateFile.string());
    tour.finish(ok);
    return ok ? exitSuccess : exitFailed;
}

}  // namespace

Command addTourCommand(CLI::App& parent) {
    auto* app = parent.add_subcommand("tour", "Walk the typical road, step by step, on a fresh host");
    describe(*app,
             "Lists the switches, creates a generation 2 machine on the first switch, attaches two empty\n"
             "image files, starts it, shows the used memory, stops and deletes it; each step says what it\n"
             "does and what came back, and the host is shown on the way. The host lives in a temporary\n"
             "state file that is removed afterwards, or in the --state file, used as it is.",
             "velmora tour --verbose");
    return {app, HostUse::Own, runTour};
}

}  // namespace VelmoraCommand
