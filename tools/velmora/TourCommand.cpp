// velmora tour: the typical road of a host application, step by step, with a machine of its own that the tour
// deletes at the end, also when a step fails or the operator presses Ctrl+C.
#include <array>
#include <chrono>
#include <memory>

#include "Command.h"
#include "ExitStatus.h"
#include "Failure.h"
#include "Host.h"
#include "HostQueries.h"
#include "HostSession.h"
#include "LibraryCall.h"
#include "LogSink.h"
#include "Machines.h"
#include "Output.h"
#include "Sizes.h"
#include "TemporaryDirectory.h"
#include "Terminal.h"
#include "Text.h"
#include "TourNarration.h"
#include "Waiting.h"

namespace VelmoraCommand {
namespace {

// On a host of the tour's own the machine needs no name that sets it apart; elsewhere it is named after the
// tour's temporary directory, "velmora-tour-" and six random letters or digits. A replay takes the recorded
// tour's name.
constexpr const char* ownHostMachineName = "tour-vm";
constexpr std::uint64_t machineMemory = 1ull << 30;
constexpr Velmora::CPUSettings machineProcessors{2, 0, 100, 100};
constexpr std::array<const char*, 2> imageNames{"disk0.vhdx", "disk1.vhdx"};
// As long as `velmora start` and `stop` wait by default.
constexpr std::chrono::seconds stateChangeTimeout{60};

class Tour {
public:
    Tour(bool json, const TourHost& host, const std::filesystem::path& scratch, std::string switchArgument)
        : narration_(json),
          host_(host),
          scratch_(scratch),
          switchArgument_(std::move(switchArgument)),
          name_(host.machineName().value_or(host.ownedByTheTour() ? ownHostMachineName
                                                                  : scratch.filename().string())) {}

    // The road, step by step; false when a step failed or Ctrl+C came, with the reason kept.
    bool walk() {
        narration_.introduce(
            "The typical road of a host application through Velmora's functions, on " + host_.where() +
                ".\n"
                "The library's log lines go to standard error: warnings and errors, with --verbose\n"
                "every line.",
            host_.description());
        using Step = bool (Tour::*)();
        for (const Step step : {&Tour::listSwitches, &Tour::create, &Tour::makeImages, &Tour::attachImages,
                                &Tour::start, &Tour::usedMemory, &Tour::stop, &Tour::remove}) {
            if (Interruption::requested())
                return stopped("interrupted (Ctrl+C) before step " + std::to_string(narration_.steps() + 1));
            if (!(this->*step)()) return false;
        }
        return true;
    }

    // Deletes the machine when the road ended before its deletion: once it is at rest, turned off first
    // unless it is off. Does nothing when there is none.
    void cleanUp() {
        if (machine_.empty() || deleted_) return;
        cleaning_ = true;
        if (failedStep_ == 0) failedStep_ = narration_.steps();  // an exception ended the road
        // The Ctrl+C that ended the road is answered by this; only another one stops the cleanup.
        Interruption::acknowledge();
        narration_.cleaningUp("The tour stopped at step " + std::to_string(failedStep_) +
                              "; it turns its machine off and deletes it:");
        if (!waitUntil(Goal::AtRest)) {
            leftBehind_ = problem_;
            return;
        }
        if (!state_) {
            deleted_ = true;
            return;
        }
        if (*state_ != offState && !stop()) return;
        remove();
    }

    // Nothing when the tour's machine is gone, or went with a host of the tour's own; otherwise where it is
    // and how to delete it. Its name sets it apart on the host, so the name is what the command takes.
    std::string leftMachine() const {
        if (machine_.empty() || deleted_ || host_.ownedByTheTour()) return {};
        return "'" + name_ + "' is left on the host (" + leftBehind_ + "); `velmora delete --yes " + name_ +
               "` deletes it";
    }

    // Ends the narration; with the files gone (or why they are not) the tour's outcome is complete.
    bool finish(bool walked, std::error_code filesLeft) {
        std::string text =
            walked ? "The tour is complete: every function returned true."
                   : "The tour stopped at step " + std::to_string(failedStep_) + "; standard error says why.";
        if (!walked && deleted_) text += " Its machine is deleted.";
        const std::string left = leftMachine();
        if (!left.empty()) {
            text += " Its machine " + left + ".";
            if (reason_.empty()) reason_ = "the tour's machine " + left;
        }
        if (!filesLeft) {
            text += " Its files are removed.";
        } else {
            const std::string problem = "cannot remove " + scratch_.string() + ": " + filesLeft.message();
            text += " Its files are not removed: " + problem;
            if (reason_.empty()) reason_ = problem;
        }
        if (!machine_.empty())
            narration_.machine({{"name", name_}, {"path", narrow(machine_)}, {"deleted", deleted_}});
        const bool ok = walked && left.empty() && !filesLeft;
        narration_.finish(ok, text, reason_);
        return ok;
    }

private:
    static constexpr int offState = 3;

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
        chooseSwitch(switches);
        showHost();
        return true;
    }

    // The --switch given (BadInput, with the list, for one the host does not have), or the first one listed.
    void chooseSwitch(const std::vector<Switch>& switches) {
        if (switchArgument_.empty()) {
            if (!switches.empty()) chosenSwitch_ = switches.front();
            return;
        }
        const std::string path = resolveSwitches({switchArgument_}, switches).front();
        chosenSwitch_ = Switch{path, path};
        for (const auto& s : switches)
            if (foldCase(widen(s.path)) == foldCase(widen(path))) chosenSwitch_ = s;
    }

    bool create() {
        const std::string network = chosenSwitch_ ? "one network adapter on '" + chosenSwitch_->name + "'"
                                                  : "no network adapter, as the host has no switch";
        narration_.step("Create the generation 2 machine '" + name_ + "' with " + formatSize(machineMemory) +
                            " of memory, " + std::to_string(machineProcessors.count) + " processors and " + network,
                        "createVM");
        const std::wstring name = widen(name_);
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
        showHost();
        return true;
    }

    bool makeImages() {
        narration_.step(host_.imagesStep(scratch_), "");
        TourHost::Images made;
        try {
            made = host_.makeImages(scratch_, {imageNames.begin(), imageNames.end()});
        } catch (const Failure& e) {
            return failed(e.what(), e.what());
        }
        for (const auto& path : made.paths) images_.push_back(widen(path));
        narration_.outcome(true, made.outcome, made.paths);
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
        if (!changeState(Velmora::startVM, "startVM", Goal::Running)) return false;
        narration_.outcome(true, "true");
        showHost();
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
        if (!changeState(Velmora::stopVM, "stopVM", Goal::Off)) return false;
        narration_.outcome(true, "true");
        return true;
    }

    bool remove() {
        narration_.step("Delete the machine", "deleteVM");
        if (!changeState(Velmora::deleteVM, "deleteVM", Goal::Gone)) return false;
        deleted_ = true;
        narration_.outcome(true, "true");
        showHost();
        return true;
    }

    // The library returns once Hyper-V has accepted the request; the machine gets there afterwards, as the
    // next step needs it to be.
    bool changeState(bool (*function)(Velmora::LogCallback, const wchar_t*), const char* name, Goal goal) {
        const LibraryCall call(name);
        if (!function(logSink, machine_.c_str())) return failed(call.reason());
        if (!waitUntil(goal)) return failed(problem_, "true, but " + problem_);
        return true;
    }

    // Whether the machine got to `goal`; state_ is where it was seen last (empty: gone), problem_ why it is
    // not there.
    bool waitUntil(Goal goal) {
        try {
            if (!session_) session_ = std::make_unique<HostSession>();
            const Machine machine{narrow(machine_), oneLine(name_), std::nullopt};
            const WaitOutcome outcome = waitFor(*session_, machine, goal, stateChangeTimeout);
            state_ = outcome.enabledState;
            problem_ = outcome.problem;
            return outcome.reached;
        } catch (const Failure& e) {
            problem_ = e.what();
            return false;
        }
    }

    void showHost() {
        if (const auto picture = host_.picture()) narration_.showHost(*picture);
    }

    // The step failed: `shown` is its outcome, `reason` why. During the cleanup the road's reason stays, and
    // this one says why the machine is left.
    bool failed(const std::string& reason, const std::string& shown = "false") {
        narration_.outcome(false, shown);
        if (cleaning_) {
            leftBehind_ = reason;
        } else {
            reason_ = reason;
            failedStep_ = narration_.steps();
        }
        return false;
    }

    bool stopped(const std::string& reason) {
        reason_ = reason;
        failedStep_ = narration_.steps() + 1;
        return false;
    }

    TourNarration narration_;
    const TourHost& host_;
    std::filesystem::path scratch_;
    std::string switchArgument_;
    std::string name_;
    std::optional<Switch> chosenSwitch_;
    std::unique_ptr<HostSession> session_;  // the command's own WMI connection, for the waits
    std::wstring machine_;                  // its path, once created
    bool deleted_ = false;
    std::vector<std::wstring> images_;
    std::string reason_;  // why the road ended early
    std::size_t failedStep_ = 0;
    bool cleaning_ = false;
    std::optional<int> state_;  // where the last wait saw the machine; empty: gone
    std::string problem_;       // why the last wait did not get where it was going
    std::string leftBehind_ = "the tour could not delete it";
};

int runTour(const GlobalOptions& global, const std::string& switchArgument) {
    // For the whole tour: a Ctrl+C ends the road and the tour cleans up, rather than leave its machine behind.
    const Interruption interruption;
    TemporaryDirectory scratch;
    const auto host = openTourHost(global, scratch.path());
    Tour tour(global.json, *host, scratch.path(), switchArgument);
    bool walked = false;
    try {
        walked = tour.walk();
    } catch (...) {
        // The failure on its way out is the reason; the cleanup narrates itself, and a machine it leaves is
        // named here, as the closing text would.
        try {
            tour.cleanUp();
            if (const auto left = tour.leftMachine(); !left.empty()) printError("the tour's machine " + left);
        } catch (...) {
        }
        throw;
    }
    tour.cleanUp();
    const std::error_code filesLeft = scratch.remove();
    return tour.finish(walked, filesLeft) ? exitSuccess : exitFailed;
}

}  // namespace

Command addTourCommand(CLI::App& parent) {
    auto switchArgument = std::make_shared<std::string>();
    auto* app = parent.add_subcommand("tour", "Walk the typical road, step by step, with a machine of its own");
    app->add_option("--switch", *switchArgument,
                    "The switch for the machine's network adapter, by its name or path (default: the first\n"
                    "one the host lists)")
        ->type_name("SWITCH");
    describe(*app,
             "Lists the switches, creates a generation 2 machine on a switch, attaches two empty image files\n"
             "made in a temporary folder, starts the machine, shows the used memory, turns it off and deletes\n"
             "it, waiting after each change as `velmora start` does; each step says what it does and what came\n"
             "back. When a step fails, or at Ctrl+C, the tour still turns its machine off and deletes it; a\n"
             "machine it cannot delete is named, with the command that deletes it. Exit status 0 only when\n"
             "every step succeeded and nothing is left behind." +
                 std::string(tourHostNote()),
             "velmora tour --verbose");
    return {app, HostUse::Own,
            [switchArgument](const GlobalOptions& global) { return runTour(global, *switchArgument); }};
}

}  // namespace VelmoraCommand
