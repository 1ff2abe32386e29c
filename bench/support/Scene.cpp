#include "support/Scene.h"

#include <HyperVSim/Control.h>

#include <map>

namespace VelmoraBench {

void quietLog(Velmora::LoggingLevel, const char*) {}

void resetHost() {
    HyperVSim::Control::reset();
    HyperVSim::Control::enableJournal(false);
}

void addIdleMachines(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) HyperVSim::Control::defineMachine(L"idle-" + std::to_wstring(i), 2);
}

std::vector<std::wstring> replaceSwitches(std::size_t count, std::size_t nameLength) {
    HyperVSim::Control::removeAllSwitches();
    std::vector<std::wstring> paths;
    paths.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::wstring name = L"switch-" + std::to_wstring(i) + L"-";
        if (name.size() < nameLength) name.append(nameLength - name.size(), L'x');
        paths.push_back(HyperVSim::Control::addSwitch(name));
    }
    return paths;
}

void replaceMemory(std::size_t count) {
    HyperVSim::Control::removeAllMemory();
    const std::map<std::wstring, HyperVSim::Value> memory{{L"Name", std::wstring(L"Host memory")},
                                                          {L"BlockSize", std::wstring(L"4096")},
                                                          {L"NumberOfBlocks", std::wstring(L"262144")}};
    for (std::size_t i = 0; i < count; ++i) HyperVSim::Control::addMemory(memory);
}

Velmora::VMSettings MachineRequest::settings() const {
    Velmora::VMSettings settings{};
    settings.name = name.c_str();
    settings.generation = 2;
    settings.ramSizeBytes = 2048ull * 1048576ull;
    settings.configurationDataRoot = L"C:\\VMs";
    settings.cpu = Velmora::CPUSettings{2, 10, 80, 200};
    settings.networks = networks.empty() ? nullptr : const_cast<const wchar_t**>(networks.data());
    settings.networksCount = static_cast<std::uint32_t>(networks.size());
    return settings;
}

}  // namespace VelmoraBench
