#include "hyperv/Machines.h"

#include "hyperv/Names.h"
#include "parse/CaseFold.h"

namespace HyperVSim::hyperv {

bool isVirtualMachine(const Instance& system) {
    return Schema::instance().derivesFrom(system.className(), computerSystemClass) &&
           equalsIgnoreCase(system.getString(L"Description").value_or(L""), virtualMachineDescription);
}

bool isRunning(const Instance& machine) {
    return machine.getInteger(L"EnabledState") == enabledStateRunning;
}

bool isChangingState(const Instance& machine) {
    const auto state = machine.getInteger(L"EnabledState");
    return state == enabledStateStarting || state == enabledStateStopping;
}

std::wstring machineId(const Instance& machine) {
    return machine.getString(L"Name").value_or(L"");
}

namespace {
// The repository keeps the instance alive after the list is gone.
const Instance* first(const std::vector<Snapshot>& found) {
    return found.empty() ? nullptr : found.front().get();
}
}  // namespace

const Instance* settingsOfMachine(const Repository& repository, const Instance& machine) {
    return first(repository.associators(machine.identity(), systemSettingsClass, settingsDefineStateClass));
}

const Instance* machineOfSettings(const Repository& repository, const Instance& settings) {
    return first(repository.associators(settings.identity(), computerSystemClass, settingsDefineStateClass));
}

const Instance* settingsOfResource(const Repository& repository, const Instance& resource) {
    return first(repository.associators(resource.identity(), systemSettingsClass, settingsComponentClass,
                                        L"PartComponent", L"GroupComponent"));
}

std::vector<Snapshot> resourcesOf(const Repository& repository, const Instance& settings) {
    return repository.associators(settings.identity(), resourceSettingsBaseClass, settingsComponentClass,
                                  L"GroupComponent", L"PartComponent");
}

const Instance* resourceOfClass(const Repository& repository, const Instance& settings,
                                std::wstring_view className) {
    return first(repository.associators(settings.identity(), className, settingsComponentClass, L"GroupComponent",
                                        L"PartComponent"));
}

void link(Repository& repository, std::wstring_view associationClass, std::wstring_view firstRole,
          const Instance& firstEnd, std::wstring_view secondRole, const Instance& secondEnd) {
    Instance association = Instance::ofClass(associationClass);
    association.set(firstRole, CimValue::string(firstEnd.fullPath(), CimType::Reference));
    association.set(secondRole, CimValue::string(secondEnd.fullPath(), CimType::Reference));
    repository.put(std::move(association));
}

std::wstring attachResource(Repository& repository, const Instance& settings, Instance resource) {
    std::wstring path = resource.fullPath();
    link(repository, settingsComponentClass, L"GroupComponent", settings, L"PartComponent", resource);
    repository.put(std::move(resource));
    return path;
}

void removeWithAssociations(Repository& repository, std::wstring_view identity) {
    std::vector<std::wstring> associations;
    for (const auto& association : repository.references(identity)) associations.push_back(association->identity());
    for (const auto& association : associations) repository.remove(association);
    repository.remove(identity);
}

Instance memoryDevice(const Instance& machine, std::uint64_t mebibytes) {
    const std::wstring id = machineId(machine);
    Instance memory = Instance::ofClass(memoryDeviceClass);
    memory.setString(L"CreationClassName", std::wstring(memoryDeviceClass));
    memory.setString(L"DeviceID", std::wstring(memoryDeviceId));
    memory.setString(L"SystemCreationClassName", std::wstring(computerSystemClass));
    memory.setString(L"SystemName", id);
    memory.setString(L"Name", id);
    memory.setString(L"ElementName", L"Memory");
    memory.setString(L"Purpose", L"System Memory");
    memory.set(L"BlockSize", CimValue::uint64(1048576));
    memory.set(L"NumberOfBlocks", CimValue::uint64(mebibytes));
    memory.set(L"ConsumableBlocks", CimValue::uint64(mebibytes));
    memory.setInteger(L"EnabledState", enabledStateRunning);
    return memory;
}

std::wstring memoryDeviceIdentity(const Instance& machine) {
    return memoryDevice(machine, 0).identity();
}

void putInState(Repository& repository, Instance machine, std::int64_t enabledState) {
    if (enabledState == enabledStateRunning) {
        std::uint64_t mebibytes = 0;
        if (const Instance* settings = settingsOfMachine(repository, machine))
            if (const Instance* memory = resourceOfClass(repository, *settings, memorySettingsClass))
                mebibytes = memory->getUnsigned(L"VirtualQuantity").value_or(0);
        repository.put(memoryDevice(machine, mebibytes));
    } else {
        repository.remove(memoryDeviceIdentity(machine));
    }
    machine.setInteger(L"EnabledState", enabledState);
    repository.put(std::move(machine));
}

void removeMachine(Repository& repository, const Instance& machine) {
    std::vector<std::wstring> doomed;
    if (const Instance* settings = settingsOfMachine(repository, machine)) {
        for (const auto& resource : resourcesOf(repository, *settings)) doomed.push_back(resource->identity());
        doomed.push_back(settings->identity());
    }
    for (const auto& checkpoint :
         repository.associators(machine.identity(), systemSettingsClass, snapshotOfSystemClass))
        doomed.push_back(checkpoint->identity());
    doomed.push_back(memoryDeviceIdentity(machine));
    doomed.push_back(machine.identity());
    for (const auto& identity : doomed) removeWithAssociations(repository, identity);
}

std::wstring canonicalPath(const Repository& repository, std::wstring_view path) {
    const Instance* found = repository.findByPath(path);
    return found ? found->fullPath() : std::wstring();
}

}  // namespace HyperVSim::hyperv
