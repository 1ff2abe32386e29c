// WMI status codes as HRESULTs. The SDK declares them in an enum whose values do not fit into HRESULT, so
// every use goes through this conversion.
#pragma once

#include "platform.h"

namespace HyperVSim {

constexpr HRESULT wbem(WBEMSTATUS code) {
    return static_cast<HRESULT>(static_cast<unsigned long>(code));
}

}  // namespace HyperVSim
