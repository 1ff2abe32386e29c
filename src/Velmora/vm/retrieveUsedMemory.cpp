#include <cstdint>
#include <cwchar>
#include <optional>

#include "Velmora.h"
#include "log/Log.h"
#include "wmi/ExportFrame.h"
#include "wmi/Query.h"

namespace Velmora {
namespace {

// WMI delivers uint64 properties as decimal text. The C library's rules apply (leading blanks, a sign, a
// too large value clamped); the text counts only when it is a number from its first to its last character.
std::optional<std::uint64_t> parseUnsigned(const Bstr& text) {
    if (!text.get()) return std::nullopt;
    wchar_t* end = nullptr;
    const std::uint64_t number = std::wcstoull(text.get(), &end, 10);
    if (end == text.get() || *end != L'\0') return std::nullopt;
    return number;
}

bool mentionsMicrosoft(const Bstr& name) {
    return name.get() && std::wcsstr(name.get(), L"Microsoft") != nullptr;
}

void addMemory(IWbemClassObject* memory, std::uint64_t& usedMemory) {
    logMessage(Info, "Get 'Name'");
    if (mentionsMicrosoft(getStringField(memory, Bstr(L"Name")))) {
        logMessage(Info, "Skipped. Name != 'Microsoft'");
        return;
    }
    logMessage(Info, "Get 'BlockSize'");
    const std::optional<std::uint64_t> blockSize = parseUnsigned(getStringField(memory, Bstr(L"BlockSize")));
    if (!blockSize) {
        logMessage(Warning, "Failed to convert block size to integer value.");
        return;
    }
    logMessage(Info, "Get 'NumberOfBlocks'");
    const std::optional<std::uint64_t> blocks = parseUnsigned(getStringField(memory, Bstr(L"NumberOfBlocks")));
    if (!blocks) {
        logMessage(Warning, "Failed to convert blocks number to integer value.");
        return;
    }
    // No overflow check: a product or sum beyond 64 bits wraps around.
    usedMemory += *blocks * *blockSize;
}

bool sumMemory(IWbemServices* hyperV, std::uint64_t& usedMemory) {
    const ComPtr<IEnumWbemClassObject> memories = startWalk(hyperV, Bstr(L"select * from Msvm_Memory"));
    if (!memories) return false;
    usedMemory = 0;
    for (;;) {
        ComPtr<IWbemClassObject> memory;
        ULONG returned = 0;
        const HRESULT result = memories->Next(static_cast<LONG>(WBEM_INFINITE), 1, memory.put(), &returned);
        if (FAILED(result)) {
            logValues(Error, "Query::Next failed, err=", result);
            return false;
        }
        if (returned == 0) break;
        if (!memory) {
            logMessage(Error, "Query returned null object!");
            return false;
        }
        addMemory(memory.get(), usedMemory);
    }
    logMessage(Info, "Get used memory - OK");
    return true;
}

}  // namespace

bool retrieveUsedMemory(LogCallback log, std::uint64_t& usedMemory) {
    return runExport(log, "Get used memory",
                     [&usedMemory](IWbemServices* hyperV) { return sumMemory(hyperV, usedMemory); });
}

}  // namespace Velmora
