// Sizing a defined machine's memory and processors: each finds the machine's settings object of its kind,
// writes the new values into it and hands it back to Hyper-V through ModifyResourceSettings.
#pragma once

#include <cstdint>

#include "Velmora.h"
#include "platform.h"

namespace Velmora {

// Memory, rounded up to whole MiB, as reservation, limit, startup quantity and NUMA block size. A size of
// 2^31 MiB or more is refused before anything is written.
bool setVmRam(IWbemServices* services, IWbemClassObject* managementService,
              IWbemClassObject* managementServiceClass, const wchar_t* vmPath, std::uint64_t ramSizeBytes);

// Processor count, reservation and limit (percent, sent in thousandths) and weight. A reservation or limit
// whose thousandths do not fit a signed 32-bit integer is refused before anything is written.
bool setCpuCores(IWbemServices* services, IWbemClassObject* managementService,
                 IWbemClassObject* managementServiceClass, const wchar_t* vmPath, const CPUSettings& cpu);

// Whole MiB in `bytes`, any part of one counted as a whole; exact for every 64-bit size.
std::uint64_t wholeMebibytes(std::uint64_t bytes);

}  // namespace Velmora
