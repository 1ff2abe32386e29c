#include "hyperv/EmbeddedArguments.h"
#include "hyperv/Handlers.h"
#include "hyperv/Machines.h"
#include "hyperv/Names.h"
#include "hyperv/Outcomes.h"
#include "hyperv/ResourceRules.h"
#include "parse/CaseFold.h"

namespace HyperVSim::hyperv {
namespace {

const Instance* ifMachineResource(const Repository& repository, const Instance* resource) {
    return resource && settingsOfResource(repository, *resource) ? resource : nullptr;
}

// A resource settings object of some machine, by InstanceID. The object sent back names its class, and
// with it the InstanceID is the stored object's identity: found directly, whatever the size of the host.
// Only an object of another class than the stored one is looked for among all resources (to say so).
const Instance* machineResource(const Repository& repository, const Instance& sent,
                                const std::wstring& instanceId) {
    if (Schema::instance().derivesFrom(sent.className(), resourceSettingsBaseClass)) {
        Instance key(sent.definitionPtr());
        key.setString(L"InstanceID", instanceId);
        if (const auto identity = key.identity(); !identity.empty())
            if (const Instance* found = repository.find(identity)) return ifMachineResource(repository, found);
    }
    for (const auto& resource : repository.ofClass(resourceSettingsBaseClass))
        if (equalsIgnoreCase(resource->getString(L"InstanceID").value_or(L""), instanceId))
            return ifMachineResource(repository, resource.get());
    return nullptr;
}

struct Change {
    Instance changed;
    std::optional<Rejection> rejection;
};

// The stored object with the properties the client named replaced; InstanceID keeps choosing the target.
Change prepareChange(const Repository& repository, const ConvertedInstance& embedded) {
    const std::wstring id = embedded.instance.getString(L"InstanceID").value_or(L"");
    const Instance* current = id.empty() ? nullptr : machineResource(repository, embedded.instance, id);
    if (!current)
        return {Instance(), Rejection{static_cast<std::uint16_t>(invalidParameter),
                                      L"No resource of a virtual machine has the InstanceID '" + id + L"'."}};
    if (!equalsIgnoreCase(current->className(), embedded.instance.className()))
        return {Instance(), Rejection{static_cast<std::uint16_t>(invalidParameter),
                                      L"The resource '" + id + L"' is of class " + current->className() +
                                          L", not " + embedded.instance.className() + L"."}};
    Instance changed = withChanges(*current, embedded);
    const Instance* settings = settingsOfResource(repository, *current);
    const Instance* machine = settings ? machineOfSettings(repository, *settings) : nullptr;
    auto rejection = checkResourceChange(*current, changed, machine && isRunning(*machine));
    return {std::move(changed), std::move(rejection)};
}

}  // namespace

// Every object of the list is checked before any is changed. A size or count change of a running machine
// is refused at once (ReturnValue 32775, which clients retry on); other refusals come as a failed job.
MethodOutcome modifyResourceSettings(HostState& state, const Instance&, const Instance& inParams) {
    auto list = embeddedArguments(inParams, L"ResourceSettings");
    if (!list.error.empty())
        return failedJob(state, invalidParameter, L"The resource settings are unusable: " + list.error + L".");

    std::vector<Instance> changes;
    for (const auto& embedded : list.instances) {
        auto change = prepareChange(state.repository, embedded);
        if (change.rejection) {
            if (change.rejection->errorCode == invalidState) return MethodOutcome::returns(invalidState);
            return failedJob(state, std::move(*change.rejection));
        }
        changes.push_back(std::move(change.changed));
    }
    std::vector<std::wstring> paths;
    for (auto& changed : changes) {
        paths.push_back(changed.fullPath());
        state.repository.put(std::move(changed));
    }
    return MethodOutcome::returns(completed, {{L"ResultingResourceSettings", referenceArray(std::move(paths))}});
}

}  // namespace HyperVSim::hyperv
