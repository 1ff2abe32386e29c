#include "Velmora.h"
#include "log/Log.h"
#include "vm/StateChange.h"

namespace Velmora {

bool startVM(LogCallback log, const wchar_t* vmPath) {
    const LogScope scope(log);
    logMessage(Info, "Starting VM");
    return requestStateChange(vmPath, requestedStateEnabled);
}

}  // namespace Velmora
