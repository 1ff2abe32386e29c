#include "SystemMessages.h"

#include <windows.h>

#include "Text.h"

namespace VelmoraCommand {

std::string systemMessage(unsigned long error) {
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

}  // namespace VelmoraCommand
