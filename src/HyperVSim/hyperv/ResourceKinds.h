// What a resource settings object stands for, told by its ResourceSubType as Hyper-V does.
#pragma once

#include "model/Instance.h"

namespace HyperVSim::hyperv {

enum class ResourceKind {
    Other,
    Memory,
    Processor,
    IdeController,
    ScsiController,
    DiskDrive,
    DvdDrive,
    VirtualHardDisk,
    EthernetPort,
    EthernetConnection,
};

ResourceKind resourceKind(const Instance& settings);
bool isController(ResourceKind kind);
bool isDrive(ResourceKind kind);
// "Synthetic Disk Drive", ... for messages.
std::wstring describe(ResourceKind kind);

}  // namespace HyperVSim::hyperv
