// COM start-up and the connection to the Hyper-V namespace.
#pragma once

#include "wmi/Bstr.h"
#include "wmi/ComPtr.h"

namespace Velmora {

// Joins the multithreaded apartment and sets process security for the length of one call.
class ComInitializer {
public:
    ComInitializer();
    ComInitializer(const ComInitializer&) = delete;
    ComInitializer& operator=(const ComInitializer&) = delete;
    ~ComInitializer();

    bool succeeded() const { return usable_; }

private:
    bool usable_ = false;        // COM may be used on this thread for the call
    bool uninitialize_ = false;  // this call's own CoInitializeEx must be balanced at the end
};

// A services object for the local "root" namespace, or null.
ComPtr<IWbemServices> connectToServer();

// A services object for a namespace below `parent`, or null.
ComPtr<IWbemServices> openNamespace(IWbemServices* parent, const Bstr& name);

}  // namespace Velmora
