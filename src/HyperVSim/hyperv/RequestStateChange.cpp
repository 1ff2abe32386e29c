#include "com/Status.h"
#include "hyperv/Handlers.h"
#include "hyperv/Machines.h"
#include "hyperv/Names.h"
#include "hyperv/Outcomes.h"

namespace HyperVSim::hyperv {
namespace {

constexpr std::int64_t requestEnabled = 2;
constexpr std::int64_t requestDisabled = 3;

std::uint64_t memoryMiB(const Repository& repository, const Instance& machine) {
    const Instance* settings = settingsOfMachine(repository, machine);
    const Instance* memory = settings ? resourceOfClass(repository, *settings, memorySettingsClass) : nullptr;
    return memory ? memory->getUnsigned(L"VirtualQuantity").value_or(0) : 0;
}

}  // namespace

// Only starting and turning off are modelled; both complete before the job is handed out. The memory a
// running machine holds shows as its Msvm_Memory.
MethodOutcome requestStateChange(HostState& state, const Instance& target, const Instance& inParams) {
    const CimValue* requested = inParams.get(L"RequestedState");
    if (!requested || requested->isNull()) return MethodOutcome::fail(wbem(WBEM_E_INVALID_METHOD_PARAMETERS));
    const Instance* found = state.repository.find(target.identity());
    if (!found) return MethodOutcome::fail(wbem(WBEM_E_NOT_FOUND));
    if (!isVirtualMachine(*found)) return MethodOutcome::returns(notSupported);

    const auto wanted = requested->asInteger().value_or(-1);
    if (wanted != requestEnabled && wanted != requestDisabled) return MethodOutcome::returns(notSupported);
    const bool running = isRunning(*found);
    if ((wanted == requestEnabled) == running) return MethodOutcome::returns(invalidState);

    Instance machine = *found;
    if (wanted == requestEnabled) {
        state.repository.put(memoryDevice(machine, memoryMiB(state.repository, machine)));
        machine.setInteger(L"EnabledState", enabledStateRunning);
    } else {
        state.repository.remove(memoryDeviceIdentity(machine));
        machine.setInteger(L"EnabledState", enabledStateOff);
    }
    state.repository.put(std::move(machine));
    return completedJob(state);
}

}  // namespace HyperVSim::hyperv
