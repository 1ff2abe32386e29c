#include "HyperVSimLibrary.h"

#include <HyperVSim/Registration.h>

#include <cstdint>
#include <string>

#include "BadInput.h"
#include "ErrorCodes.h"
#include "Failure.h"
#include "SystemMessages.h"
#include "Text.h"

namespace VelmoraCommand {
namespace {

constexpr const wchar_t* libraryName = L"HyperVSim.dll";

std::wstring besideThisProgram(const wchar_t* file) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return file;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1) + file;
}

std::string resultText(long result) {
    const auto meaning = hresultMeaning(static_cast<std::uint32_t>(result));
    return "err=" + std::to_string(result) + (meaning ? " (" + *meaning + ")" : std::string());
}

// What the DLL answers when it cannot read a trace; it says why on standard error.
constexpr long traceUnreadable = static_cast<long>(0x8007000D);

}  // namespace

template <class Function>
Function HyperVSimLibrary::entryPoint(const char* name) const {
    // GetProcAddress hands out every function as FARPROC; the header gives the real type.
    const auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    if (function == nullptr) throw Failure(path_ + " has no entry point " + name);
    return function;
}

HyperVSimLibrary::HyperVSimLibrary(const Use& use) {
    const std::wstring path = besideThisProgram(libraryName);
    path_ = narrow(path);
    // A full path: the DLL is taken from beside the program, never from wherever the search order finds one.
    module_ = LoadLibraryW(path.c_str());
    if (module_ == nullptr) throw Failure("cannot load " + path_ + ": " + systemMessage(GetLastError()));
    try {
        if (!use.replay.empty()) {
            const auto registerReplaying =
                entryPoint<HyperVSimRegisterReplayingFunction>(HYPERVSIM_REGISTER_REPLAYING_NAME);
            const long result = registerReplaying(widen(use.replay).c_str());
            if (result == traceUnreadable)
                throw BadInput("cannot replay " + use.replay + ": it is no trace that " + path_ +
                               " can read (the line above says why)");
            if (result < 0)
                throw Failure(path_ + " could not register its host for the replay: " + resultText(result));
            registered_ = true;
            diagnostic_ = entryPoint<HyperVSimReplayDiagnosticFunction>(HYPERVSIM_REPLAY_DIAGNOSTIC_NAME);
            return;
        }
        if (use.simulatedHost) {
            const long result = entryPoint<HyperVSimRegisterFunction>(HYPERVSIM_REGISTER_NAME)();
            if (result < 0) throw Failure(path_ + " could not register its host: " + resultText(result));
            registered_ = true;
        }
        if (!use.record.empty()) {
            const auto startRecording = entryPoint<HyperVSimStartRecordingFunction>(HYPERVSIM_START_RECORDING_NAME);
            const long result = startRecording(widen(use.record).c_str());
            if (result < 0)
                throw Failure("cannot record into " + use.record + ": " + resultText(result) +
                              " (the line above says why)");
            recording_ = use.record;
        }
    } catch (...) {
        release();
        throw;
    }
}

std::optional<std::string> HyperVSimLibrary::fault() const {
    if (diagnostic_ == nullptr) return std::nullopt;
    std::wstring text(diagnostic_(nullptr, 0), L'\0');
    if (text.empty()) return std::nullopt;
    text.resize(diagnostic_(text.data(), static_cast<unsigned long>(text.size() + 1)));
    return narrow(text);
}

void HyperVSimLibrary::finish() {
    if (recording_.empty()) return;
    const std::string trace = recording_;
    recording_.clear();
    const long result = entryPoint<HyperVSimStopRecordingFunction>(HYPERVSIM_STOP_RECORDING_NAME)();
    if (result < 0) throw Failure("the trace " + trace + " is incomplete: a call could not be written to it");
}

void HyperVSimLibrary::release() {
    // Nothing here may throw: it runs on the way out of a failure too.
    const auto call = [this](const char* name) {
        using Function = long(__stdcall*)();
        if (const auto function =
                reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name))))
            function();
    };
    if (!recording_.empty()) call(HYPERVSIM_STOP_RECORDING_NAME);
    recording_.clear();
    if (registered_) call(HYPERVSIM_REVOKE_NAME);
    registered_ = false;
    diagnostic_ = nullptr;
    // The DLL says when none of its objects is alive any more; one still held somewhere keeps it loaded until
    // the process ends.
    using CanUnloadFunction = HRESULT(__stdcall*)();
    const auto canUnload =
        reinterpret_cast<CanUnloadFunction>(reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
    if (canUnload != nullptr && canUnload() == S_OK) FreeLibrary(module_);
    module_ = nullptr;
}

HyperVSimLibrary::~HyperVSimLibrary() {
    if (module_ != nullptr) release();
}

}  // namespace VelmoraCommand
