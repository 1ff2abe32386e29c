#include "hyperv/Transitions.h"

#include <algorithm>

#include "hyperv/Machines.h"
#include "hyperv/Names.h"
#include "hyperv/Outcomes.h"

namespace HyperVSim::hyperv {

MethodOutcome startTransition(HostState& state, const Instance& machine, std::int64_t to,
                              const StateChangePlan& plan) {
    const std::int64_t from = machine.getInteger(L"EnabledState").value_or(enabledStateOff);
    // Storing the changed machine replaces the instance that `machine` refers to.
    const std::wstring path = machine.fullPath();
    Instance changing = machine;
    changing.setInteger(L"EnabledState", to == enabledStateRunning ? enabledStateStarting : enabledStateStopping);
    state.repository.put(std::move(changing));
    const std::wstring job = state.createJob(JobState::Running);
    state.transitions.push_back({path, from, to, wallClockMilliseconds() + plan.milliseconds, plan.fails, job});
    return MethodOutcome::returns(jobStarted, {{L"Job", referenceValue(job)}});
}

std::wstring changeFailure(const Instance& machine, std::int64_t to) {
    const std::wstring name = machine.getString(L"ElementName").value_or(L"");
    return L"'" + name + (to == enabledStateRunning ? L"' failed to start." : L"' failed to turn off.");
}

}  // namespace HyperVSim::hyperv

namespace HyperVSim {

void endDueTransitions(HostState& state) {
    if (!state.transitionDue()) return;
    const auto now = wallClockMilliseconds();
    std::vector<Transition> due;
    std::erase_if(state.transitions, [&](const Transition& transition) {
        if (transition.endsAt > now) return false;
        due.push_back(transition);
        return true;
    });
    for (const auto& transition : due) {
        // A machine deleted meanwhile has nothing left to change; its job still ends.
        if (const Instance* machine = state.repository.findByPath(transition.machine))
            hyperv::putInState(state.repository, *machine, transition.fails ? transition.from : transition.to);
        if (transition.fails) {
            const Instance* machine = state.repository.findByPath(transition.machine);
            state.finishJob(transition.job, JobState::Exception, hyperv::failed,
                            machine ? hyperv::changeFailure(*machine, transition.to) : std::wstring());
        } else {
            state.finishJob(transition.job, JobState::Completed);
        }
    }
}

}  // namespace HyperVSim
