#include "log/Log.h"

#include <iostream>
#include <new>
#include <type_traits>

#include "HResultError.h"

namespace Velmora {
namespace {

// The only state that outlives a call: each thread's current sink, null outside export calls.
thread_local LogCallback currentCallback = nullptr;
// A thread-local with a destructor would have to be destroyed at the exit of every thread of the host process
// that ever called the library; MinGW's emulated TLS frees the storage first, and the destructor crashes.
static_assert(std::is_trivially_destructible_v<decltype(currentCallback)>);

[[noreturn]] void throwConversionFailure() {
    const DWORD error = GetLastError();
    // A failed conversion always sets a last error on Windows; E_FAIL only guards against a platform that
    // reports none, so that the exception never carries a success code.
    throw HResultError(error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error));
}

}  // namespace

LogScope::LogScope(LogCallback callback) : previous_(currentCallback) {
    currentCallback = callback;
}

LogScope::~LogScope() {
    currentCallback = previous_;
}

void logMessage(LoggingLevel level, const char* text) {
    if (const LogCallback callback = currentCallback) {
        callback(level, text);
        return;
    }
    std::ostream& stream = level == Error ? std::cerr : std::cout;
    stream << text << '\n';
    stream.flush();
}

std::string narrowText(const wchar_t* text) {
    if (!text) return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) throwConversionFailure();
    std::string narrow;
    try {
        narrow.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        throw HResultError(E_OUTOFMEMORY);
    }
    const int written = WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    if (written <= 0) throwConversionFailure();
    // The converted length includes the terminator, which std::string keeps on its own.
    narrow.resize(static_cast<std::size_t>(written - 1));
    return narrow;
}

}  // namespace Velmora
