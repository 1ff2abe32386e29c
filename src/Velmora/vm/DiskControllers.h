// The controllers that disk drives sit on: a machine's emulated IDE controllers and its synthetic SCSI
// controller.
#pragma once

#include <vector>

#include "platform.h"
#include "wmi/ComPtr.h"

namespace Velmora {

// The machine's emulated IDE controllers in the order the host lists them; empty when there are none or the
// query failed.
std::vector<ComPtr<IWbemClassObject>> getIdeControllers(IWbemServices* services, IWbemClassObject* settingsData);

// The machine's first synthetic SCSI controller, or null.
ComPtr<IWbemClassObject> findScsiController(IWbemServices* services, IWbemClassObject* settingsData);

// The machine's SCSI controller: the one it has, else one added now, else null.
ComPtr<IWbemClassObject> getScsiController(IWbemServices* services, IWbemClassObject* managementService,
                                           IWbemClassObject* managementServiceClass,
                                           IWbemClassObject* settingsData);

}  // namespace Velmora
