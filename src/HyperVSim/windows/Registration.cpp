// The C entry points of <HyperVSim/Registration.h>: one registration per process at a time.
#include "HyperVSim/Registration.h"

#include <cstdio>
#include <cwchar>
#include <memory>
#include <mutex>

#include "HyperVSim/Trace.h"
#include "cimxml/Text.h"
#include "trace/ReplaySession.h"
#include "windows/ClassRegistration.h"
#include "windows/ProcessRecording.h"

namespace HyperVSim {
namespace {

constexpr HRESULT traceUnreadable = static_cast<HRESULT>(0x8007000D);  // HRESULT of ERROR_INVALID_DATA

std::mutex registrationMutex;

// The holder is never destroyed: a registration still active when the process ends belongs to a thread that
// the end of the process has already stopped, and must not be waited for.
std::unique_ptr<ClassRegistration>& activeRegistration() {
    static auto* const holder = new std::unique_ptr<ClassRegistration>();
    return *holder;
}

long registerClassObjects() {
    std::lock_guard lock(registrationMutex);
    if (activeRegistration()) return S_FALSE;
    auto registration = std::make_unique<ClassRegistration>();
    const HRESULT result = registration->result();
    if (SUCCEEDED(result)) activeRegistration() = std::move(registration);
    return result;
}

}  // namespace

RecorderResult startProcessRecording(const std::filesystem::path& path) {
    std::lock_guard lock(registrationMutex);
    ClassRegistration* own = activeRegistration().get();
    LocatorHandover handover;
    if (own) handover = {[own] { return own->withdrawLocator(); }, [own] { return own->restoreLocator(); }};
    return startRecording(path, std::move(handover));
}

RecorderResult stopProcessRecording() {
    std::lock_guard lock(registrationMutex);
    return stopRecording();
}

}  // namespace HyperVSim

extern "C" long __stdcall HyperVSimRegisterClassObjects(void) {
    return HyperVSim::registerClassObjects();
}

extern "C" long __stdcall HyperVSimRegisterClassObjectsReplaying(const wchar_t* tracePath) {
    using namespace HyperVSim;
    if (!tracePath) return E_INVALIDARG;
    try {
        setCurrentReplay(std::make_shared<ReplaySession>(std::filesystem::path(tracePath)));
    } catch (const TraceError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return traceUnreadable;
    }
    const long result = registerClassObjects();
    if (FAILED(result)) setCurrentReplay(nullptr);
    return result;
}

extern "C" long __stdcall HyperVSimRevokeClassObjects(void) {
    using namespace HyperVSim;
    std::lock_guard lock(registrationMutex);
    setCurrentReplay(nullptr);
    // A recording holds on to the registration's locator: it ends first.
    const auto stopped = stopRecording();
    if (FAILED(stopped.result)) std::fprintf(stderr, "HyperVSim recording: %s\n", stopped.message.c_str());
    if (!activeRegistration()) return S_FALSE;
    activeRegistration().reset();
    return S_OK;
}

extern "C" unsigned long __stdcall HyperVSimReplayDiagnostic(wchar_t* buffer, unsigned long capacity) {
    const std::wstring diagnostic = HyperVSim::lastReplayDiagnostic();
    if (buffer && capacity > 0) {
        const std::size_t copied = diagnostic.size() < capacity ? diagnostic.size() : capacity - 1;
        std::wmemcpy(buffer, diagnostic.c_str(), copied);
        buffer[copied] = L'\0';
    }
    return static_cast<unsigned long>(diagnostic.size());
}

extern "C" long __stdcall HyperVSimStartRecording(const wchar_t* tracePath) {
    if (!tracePath) return E_INVALIDARG;
    const auto started = HyperVSim::startProcessRecording(std::filesystem::path(tracePath));
    if (FAILED(started.result)) std::fprintf(stderr, "HyperVSim recording: %s\n", started.message.c_str());
    return started.result;
}

extern "C" long __stdcall HyperVSimStopRecording(void) {
    const auto stopped = HyperVSim::stopProcessRecording();
    if (FAILED(stopped.result)) std::fprintf(stderr, "HyperVSim recording: %s\n", stopped.message.c_str());
    return stopped.result;
}
