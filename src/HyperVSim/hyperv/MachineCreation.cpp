#include "hyperv/MachineCreation.h"

#include "hyperv/Machines.h"
#include "hyperv/Names.h"
#include "model/Seed.h"
#include "parse/CaseFold.h"

namespace HyperVSim::hyperv {
namespace {

Instance newComputerSystem(const std::wstring& id, const std::wstring& name) {
    Instance machine = Instance::ofClass(computerSystemClass);
    machine.setString(L"CreationClassName", std::wstring(computerSystemClass));
    machine.setString(L"Name", id);
    machine.setString(L"ElementName", name);
    machine.setString(L"Description", std::wstring(virtualMachineDescription));
    machine.setString(L"Caption", L"Virtual Machine");
    machine.setInteger(L"EnabledState", enabledStateOff);
    machine.setInteger(L"HealthState", 5);
    machine.set(L"OnTimeInMilliseconds", CimValue::uint64(0));
    return machine;
}

Instance realizedSettings(const Instance& requested, const std::wstring& id, int generation) {
    Instance settings = requested;
    settings.setString(L"InstanceID", L"Microsoft:" + id);
    settings.setString(L"VirtualSystemIdentifier", id);
    settings.setString(L"VirtualSystemType", std::wstring(realizedSystemType));
    settings.setString(L"VirtualSystemSubType",
                       std::wstring(generation == 2 ? generation2SubType : generation1SubType));
    settings.setString(L"Caption", L"Virtual Machine Settings");
    settings.setString(L"Description", L"Active settings for the virtual machine");
    std::wstring root = settings.getString(L"ConfigurationDataRoot").value_or(L"");
    if (root.empty()) root = defaultConfigurationDataRoot;
    settings.setString(L"ConfigurationDataRoot", root);
    // The other folders follow the configuration folder unless the client chose them.
    for (const wchar_t* folder : {L"SnapshotDataRoot", L"SwapFileDataRoot", L"LogDataRoot", L"SuspendDataRoot"})
        if (settings.getString(folder).value_or(L"").empty()) settings.setString(folder, root);
    return settings;
}

Instance memorySettings(const std::wstring& id) {
    Instance memory = Instance::ofClass(memorySettingsClass);
    memory.setString(L"InstanceID", L"Microsoft:" + id + L"\\" + std::wstring(memorySettingsPart));
    memory.setString(L"ElementName", L"Memory");
    memory.setString(L"Caption", L"Memory");
    memory.setString(L"Description", L"Settings for Microsoft Virtual Machine Memory.");
    memory.setInteger(L"ResourceType", 4);
    memory.setString(L"ResourceSubType", std::wstring(memorySubType));
    for (const wchar_t* quantity : {L"VirtualQuantity", L"Reservation", L"Limit"})
        memory.set(quantity, CimValue::uint64(defaultMemoryMiB));
    memory.setInteger(L"Weight", 5000);
    memory.setBoolean(L"DynamicMemoryEnabled", false);
    memory.setInteger(L"TargetMemoryBuffer", 20);
    memory.set(L"MaxMemoryBlocksPerNumaNode", CimValue::uint64(hostMemoryMiB / 2));
    return memory;
}

Instance processorSettings(const std::wstring& id) {
    Instance processor = Instance::ofClass(processorSettingsClass);
    processor.setString(L"InstanceID", L"Microsoft:" + id + L"\\" + std::wstring(processorSettingsPart) + L"\\0");
    processor.setString(L"ElementName", L"Processor");
    processor.setString(L"Caption", L"Processor");
    processor.setString(L"Description", L"Settings for Microsoft Virtual Processor.");
    processor.setInteger(L"ResourceType", 3);
    processor.setString(L"ResourceSubType", std::wstring(processorSubType));
    processor.set(L"VirtualQuantity", CimValue::uint64(1));
    processor.set(L"Reservation", CimValue::uint64(0));
    processor.set(L"Limit", CimValue::uint64(fullProcessorLimit));
    processor.setInteger(L"Weight", 100);
    processor.set(L"MaxProcessorsPerNumaNode", CimValue::uint64(hostLogicalProcessors / 2));
    processor.set(L"MaxNumaNodesPerSocket", CimValue::uint64(1));
    return processor;
}

Instance ideController(const std::wstring& id, unsigned number) {
    const std::wstring address = std::to_wstring(number);
    Instance controller = Instance::ofClass(resourceSettingsClass);
    controller.setString(L"InstanceID",
                         L"Microsoft:" + id + L"\\" + std::wstring(ideControllerPart) + L"\\" + address);
    controller.setString(L"ElementName", L"IDE Controller " + address);
    controller.setString(L"Caption", L"IDE Controller");
    controller.setInteger(L"ResourceType", 5);
    controller.setString(L"ResourceSubType", std::wstring(ideControllerSubType));
    controller.setString(L"Address", address);
    return controller;
}

}  // namespace

SettingsCheck checkSystemSettings(const Instance& requested) {
    if (!equalsIgnoreCase(requested.className(), systemSettingsClass))
        return {0, L"The system settings are of class '" + requested.className() +
                       L"'; a virtual machine is defined by " + std::wstring(systemSettingsClass) + L"."};
    const std::wstring name = requested.getString(L"ElementName").value_or(L"");
    if (name.empty()) return {0, L"The virtual machine name (ElementName) is empty."};
    if (name.size() > maxMachineNameLength)
        return {0, L"The virtual machine name has " + std::to_wstring(name.size()) + L" characters; at most " +
                       std::to_wstring(maxMachineNameLength) + L" are allowed."};
    const CimValue* subType = requested.get(L"VirtualSystemSubType");
    if (!subType || subType->isNull()) return {1, {}};  // Hyper-V's default generation
    const std::wstring text = subType->asString().value_or(L"");
    if (equalsIgnoreCase(text, generation1SubType)) return {1, {}};
    if (equalsIgnoreCase(text, generation2SubType)) return {2, {}};
    return {0, L"The virtual system subtype '" + text + L"' is neither '" + std::wstring(generation1SubType) +
                   L"' nor '" + std::wstring(generation2SubType) + L"'."};
}

std::wstring createMachine(HostState& state, const Instance& requested, int generation) {
    const std::wstring id = state.guids.next();
    const std::wstring name = requested.getString(L"ElementName").value_or(L"");
    Instance machine = newComputerSystem(id, name);
    Instance settings = realizedSettings(requested, id, generation);
    const std::wstring machinePath = machine.fullPath();

    Repository& repository = state.repository;
    link(repository, settingsDefineStateClass, L"ManagedElement", machine, L"SettingData", settings);
    repository.put(machine);
    repository.put(settings);
    attachResource(repository, settings, memorySettings(id));
    attachResource(repository, settings, processorSettings(id));
    if (generation == 1)
        for (unsigned number = 0; number < 2; ++number)
            attachResource(repository, settings, ideController(id, number));
    return machinePath;
}

}  // namespace HyperVSim::hyperv
