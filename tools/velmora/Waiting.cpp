#include "Waiting.h"

#include <algorithm>
#include <cstdint>
#include <thread>

#include "ConsoleText.h"
#include "ErrorCodes.h"
#include "Failure.h"
#include "Terminal.h"
#include "Text.h"

namespace VelmoraCommand {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds pollInterval{200};

bool reached(Goal goal, const std::optional<int>& state) {
    switch (goal) {
        case Goal::Running:
            return state == 2;
        case Goal::Off:
            // A machine that is gone is as off as it gets, as stopVM itself has it.
            return !state || state == 3;
        case Goal::Gone:
            return !state;
        case Goal::AtRest:
            return !state || !isChangingState(*state);
    }
    return false;
}

std::string describe(const std::optional<int>& state) {
    return state ? stateName(*state) : "gone";
}

// One line on a terminal, written over as the wait goes on.
class Progress {
public:
    explicit Progress(bool shown) : shown_(shown) {}
    ~Progress() { clear(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void show(const std::string& text) {
        if (!shown_) return;
        const std::size_t width = displayWidth(text);
        writeText(Stream::Error, "\r" + text + std::string(width < widest_ ? widest_ - width : 0, ' '));
        widest_ = std::max(widest_, width);
    }
    void clear() {
        if (!shown_ || widest_ == 0) return;
        writeText(Stream::Error, "\r" + std::string(widest_, ' ') + "\r");
        widest_ = 0;
    }

private:
    bool shown_;
    std::size_t widest_ = 0;
};

std::optional<int> currentState(HostSession& host, const Machine& machine) {
    const PathLookup found = host.lookUp(widen(machine.path));
    if (found.machine) return found.machine->enabledState;
    if (found.result == wbemNotFound) return std::nullopt;
    const auto meaning = hresultMeaning(static_cast<std::uint32_t>(found.result));
    throw Failure("cannot read the state of " + machine.display + ": err=" + std::to_string(found.result) +
                  (meaning ? " (" + *meaning + ")" : std::string()));
}

}  // namespace

std::string goalName(Goal goal) {
    switch (goal) {
        case Goal::Running:
            return "running";
        case Goal::Off:
            return "off";
        case Goal::Gone:
            return "gone";
        case Goal::AtRest:
            return "at rest";
    }
    return "";
}

WaitOutcome waitFor(HostSession& host, const Machine& machine, Goal goal, std::chrono::seconds timeout) {
    const Interruption interruption;
    Progress progress(isTerminal(Stream::Error));
    const auto start = Clock::now();
    bool sawChange = false;
    for (;;) {
        const auto state = currentState(host, machine);
        if (reached(goal, state)) return {true, state, {}};
        const auto waited = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start);
        const std::string now = describe(state);
        if (state && isChangingState(*state)) {
            sawChange = true;
        } else if (sawChange) {
            return {false, state, machine.display + " ended up " + now + ", not " + goalName(goal)};
        }
        if (Clock::now() - start >= timeout)
            return {false, state,
                    machine.display + " is " + now + " after " + std::to_string(timeout.count()) + " s, not " +
                        goalName(goal)};
        if (Interruption::requested())
            return {false, state, "stopped waiting: " + machine.display + " is " + now + ", not " + goalName(goal)};
        progress.show("Waiting for " + machine.display + " to be " + goalName(goal) + ": " + now + " (" +
                      std::to_string(waited.count()) + " s of " + std::to_string(timeout.count()) + " s)");
        std::this_thread::sleep_for(pollInterval);
    }
}

}  // namespace VelmoraCommand
