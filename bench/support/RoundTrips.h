// Round trips: the calls of one export that would cross to the WMI service on a real host, read from the
// simulated host's journal, and the count that the steps each export must take imply.
//
// Which calls cross: IWbemLocator::ConnectServer, IWbemServices::OpenNamespace, GetObject, ExecQuery and
// ExecMethod, and every IEnumWbemClassObject::Next (one per step of an enumeration, including the last one
// that reports the end). Local to the client process, and so not counted: IWbemClassObject Get, Put,
// GetMethod and SpawnInstance (the object is a client-side copy), CoCreateInstance of the locator and of
// the object text source (in-process servers) and IWbemObjectTextSrc::GetText, CoSetProxyBlanket (proxy
// settings), and IWbemCallResult::GetCallStatus and GetResultObject of a synchronous call, which has
// completed when ExecMethod returns: its status and output parameters came back with it. Release of a proxy
// is not journalled and not counted.
#pragma once

#include <cstddef>
#include <functional>

namespace VelmoraBench {

// Runs `call` with the journal on and returns the crossing calls it made. The journal is off afterwards.
std::size_t countRoundTrips(const std::function<void()>& call);

// The required counts. Building blocks (each step as the algorithms name it):
//   frame = ConnectServer + OpenNamespace                                     = 2
//   executeQuery = ExecQuery + one Next                                       = 2
//   getClassInstance = executeQuery                                           = 2
//   requestDefaultObject = 2 x executeQuery + GetObject                       = 5
//   addResourceSettings = ExecMethod + GetObject of the result                = 2
//   setVmRam, setCpuCores = GetObject + 2 x executeQuery + ExecMethod         = 6 each
//   per adapter = pool query 2 + requestDefaultObject 5 + addResourceSettings 2 (adapter)
//                 + GetObject (switch) + pool query 2 + requestDefaultObject 5 (connection)
//                 + ExecMethod (connection)                                   = 18
namespace required {
// frame + GetObject (machine) + GetObject (class) + ExecMethod
constexpr std::size_t startVM = 2 + 3;
constexpr std::size_t stopVM = 2 + 3;
// frame + GetObject (class) + getClassInstance + ExecMethod
constexpr std::size_t deleteVM = 2 + 1 + 2 + 1;
// frame + ExecQuery + (switches + 1) Next
constexpr std::size_t retrieveAvailableNetworkAdapters(std::size_t switches) {
    return 2 + 1 + switches + 1;
}
// frame + ExecQuery + (instances + 1) Next
constexpr std::size_t retrieveUsedMemory(std::size_t instances) {
    return 2 + 1 + instances + 1;
}
// frame + GetObject (service class) + getClassInstance + GetObject (settings class) + ExecMethod (DefineSystem)
// + setVmRam + setCpuCores + setNetworkAdapters (GetObject + executeQuery + 18 per adapter)
constexpr std::size_t createVM(std::size_t adapters) {
    return 2 + 1 + 2 + 1 + 1 + 6 + 6 + 1 + 2 + 18 * adapters;
}
// Generation 2 machine with no SCSI controller and `resources` Msvm_ResourceAllocationSettingData:
// frame + GetObject (service class) + getClassInstance + GetObject (machine) + executeQuery (settings data)
// + findScsiController (ExecQuery + resources + 1 Next) + adding the controller (pool query 2 +
// requestDefaultObject 5 + addResourceSettings 2) + per image (drive 9 + virtual hard disk 9)
constexpr std::size_t setDiskImages(std::size_t images, std::size_t resources = 0) {
    return 2 + 1 + 2 + 1 + 2 + (1 + resources + 1) + (2 + 5 + 2) + 18 * images;
}
}  // namespace required

}  // namespace VelmoraBench
