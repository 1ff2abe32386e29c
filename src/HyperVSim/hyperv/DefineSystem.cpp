#include <variant>

#include "hyperv/EmbeddedArguments.h"
#include "hyperv/Handlers.h"
#include "hyperv/MachineCreation.h"
#include "hyperv/Machines.h"
#include "hyperv/Names.h"
#include "hyperv/Outcomes.h"
#include "hyperv/ResourceAddition.h"
#include "hyperv/ResourceKinds.h"
#include "hyperv/ResourceRules.h"
#include "parse/CaseFold.h"

namespace HyperVSim::hyperv {

namespace {

// A resource given with the definition: memory and processor settings change the machine's own, as
// ModifyResourceSettings would, with the values the client set (what it left at the class's defaults
// stays as a new machine has it); anything else is added as AddResourceSettings adds it. False when the
// host refuses it.
bool takeResource(HostState& state, const Instance& systemSettings, ConvertedInstance resource) {
    const ResourceKind kind = resourceKind(resource.instance);
    if (kind != ResourceKind::Memory && kind != ResourceKind::Processor)
        return !std::holds_alternative<Rejection>(addResource(state, systemSettings, resource.instance));
    const std::wstring_view ownClass = kind == ResourceKind::Memory ? memorySettingsClass : processorSettingsClass;
    const Instance* current = resourceOfClass(state.repository, systemSettings, ownClass);
    if (!current || !equalsIgnoreCase(current->className(), resource.instance.className())) return false;
    std::erase_if(resource.named, [&](const std::wstring& name) { return !resource.instance.isExplicit(name); });
    Instance changed = withChanges(*current, resource);
    if (checkResourceChange(*current, changed, false)) return false;
    state.repository.put(std::move(changed));
    return true;
}

}  // namespace

// Answers at once, as the recorded real hosts do: 0 with ResultingSystem, or 32773 without it.
MethodOutcome defineSystem(HostState& state, const Instance&, const Instance& inParams) {
    const auto settings = embeddedArgument(inParams, L"SystemSettings");
    if (!settings.value) return MethodOutcome::returns(invalidParameter);
    const auto check = checkSystemSettings(settings.value->instance);
    if (!check.error.empty()) return MethodOutcome::returns(invalidParameter);
    // Copying another machine's configuration is not something this host does.
    const CimValue* reference = inParams.get(L"ReferenceConfiguration");
    if (reference && !reference->isNull()) return MethodOutcome::returns(notSupported);

    // A refused resource leaves no machine behind.
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
        if (!takeResource(state, systemSettings, resource)) {
            removeMachine(state.repository, machine);
            return MethodOutcome::returns(invalidParameter);
        }
    }
    return MethodOutcome::returns(completed, {{L"ResultingSystem", referenceValue(machinePath)}});
}

}  // namespace HyperVSim::hyperv
