// Control on Windows: the host lives in its process only; a state file is not supported there.
#include "HyperVSim/Control.h"
#include "model/Host.h"

namespace HyperVSim {

void Control::openStateFile(const std::string& path, StateFileAccess) {
    throw StateFileError(path + ": a state file is not supported on this platform");
}

void Control::closeStateFile() {
    Host::instance().setStore(nullptr);
}

}  // namespace HyperVSim
