#include "wmi/ComObject.h"

namespace HyperVSim {

std::atomic<long>& liveObjectCount() {
    static std::atomic<long> count{0};
    return count;
}

}  // namespace HyperVSim
