#include <variant>

#include "hyperv/EmbeddedArguments.h"
#include "hyperv/Handlers.h"
#include "hyperv/Machines.h"
#include "hyperv/Names.h"
#include "hyperv/Outcomes.h"
#include "hyperv/ResourceAddition.h"

namespace HyperVSim::hyperv {

// All or nothing, as on a real host: when one object of the list is refused, those added before it in the
// same call are taken away again.
MethodOutcome addResourceSettings(HostState& state, const Instance&, const Instance& inParams) {
    const std::wstring configuration = inParams.getString(L"AffectedConfiguration").value_or(L"");
    const Instance* found = state.repository.findByPath(configuration);
    // A machine stands for its own settings.
    if (found && isVirtualMachine(*found)) found = settingsOfMachine(state.repository, *found);
    if (!found || !Schema::instance().derivesFrom(found->className(), systemSettingsClass) ||
        !machineOfSettings(state.repository, *found))
        return failedJob(
            state, invalidParameter,
            L"The affected configuration '" + configuration + L"' is not the settings of a virtual machine.");
    const Instance systemSettings = *found;

    auto list = embeddedArguments(inParams, L"ResourceSettings");
    if (!list.error.empty())
        return failedJob(state, invalidParameter, L"The resource settings are unusable: " + list.error + L".");

    std::vector<std::wstring> added;
    for (const auto& embedded : list.instances) {
        auto result = addResource(state, systemSettings, embedded.instance);
        if (auto* rejection = std::get_if<Rejection>(&result)) {
            for (const auto& path : added) removeWithAssociations(state.repository, identityOfPath(path));
            return failedJob(state, std::move(*rejection));
        }
        added.push_back(std::get<std::wstring>(std::move(result)));
    }
    return MethodOutcome::returns(completed, {{L"ResultingResourceSettings", referenceArray(std::move(added))}});
}

}  // namespace HyperVSim::hyperv
