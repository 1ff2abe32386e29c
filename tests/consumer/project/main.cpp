// Calls both host queries of the installed library against the default simulated host and checks what
// comes back: its two switches, and no used memory (the host's own Msvm_Memory instances are not counted).
#include <Velmora/Velmora.h>

#include <cstdint>
#include <cwchar>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> lines;

void collect(Velmora::LoggingLevel level, const char* line) {
    lines.push_back(std::to_string(static_cast<int>(level)) + " " + line);
}

int failures = 0;

void check(bool condition, const std::string& what) {
    if (condition) return;
    std::cerr << "FAILED: " << what << '\n';
    ++failures;
}

std::vector<std::wstring> unpack(const Velmora::NetworksList& list) {
    std::vector<std::wstring> values;
    for (const wchar_t* entry = list.entries; *entry; entry += std::wcslen(entry) + 1) values.emplace_back(entry);
    return values;
}

}  // namespace

int main() {
    auto list = std::make_unique<Velmora::NetworksList>();
    check(Velmora::retrieveAvailableNetworkAdapters(collect, *list), "retrieveAvailableNetworkAdapters");
    const std::vector<std::wstring> values = unpack(*list);
    check(values.size() == 4, "two switches, each a path and a name");
    if (values.size() == 4) {
        check(values[1] == L"Default Switch" || values[3] == L"Default Switch", "the Default Switch is listed");
        check(values[1] == L"External Switch" || values[3] == L"External Switch", "the External Switch is listed");
        check(values[0].find(L"Msvm_VirtualEthernetSwitch") != std::wstring::npos, "a switch path");
    }

    std::uint64_t used = 12345;
    check(Velmora::retrieveUsedMemory(collect, used), "retrieveUsedMemory");
    check(used == 0, "no used memory on the default host, got " + std::to_string(used));
    check(!lines.empty() && lines.back() == "2 Get used memory - OK", "the closing line reached the callback");

    for (const std::string& line : lines) std::cout << line << '\n';
    return failures == 0 ? 0 : 1;
}
