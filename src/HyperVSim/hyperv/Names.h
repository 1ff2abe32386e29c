// Names, identifiers and numbers of Hyper-V that the method handlers produce and recognise.
#pragma once

#include <cstdint>
#include <string_view>

namespace HyperVSim::hyperv {

inline constexpr std::wstring_view computerSystemClass = L"Msvm_ComputerSystem";
inline constexpr std::wstring_view systemSettingsClass = L"Msvm_VirtualSystemSettingData";
inline constexpr std::wstring_view resourceSettingsBaseClass = L"CIM_ResourceAllocationSettingData";
inline constexpr std::wstring_view resourceSettingsClass = L"Msvm_ResourceAllocationSettingData";
inline constexpr std::wstring_view memorySettingsClass = L"Msvm_MemorySettingData";
inline constexpr std::wstring_view processorSettingsClass = L"Msvm_ProcessorSettingData";
inline constexpr std::wstring_view storageSettingsClass = L"Msvm_StorageAllocationSettingData";
inline constexpr std::wstring_view switchClass = L"Msvm_VirtualEthernetSwitch";
inline constexpr std::wstring_view memoryDeviceClass = L"Msvm_Memory";
inline constexpr std::wstring_view settingsDefineStateClass = L"Msvm_SettingsDefineState";
inline constexpr std::wstring_view settingsComponentClass = L"Msvm_VirtualSystemSettingDataComponent";
inline constexpr std::wstring_view snapshotOfSystemClass = L"Msvm_SnapshotOfVirtualSystem";

inline constexpr std::wstring_view virtualMachineDescription = L"Microsoft Virtual Machine";
inline constexpr std::wstring_view realizedSystemType = L"Microsoft:Hyper-V:System:Realized";
inline constexpr std::wstring_view snapshotSystemType = L"Microsoft:Hyper-V:Snapshot:Realized";
inline constexpr std::wstring_view generation1SubType = L"Microsoft:Hyper-V:SubType:1";
inline constexpr std::wstring_view generation2SubType = L"Microsoft:Hyper-V:SubType:2";
// Where a machine's files go when the client names no folder.
inline constexpr std::wstring_view defaultConfigurationDataRoot = L"C:\\ProgramData\\Microsoft\\Windows\\Hyper-V";
inline constexpr std::size_t maxMachineNameLength = 100;

inline constexpr std::wstring_view ideControllerSubType = L"Microsoft:Hyper-V:Emulated IDE Controller";
inline constexpr std::wstring_view scsiControllerSubType = L"Microsoft:Hyper-V:Synthetic SCSI Controller";
inline constexpr std::wstring_view diskDriveSubType = L"Microsoft:Hyper-V:Synthetic Disk Drive";
inline constexpr std::wstring_view dvdDriveSubType = L"Microsoft:Hyper-V:Synthetic DVD Drive";
inline constexpr std::wstring_view virtualHardDiskSubType = L"Microsoft:Hyper-V:Virtual Hard Disk";
inline constexpr std::wstring_view ethernetPortSubType = L"Microsoft:Hyper-V:Synthetic Ethernet Port";
inline constexpr std::wstring_view ethernetConnectionSubType = L"Microsoft:Hyper-V:Ethernet Connection";
inline constexpr std::wstring_view memorySubType = L"Microsoft:Hyper-V:Memory";
inline constexpr std::wstring_view processorSubType = L"Microsoft:Hyper-V:Processor";

// The device-class parts of InstanceIDs, spelled as a real host spells them.
inline constexpr std::wstring_view memorySettingsPart = L"4764334d-e001-4176-82ee-5594ec9b530e";
inline constexpr std::wstring_view processorSettingsPart = L"b637f346-6a0e-4dec-af52-bd70cb80a21d";
inline constexpr std::wstring_view ideControllerPart = L"83F8638B-8DCA-4152-9EDA-2CA8B33039B4";
inline constexpr std::wstring_view memoryDeviceId = L"Microsoft:4764334D-E001-4176-82EE-5594EC9B530E\\0";

inline constexpr std::uint64_t defaultMemoryMiB = 1024;
inline constexpr std::uint64_t minimumMemoryMiB = 32;
inline constexpr std::uint64_t fullProcessorLimit = 100000;  // thousandths of a percent
inline constexpr std::uint64_t minimumProcessorWeight = 1;
inline constexpr std::uint64_t maximumProcessorWeight = 10000;
inline constexpr unsigned ideSlots = 2;
inline constexpr unsigned scsiSlots = 64;
inline constexpr unsigned maxScsiControllers = 4;
inline constexpr unsigned maxNetworkAdapters = 12;

inline constexpr std::uint16_t enabledStateRunning = 2;
inline constexpr std::uint16_t enabledStateOff = 3;
// While a planned state change runs (Control::planNextStateChange).
inline constexpr std::uint16_t enabledStateStopping = 4;
inline constexpr std::uint16_t enabledStateStarting = 10;

// ReturnValue and job ErrorCode numbers of the Hyper-V methods.
enum ReturnCode : std::uint32_t {
    completed = 0,
    jobStarted = 4096,
    failed = 32768,
    notSupported = 32770,
    invalidParameter = 32773,
    systemInUse = 32774,
    invalidState = 32775,
};

}  // namespace HyperVSim::hyperv
