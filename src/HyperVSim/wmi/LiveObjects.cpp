#include "wmi/ComObject.h"

namespace HyperVSim {

StripedCount& liveObjectCount() {
    static StripedCount count;
    return count;
}

}  // namespace HyperVSim
