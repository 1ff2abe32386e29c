#include <utility>

#include "com/Status.h"
#include "hyperv/Handlers.h"
#include "hyperv/Machines.h"
#include "hyperv/Names.h"
#include "hyperv/Outcomes.h"
#include "hyperv/Transitions.h"

namespace HyperVSim::hyperv {
namespace {

constexpr std::int64_t requestEnabled = 2;
constexpr std::int64_t requestDisabled = 3;

}  // namespace

// Only starting and turning off are modelled. Without a plan both complete before the job is handed out;
// a planned change leaves the machine starting or stopping while its job runs. The memory a running machine
// holds shows as its Msvm_Memory.
MethodOutcome requestStateChange(HostState& state, const Instance& target, const Instance& inParams) {
    const CimValue* requested = inParams.get(L"RequestedState");
    if (!requested || requested->isNull()) return MethodOutcome::fail(wbem(WBEM_E_INVALID_METHOD_PARAMETERS));
    const Instance* found = state.repository.find(target.identity());
    if (!found) return MethodOutcome::fail(wbem(WBEM_E_NOT_FOUND));
    if (!isVirtualMachine(*found)) return MethodOutcome::returns(notSupported);

    const auto wanted = requested->asInteger().value_or(-1);
    if (wanted != requestEnabled && wanted != requestDisabled) return MethodOutcome::returns(notSupported);
    // A real host answers 32775 as well while another change of the machine is under way.
    if (isChangingState(*found)) return MethodOutcome::returns(invalidState);
    const bool running = isRunning(*found);
    if ((wanted == requestEnabled) == running) return MethodOutcome::returns(invalidState);

    const std::int64_t to = wanted == requestEnabled ? enabledStateRunning : enabledStateOff;
    const StateChangePlan plan = std::exchange(state.nextStateChange, std::nullopt).value_or(StateChangePlan{});
    if (plan.milliseconds > 0) return startTransition(state, *found, to, plan);
    if (plan.fails) return failedJob(state, failed, changeFailure(*found, to));
    putInState(state.repository, *found, to);
    return completedJob(state);
}

}  // namespace HyperVSim::hyperv
