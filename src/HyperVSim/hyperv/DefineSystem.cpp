#include <variant>

#include "hyperv/EmbeddedArguments.h"
#include "hyperv/Handlers.h"
#include "hyperv/MachineCreation.h"
#include "hyperv/Machines.h"
#include "hyperv/Names.h"
#include "hyperv/Outcomes.h"
#include "hyperv/ResourceAddition.h"

namespace HyperVSim::hyperv {

// Answers at once, as the recorded real hosts do: 0 with ResultingSystem, or 32773 without it.
MethodOutcome defineSystem(HostState& state, const Instance&, const Instance& inParams) {
    const auto settings = embeddedArgument(inParams, L"SystemSettings");
    if (!settings.value) return MethodOutcome::returns(invalidParameter);
    const auto check = checkSystemSettings(settings.value->instance);
    if (!check.error.empty()) return MethodOutcome::returns(invalidParameter);
    // Copying another machine's configuration is not something this host does.
    const CimValue* reference = inParams.get(L"ReferenceConfiguration");
    if (reference && !reference->isNull()) return MethodOutcome::returns(notSupported);

    // Resources given with the definition are added as AddResourceSettings adds them; a refused one
    // leaves no machine behind.
    std::vector<ConvertedInstance> resources;
    const auto texts = inParams.getStrings(L"ResourceSettings");
    if (texts && !texts->empty()) {
        auto list = embeddedArguments(inParams, L"ResourceSettings");
        if (!list.error.empty()) return MethodOutcome::returns(invalidParameter);
        resources = std::move(list.instances);
    }

    const std::wstring machinePath = createMachine(state, settings.value->instance, check.generation);
    const Instance machine = *state.repository.findByPath(machinePath);
    const Instance systemSettings = *settingsOfMachine(state.repository, machine);
    for (const auto& resource : resources) {
        if (std::holds_alternative<Rejection>(addResource(state, systemSettings, resource.instance))) {
            removeMachine(state.repository, machine);
            return MethodOutcome::returns(invalidParameter);
        }
    }
    return MethodOutcome::returns(completed, {{L"ResultingSystem", referenceValue(machinePath)}});
}

}  // namespace HyperVSim::hyperv
