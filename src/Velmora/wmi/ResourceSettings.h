// Adding a resource to a machine's configuration.
#pragma once

#include "wmi/ComPtr.h"

namespace Velmora {

// Calls AddResourceSettings for one settings object and hands back the object Hyper-V created, or null.
ComPtr<IWbemClassObject> addResourceSettings(IWbemServices* services, IWbemClassObject* managementService,
                                             IWbemClassObject* managementServiceClass,
                                             IWbemClassObject* settingsData, IWbemClassObject* resourceSettings);

}  // namespace Velmora
