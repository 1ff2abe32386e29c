// Control: backing the process's host by a state file.
#include <memory>

#include "HyperVSim/Control.h"
#include "model/Host.h"
#include "state/StateFile.h"

namespace HyperVSim {

void Control::openStateFile(const std::string& path, StateFileAccess access) {
    Host::instance().setStore(std::make_unique<StateFile>(path, access));
}

void Control::closeStateFile() {
    Host::instance().setStore(nullptr);
}

}  // namespace HyperVSim
