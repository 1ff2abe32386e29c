// Asks the Hyper-V host for its virtual switches and its used memory, as a host application would.
// The library's log lines go to standard error; the answers go to standard output.
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <iostream>
#include <memory>
#include <string>

#include "Velmora/HResultError.h"
#include "Velmora/Velmora.h"

namespace {

const char* levelName(Velmora::LoggingLevel level) {
    switch (level) {
        case Velmora::Info:
            return "INFO";
        case Velmora::Warning:
            return "WARNING";
        case Velmora::Error:
            return "ERROR";
    }
    return "?";
}

void printLogLine(Velmora::LoggingLevel level, const char* line) {
    std::cerr << '[' << levelName(level) << "] " << line << '\n';
}

// Wide text for a narrow stream: the switch names and paths of a host are plain ASCII in practice; anything
// else is shown as its code point.
std::string printable(const wchar_t* text) {
    std::string result;
    for (; *text; ++text) {
        const auto c = static_cast<std::uint32_t>(*text);
        if (c >= 0x20 && c < 0x7F) {
            result += static_cast<char>(c);
        } else {
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, "\\u{%X}", static_cast<unsigned>(c));
            result += escaped;
        }
    }
    return result;
}

bool listSwitches() {
    auto list = std::make_unique<Velmora::NetworksList>();
    if (!Velmora::retrieveAvailableNetworkAdapters(printLogLine, *list)) return false;
    std::cout << "Virtual switches:\n";
    const wchar_t* entry = list->entries;
    int count = 0;
    while (*entry) {
        const wchar_t* path = entry;
        const wchar_t* name = path + std::wcslen(path) + 1;
        std::cout << "  " << printable(name) << "\n    " << printable(path) << '\n';
        entry = name + std::wcslen(name) + 1;
        ++count;
    }
    if (count == 0) std::cout << "  (none)\n";
    return true;
}

bool showUsedMemory() {
    std::uint64_t bytes = 0;
    if (!Velmora::retrieveUsedMemory(printLogLine, bytes)) return false;
    const double gibibytes = static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0);
    char figure[64];
    std::snprintf(figure, sizeof figure, "%.2f", gibibytes);
    std::cout << "Used memory: " << figure << " GiB (" << bytes << " bytes)\n";
    return true;
}

}  // namespace

int main() {
    try {
        const bool switchesListed = listSwitches();
        const bool memoryShown = showUsedMemory();
        return switchesListed && memoryShown ? 0 : 1;
    } catch (const Velmora::HResultError& failure) {
        std::cerr << "Velmora failed with HRESULT " << failure.hresult() << '\n';
        return 2;
    }
}
