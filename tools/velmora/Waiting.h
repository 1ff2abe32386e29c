// Waiting as Hyper-V's cmdlets wait: a library call returns once Hyper-V has accepted the request, and the
// machine gets where it was sent afterwards (or not, when its job fails). The command watches its state.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "HostSession.h"
#include "Machines.h"

namespace VelmoraCommand {

enum class Goal {
    Running,
    Off,
    Gone,
    AtRest,  // in no state change: Hyper-V refuses a new request while one is under way
};

struct WaitOutcome {
    bool reached = false;
    std::optional<int> enabledState;  // the state it was last seen in; nothing once it is gone
    std::string problem;              // why it is not there, when it is not
};

// Polls the machine's state until it reaches `goal` or `timeout` has passed. A machine that was seen
// changing state and then rests in a state other than the goal has failed to get there: that ends the wait
// early. Ctrl+C ends it too. While it waits on a terminal, standard error shows what it waits for.
WaitOutcome waitFor(HostSession& host, const Machine& machine, Goal goal, std::chrono::seconds timeout);

std::string goalName(Goal goal);

}  // namespace VelmoraCommand
