// The Hyper-V method handlers register here. Methods without a handler make ExecMethod answer
// WBEM_E_NOT_SUPPORTED.
#include "model/Host.h"

namespace HyperVSim {

void registerMethodHandlers(Host&) {}

}  // namespace HyperVSim
