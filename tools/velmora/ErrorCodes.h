// What the numbers in the library's error lines mean: HRESULTs of COM and WMI, and the ReturnValue and job
// ErrorCode numbers of Hyper-V's methods.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace VelmoraCommand {

inline constexpr std::int32_t wbemNotFound = static_cast<std::int32_t>(0x80041002);  // WBEM_E_NOT_FOUND

// "0x80041002 WBEM_E_NOT_FOUND: not found"; nothing for a code outside the table.
std::optional<std::string> hresultMeaning(std::uint32_t hresult);
// "32775: invalid state for this operation"; nothing for a number outside the table.
std::optional<std::string> returnValueMeaning(std::uint32_t value);

// The meaning of the code a log line carries: an HRESULT after "err=" or "Error: " (the library writes them
// in signed decimal), a ReturnValue after "returned " or "ReturnValue". Nothing when the line carries no code
// the tables know.
std::optional<std::string> meaningOfLine(std::string_view line);

}  // namespace VelmoraCommand
