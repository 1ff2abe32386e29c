// Control: direct changes of the host (switches, memory, machines, checkpoints) that tests set up without WMI
// calls.
#include <stdexcept>

#include "HyperVSim/Control.h"
#include "hyperv/Checkpoints.h"
#include "hyperv/Machines.h"
#include "model/CimConversion.h"
#include "model/Host.h"
#include "model/Seed.h"

namespace HyperVSim {
namespace {

void removeAllOf(HostState& state, std::wstring_view className) {
    std::vector<std::wstring> identities;
    for (const auto& instance : state.repository.ofClass(className)) identities.push_back(instance->identity());
    for (const auto& identity : identities) state.repository.remove(identity);
}

}  // namespace

std::wstring Control::addSwitch(const std::wstring& name) {
    return Host::instance().write([&](HostState& state) { return HyperVSim::addSwitch(state, name); });
}

void Control::removeAllSwitches() {
    Host::instance().write([](HostState& state) { removeAllOf(state, L"Msvm_VirtualEthernetSwitch"); });
}

std::vector<SwitchView> Control::switches() {
    return Host::instance().read([](const HostState& state) {
        std::vector<SwitchView> result;
        for (const auto& instance : state.repository.ofClass(L"Msvm_VirtualEthernetSwitch"))
            result.push_back(SwitchView{instance->fullPath(), instance->getString(L"ElementName").value_or(L"")});
        return result;
    });
}

void Control::addMemory(const std::map<std::wstring, Value>& properties) {
    Host::instance().write([&](HostState& state) {
        // The keys give the instance its identity; what clients read comes only from the overrides.
        Instance memory = Instance::ofClass(L"Msvm_Memory");
        memory.setString(L"CreationClassName", L"Msvm_Memory");
        memory.setString(L"DeviceID", L"Microsoft:Added\\" + state.guids.next());
        memory.setString(L"SystemCreationClassName", L"Msvm_ComputerSystem");
        memory.setString(L"SystemName", hostName);
        for (const auto& property : memory.definition().properties) {
            const auto given = properties.find(property.name);
            memory.setOverride(property.name, given == properties.end() ? Value{} : given->second);
        }
        state.repository.put(std::move(memory));
    });
}

void Control::removeAllMemory() {
    Host::instance().write([](HostState& state) { removeAllOf(state, L"Msvm_Memory"); });
}

std::wstring Control::defineMachine(const std::wstring& name, int generation) {
    const auto service = Schema::instance().find(L"Msvm_VirtualSystemManagementService");
    const MethodDef* method = service->method(L"DefineSystem");
    const MethodHandler handler = Host::instance().handler(service->name, method->name);
    if (!handler) throw std::runtime_error("the host has no DefineSystem handler");

    Instance settings = Instance::ofClass(L"Msvm_VirtualSystemSettingData");
    settings.setString(L"ElementName", name);
    settings.setString(L"VirtualSystemSubType", L"Microsoft:Hyper-V:SubType:" + std::to_wstring(generation));
    Instance parameters(method->in);
    parameters.setString(L"SystemSettings", toCimXml(settings, ObjectOrigin::Spawned));

    const MethodOutcome outcome = Host::instance().write([&](HostState& state) {
        const auto services = state.repository.ofClass(service->name);
        if (services.empty()) throw std::runtime_error("the host has no management service");
        return handler(state, *services.front(), parameters);
    });
    if (outcome.failure < 0 || outcome.returnValue != 0)
        throw std::runtime_error("DefineSystem refused the machine");
    for (const auto& [output, value] : outcome.outputs)
        if (output == L"ResultingSystem" && value.asString()) return *value.asString();
    throw std::runtime_error("DefineSystem gave no ResultingSystem");
}

std::wstring Control::addCheckpoint(const std::wstring& machinePath) {
    return Host::instance().write([&](HostState& state) {
        const Instance* machine = state.repository.findByPath(machinePath);
        if (!machine || !hyperv::isVirtualMachine(*machine))
            throw std::invalid_argument("no virtual machine has the path given for a checkpoint");
        return hyperv::createCheckpoint(state, *machine);
    });
}

}  // namespace HyperVSim
