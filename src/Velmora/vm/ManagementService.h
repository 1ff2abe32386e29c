// The class of Hyper-V's virtual system management service, whose methods define, change and destroy machines.
#pragma once

namespace Velmora {

inline constexpr const wchar_t* managementServiceClassName = L"Msvm_VirtualSystemManagementService";

}  // namespace Velmora
