// A machine's own settings (its Msvm_VirtualSystemSettingData), the object its resources hang from.
#pragma once

#include "platform.h"
#include "wmi/ComPtr.h"

namespace Velmora {

// Among the settings that the association query of the machine yields, which include the settings of each
// of its checkpoints, the one whose VirtualSystemType is "Microsoft:Hyper-V:System:Realized". Null after
// the query's lines when there is none.
ComPtr<IWbemClassObject> getMachineSettings(IWbemServices* services, IWbemClassObject* machine);

}  // namespace Velmora
