#include "hyperv/Checkpoints.h"

#include <stdexcept>

#include "hyperv/Machines.h"
#include "hyperv/Names.h"

namespace HyperVSim::hyperv {

std::wstring createCheckpoint(HostState& state, const Instance& machine) {
    Repository& repository = state.repository;
    const Instance* own = settingsOfMachine(repository, machine);
    if (!own) throw std::invalid_argument("the machine has no settings");
    const Instance settings = *own;

    Instance checkpoint = settings;
    checkpoint.setString(L"InstanceID", L"Microsoft:" + state.guids.next());
    checkpoint.setString(L"VirtualSystemType", std::wstring(snapshotSystemType));
    checkpoint.setString(L"ElementName", machine.getString(L"ElementName").value_or(L"") + L" - Checkpoint");
    checkpoint.setString(L"Description", L"Checkpoint settings for the virtual machine");
    const std::wstring path = checkpoint.fullPath();
    link(repository, snapshotOfSystemClass, L"Antecedent", machine, L"Dependent", checkpoint);
    repository.put(std::move(checkpoint));

    // Stored again after the checkpoint's link, the link to the machine's own settings comes after it in
    // enumeration order.
    for (const auto& association : repository.references(settings.identity(), settingsDefineStateClass)) {
        Instance moved = *association;
        repository.remove(moved.identity());
        repository.put(std::move(moved));
    }
    return path;
}

}  // namespace HyperVSim::hyperv
