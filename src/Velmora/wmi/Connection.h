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
    ~ComInitializer() = default;

    bool succeeded() const { return usable_; }

private:
    // Balances this call's own CoInitializeEx: at the end of the call, or at once when the start-up is
    // left by an exception (a member's destructor runs even when the constructor body does not finish).
    class Balance {
    public:
        Balance() = default;
        Balance(const Balance&) = delete;
        Balance& operator=(const Balance&) = delete;
        ~Balance() {
            if (armed) CoUninitialize();
        }
        bool armed = false;
    };

    Balance balance_;
    bool usable_ = false;  // COM may be used on this thread for the call
};

// A services object for the local "root" namespace, or null.
ComPtr<IWbemServices> connectToServer();

// A services object for a namespace below `parent`, or null.
ComPtr<IWbemServices> openNamespace(IWbemServices* parent, const Bstr& name);

}  // namespace Velmora
