#include "Velmora.h"
#include "log/Log.h"
#include "vm/StateChange.h"

namespace Velmora {

bool stopVM(LogCallback log, const wchar_t* vmPath) {
    const LogScope scope(log);
    logMessage(Info, "Stopping VM");
    return requestStateChange(vmPath, requestedStateDisabled);
}

}  // namespace Velmora
