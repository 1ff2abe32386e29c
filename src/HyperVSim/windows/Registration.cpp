// The C entry points of <HyperVSim/Registration.h>: one registration per process at a time.
#include "HyperVSim/Registration.h"

#include <memory>
#include <mutex>

#include "windows/ClassRegistration.h"

namespace HyperVSim {
namespace {

std::mutex registrationMutex;

// The holder is never destroyed: a registration still active when the process ends belongs to a thread that
// the end of the process has already stopped, and must not be waited for.
std::unique_ptr<ClassRegistration>& activeRegistration() {
    static auto* const holder = new std::unique_ptr<ClassRegistration>();
    return *holder;
}

}  // namespace
}  // namespace HyperVSim

extern "C" long __stdcall HyperVSimRegisterClassObjects(void) {
    using namespace HyperVSim;
    std::lock_guard lock(registrationMutex);
    if (activeRegistration()) return S_FALSE;
    auto registration = std::make_unique<ClassRegistration>();
    const HRESULT result = registration->result();
    if (SUCCEEDED(result)) activeRegistration() = std::move(registration);
    return result;
}

extern "C" long __stdcall HyperVSimRevokeClassObjects(void) {
    using namespace HyperVSim;
    std::lock_guard lock(registrationMutex);
    if (!activeRegistration()) return S_FALSE;
    activeRegistration().reset();
    return S_OK;
}
