#include "com/Status.h"
#include "hyperv/Handlers.h"
#include "hyperv/Machines.h"
#include "hyperv/Names.h"
#include "hyperv/Outcomes.h"
#include "parse/ObjectPath.h"

namespace HyperVSim::hyperv {

// A real host answers with a job; the removal is done by the time the job is handed out. Image files of
// the machine's disks stay where they are.
MethodOutcome destroySystem(HostState& state, const Instance&, const Instance& inParams) {
    const auto path = inParams.getString(L"AffectedSystem");
    if (!path || !parseObjectPath(*path)) return MethodOutcome::fail(wbem(WBEM_E_INVALID_METHOD_PARAMETERS));
    const Instance* found = state.repository.findByPath(*path);
    if (!found) return MethodOutcome::fail(wbem(WBEM_E_NOT_FOUND));
    if (!isVirtualMachine(*found)) return MethodOutcome::fail(wbem(WBEM_E_INVALID_METHOD_PARAMETERS));
    if (isRunning(*found) || isChangingState(*found)) return MethodOutcome::returns(invalidState);
    const Instance machine = *found;
    removeMachine(state.repository, machine);
    return completedJob(state);
}

}  // namespace HyperVSim::hyperv
