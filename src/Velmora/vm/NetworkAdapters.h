// Network adapters of a newly defined machine: one synthetic adapter per virtual switch, connected to it.
#pragma once

#include <cstdint>

#include "platform.h"
#include "wmi/ComPtr.h"

namespace Velmora {

// Adds an adapter and its connection for each of `networks` (switch object paths), in list order. False at
// the first switch that cannot be served; what was added before stays on the machine.
bool setNetworkAdapters(IWbemServices* services, IWbemClassObject* managementService,
                        IWbemClassObject* managementServiceClass, const wchar_t* vmPath,
                        const wchar_t* const* networks, std::uint32_t networksCount);

// Adds one synthetic Ethernet adapter, named "Network Adapter" with a fresh identifier, to the machine whose
// settings data is given; hands back the adapter's settings object as Hyper-V created it, or null.
ComPtr<IWbemClassObject> createSyntheticAdapter(IWbemServices* services, IWbemClassObject* managementService,
                                                IWbemClassObject* managementServiceClass,
                                                IWbemClassObject* settingsData);

// The settings of a connection from `adapter` to `switchObject`, filled in but not added; null on failure.
ComPtr<IWbemClassObject> createConnection(IWbemServices* services, IWbemClassObject* adapter,
                                          IWbemClassObject* switchObject);

}  // namespace Velmora
