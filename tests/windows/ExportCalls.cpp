#include "ExportCalls.h"

#include <memory>
#include <stdexcept>

namespace VelmoraWine {
namespace {

constexpr const wchar_t* machinePath =
    L"\\\\WINE\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
    L"Name=\"7F2B1C4A-3D5E-4F60-8A9B-0C1D2E3F4A5B\"";

bool callCreateVM(Velmora::LogCallback log) {
    const wchar_t* networks[] = {L"\\\\WINE\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.Name=\"S1\""};
    const Velmora::VMSettings settings{L"wine-vm", 2, 1024ull << 20, L"C:\\vms", {1, 0, 100, 100}, networks, 1};
    const auto created = std::make_unique<Velmora::CreatedVM>();
    return Velmora::createVM(log, settings, *created);
}

bool callDeleteVM(Velmora::LogCallback log) {
    return Velmora::deleteVM(log, machinePath);
}

bool callStartVM(Velmora::LogCallback log) {
    return Velmora::startVM(log, machinePath);
}

bool callStopVM(Velmora::LogCallback log) {
    return Velmora::stopVM(log, machinePath);
}

bool callSetDiskImages(Velmora::LogCallback log) {
    const wchar_t* images[] = {L"C:\\vms\\disk.vhdx"};
    return Velmora::setDiskImages(log, machinePath, 2, images, 1);
}

bool callRetrieveAvailableNetworkAdapters(Velmora::LogCallback log) {
    const auto list = std::make_unique<Velmora::NetworksList>();
    return Velmora::retrieveAvailableNetworkAdapters(log, *list);
}

bool callRetrieveUsedMemory(Velmora::LogCallback log) {
    std::uint64_t usedMemory = 0;
    return Velmora::retrieveUsedMemory(log, usedMemory);
}

}  // namespace

const std::vector<ExportCall>& allExports() {
    static const std::vector<ExportCall> exports{
        {"createVM", "Create VM", false, &callCreateVM},
        {"deleteVM", "Delete VM", false, &callDeleteVM},
        {"startVM", "Starting VM", true, &callStartVM},
        {"stopVM", "Stopping VM", true, &callStopVM},
        {"setDiskImages", "Set disk images", false, &callSetDiskImages},
        {"retrieveAvailableNetworkAdapters", "Get available network adapters", false,
         &callRetrieveAvailableNetworkAdapters},
        {"retrieveUsedMemory", "Get used memory", false, &callRetrieveUsedMemory},
    };
    return exports;
}

const ExportCall& exportNamed(const std::string& name) {
    for (const ExportCall& call : allExports())
        if (name == call.name) return call;
    throw std::invalid_argument("no export named " + name);
}

std::vector<std::string> linesUpToMissingNamespace(const ExportCall& call) {
    std::vector<std::string> lines{call.banner};
    if (call.requestsStateChange) lines.emplace_back("Request VM state change");
    lines.insert(lines.end(), {"Initializing COM", "Connect to the server", "Connect to the server - OK",
                               "Open namespace: virtualization\\v2", missingNamespaceLine});
    return lines;
}

}  // namespace VelmoraWine
