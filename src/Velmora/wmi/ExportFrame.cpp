#include "wmi/ExportFrame.h"

#include "log/Log.h"
#include "wmi/Connection.h"

namespace Velmora {

bool withHyperVServices(const HyperVWork& work) {
    // Declaration order is acquisition order, so the owners release in reverse: the Hyper-V namespace,
    // then root, then COM, on every way out including an exception.
    const ComInitializer com;
    if (!com.succeeded()) return false;
    const ComPtr<IWbemServices> root = connectToServer();
    if (!root) return false;
    const ComPtr<IWbemServices> hyperV = openNamespace(root.get(), Bstr(L"virtualization\\v2"));
    if (!hyperV) return false;
    return work(hyperV.get());
}

bool runExport(LogCallback log, const char* banner, const HyperVWork& work) {
    const LogScope scope(log);
    logMessage(Info, banner);
    return withHyperVServices(work);
}

}  // namespace Velmora
