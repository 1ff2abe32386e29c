#include "hyperv/ResourceKinds.h"

#include <array>
#include <utility>

#include "hyperv/Names.h"
#include "parse/CaseFold.h"

namespace HyperVSim::hyperv {
namespace {

constexpr std::array<std::pair<std::wstring_view, ResourceKind>, 9> kinds{{
    {memorySubType, ResourceKind::Memory},
    {processorSubType, ResourceKind::Processor},
    {ideControllerSubType, ResourceKind::IdeController},
    {scsiControllerSubType, ResourceKind::ScsiController},
    {diskDriveSubType, ResourceKind::DiskDrive},
    {dvdDriveSubType, ResourceKind::DvdDrive},
    {virtualHardDiskSubType, ResourceKind::VirtualHardDisk},
    {ethernetPortSubType, ResourceKind::EthernetPort},
    {ethernetConnectionSubType, ResourceKind::EthernetConnection},
}};

constexpr std::wstring_view subTypePrefix = L"Microsoft:Hyper-V:";

}  // namespace

ResourceKind resourceKind(const Instance& settings) {
    const std::wstring subType = settings.getString(L"ResourceSubType").value_or(L"");
    for (const auto& [name, kind] : kinds)
        if (equalsIgnoreCase(subType, name)) return kind;
    return ResourceKind::Other;
}

bool isController(ResourceKind kind) {
    return kind == ResourceKind::IdeController || kind == ResourceKind::ScsiController;
}

bool isDrive(ResourceKind kind) {
    return kind == ResourceKind::DiskDrive || kind == ResourceKind::DvdDrive;
}

std::wstring describe(ResourceKind kind) {
    for (const auto& [name, candidate] : kinds)
        if (candidate == kind) return std::wstring(name.substr(subTypePrefix.size()));
    return L"resource";
}

}  // namespace HyperVSim::hyperv
