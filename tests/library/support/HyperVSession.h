// For tests of the library's internal operations (link velmora_internal): the calling thread's log goes
// to captureLog, COM is started and the Hyper-V namespace opened exactly as an export does, and everything
// is released again in reverse order when the session ends. The captured lines of the start-up are cleared.
#pragma once

#include "LibraryTest.h"
#include "log/Log.h"
#include "wmi/Bstr.h"
#include "wmi/ComPtr.h"
#include "wmi/Connection.h"

namespace VelmoraTest {

class HyperVSession {
public:
    HyperVSession()
        : root_(Velmora::connectToServer()),
          hyperV_(root_ ? Velmora::openNamespace(root_.get(), Velmora::Bstr(L"virtualization\\v2")) : nullptr) {
        clearCapturedLines();
    }
    HyperVSession(const HyperVSession&) = delete;
    HyperVSession& operator=(const HyperVSession&) = delete;

    IWbemServices* services() const { return hyperV_.get(); }

private:
    Velmora::LogScope scope_{captureLog};
    Velmora::ComInitializer com_;
    Velmora::ComPtr<IWbemServices> root_;
    Velmora::ComPtr<IWbemServices> hyperV_;
};

}  // namespace VelmoraTest
