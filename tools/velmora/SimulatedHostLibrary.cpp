#include "SimulatedHostLibrary.h"

#include <HyperVSim/Registration.h>

#include <cstdint>
#include <string>

#include "ErrorCodes.h"
#include "Failure.h"
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

std::string systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return "error " + std::to_string(error) + (message.empty() ? "" : " (" + narrow(message) + ")");
}

template <class Function>
Function entryPoint(HMODULE module, const char* name) {
    // GetProcAddress hands out every function as FARPROC; the header gives the real type.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

SimulatedHostLibrary::SimulatedHostLibrary() {
    const std::wstring path = besideThisProgram(libraryName);
    // A full path: the DLL is taken from beside the program, never from wherever the search order finds one.
    module_ = LoadLibraryW(path.c_str());
    if (module_ == nullptr) throw Failure("cannot load " + narrow(path) + ": " + systemMessage(GetLastError()));
    const auto registerHost = entryPoint<HyperVSimRegisterFunction>(module_, HYPERVSIM_REGISTER_NAME);
    const long result = registerHost != nullptr ? registerHost() : 0;
    if (registerHost != nullptr && result >= 0) return;
    FreeLibrary(module_);
    if (registerHost == nullptr) throw Failure(narrow(path) + " has no entry point " HYPERVSIM_REGISTER_NAME);
    const auto meaning = hresultMeaning(static_cast<std::uint32_t>(result));
    throw Failure(narrow(path) + " could not register its host: err=" + std::to_string(result) +
                  (meaning ? " (" + *meaning + ")" : std::string()));
}

SimulatedHostLibrary::~SimulatedHostLibrary() {
    if (const auto revokeHost = entryPoint<HyperVSimRevokeFunction>(module_, HYPERVSIM_REVOKE_NAME)) revokeHost();
    // The DLL says when none of its objects is alive any more; one still held somewhere keeps it loaded until
    // the process ends.
    using CanUnloadFunction = HRESULT(__stdcall*)();
    const auto canUnload = entryPoint<CanUnloadFunction>(module_, "DllCanUnloadNow");
    if (canUnload != nullptr && canUnload() == S_OK) FreeLibrary(module_);
}

}  // namespace VelmoraCommand
