#include "ConsoleText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>

#include <string>

#include "Text.h"
#endif

namespace VelmoraCommand {
namespace {

#if defined(_WIN32)
HANDLE handleOf(Stream stream) {
    return GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool writeToConsole(Stream stream, std::string_view utf8) {
    if (!isTerminal(stream)) return false;
    const HANDLE console = handleOf(stream);
    const std::wstring wide = widen(utf8);
    // WriteConsoleW may take less than it was given; the rest follows.
    for (std::size_t done = 0; done < wide.size();) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 16384));
        if (!WriteConsoleW(console, wide.data() + done, chunk, &written, nullptr) || written == 0) break;
        done += written;
    }
    return true;
}
#endif

bool colourWanted() {
    const char* noColour = std::getenv("NO_COLOR");
    return isTerminal(Stream::Error) && (noColour == nullptr || *noColour == '\0');
}

}  // namespace

void writeText(Stream stream, std::string_view utf8) {
    std::FILE* file = stream == Stream::Output ? stdout : stderr;
    if (stream != Stream::Output) std::fflush(stdout);
#if defined(_WIN32)
    if (writeToConsole(stream, utf8)) return;
#endif
    std::fwrite(utf8.data(), 1, utf8.size(), file);
    std::fflush(file);
}

ConsoleColour::ConsoleColour() {
    if (!colourWanted()) return;
#if defined(_WIN32)
    const HANDLE console = handleOf(Stream::Error);
    DWORD mode = 0;
    if (!GetConsoleMode(console, &mode)) return;
    previousMode_ = mode;
    if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0) {
        // Consoles before Windows 10 know no escape sequences and refuse the mode: no colour there.
        if (!SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return;
        modeChanged_ = true;
    }
#endif
    on_ = true;
}

ConsoleColour::~ConsoleColour() {
#if defined(_WIN32)
    if (modeChanged_) SetConsoleMode(handleOf(Stream::Error), previousMode_);
#endif
}

}  // namespace VelmoraCommand
