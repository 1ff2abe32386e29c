#include "ErrorCodes.h"

#include <array>
#include <cctype>
#include <cstdio>

namespace VelmoraCommand {
namespace {

struct Code {
    std::uint32_t value;
    const char* name;
    const char* meaning;
};

// The codes the library can meet: COM start-up and activation, the WMI client calls, the RPC transport
// between the client and the WMI service, and out of memory.
constexpr std::array<Code, 44> hresults{{
    {0x80004001, "E_NOTIMPL", "not implemented"},
    {0x80004002, "E_NOINTERFACE", "no such interface"},
    {0x80004003, "E_POINTER", "invalid pointer"},
    {0x80004005, "E_FAIL", "unspecified failure"},
    {0x8000FFFF, "E_UNEXPECTED", "unexpected failure"},
    {0x80070005, "E_ACCESSDENIED", "access denied (run as a member of Administrators or Hyper-V Administrators)"},
    {0x8007000E, "E_OUTOFMEMORY", "out of memory"},
    {0x80070057, "E_INVALIDARG", "invalid argument"},
    {0x800401F0, "CO_E_NOTINITIALIZED", "COM is not initialised on this thread"},
    {0x80040154, "REGDB_E_CLASSNOTREG", "class not registered (is WMI installed?)"},
    {0x80010106, "RPC_E_CHANGED_MODE", "the thread's COM apartment was set up differently"},
    {0x80010119, "RPC_E_TOO_LATE", "COM security was set already"},
    {0x800706BA, "RPC_S_SERVER_UNAVAILABLE", "the RPC server is unavailable (is the WMI service running?)"},
    {0x800706F7, "RPC_X_BAD_STUB_DATA", "the RPC stub received bad data"},
    {0x8002000B, "DISP_E_BADINDEX", "array index out of bounds"},
    {0x8002000D, "DISP_E_ARRAYISLOCKED", "the array is locked"},
    {0x80041001, "WBEM_E_FAILED", "failed"},
    {0x80041002, "WBEM_E_NOT_FOUND", "not found"},
    {0x80041003, "WBEM_E_ACCESS_DENIED",
     "access denied (run as a member of Administrators or Hyper-V Administrators)"},
    {0x80041004, "WBEM_E_PROVIDER_FAILURE", "the WMI provider failed"},
    {0x80041005, "WBEM_E_TYPE_MISMATCH", "type mismatch"},
    {0x80041006, "WBEM_E_OUT_OF_MEMORY", "out of memory"},
    {0x80041008, "WBEM_E_INVALID_PARAMETER", "invalid parameter"},
    {0x8004100C, "WBEM_E_NOT_SUPPORTED", "not supported"},
    {0x8004100E, "WBEM_E_INVALID_NAMESPACE", "invalid namespace (is Hyper-V installed on this host?)"},
    {0x8004100F, "WBEM_E_INVALID_OBJECT", "invalid object"},
    {0x80041010, "WBEM_E_INVALID_CLASS", "invalid class"},
    {0x80041013, "WBEM_E_PROVIDER_NOT_FOUND", "the WMI provider was not found"},
    {0x80041016, "WBEM_E_INVALID_OPERATION", "invalid operation"},
    {0x80041017, "WBEM_E_INVALID_QUERY", "invalid query"},
    {0x80041018, "WBEM_E_INVALID_QUERY_TYPE", "invalid query language"},
    {0x80041019, "WBEM_E_ALREADY_EXISTS", "already exists"},
    {0x8004101D, "WBEM_E_UNEXPECTED", "unexpected failure"},
    {0x8004101E, "WBEM_E_ILLEGAL_OPERATION", "illegal operation"},
    {0x80041021, "WBEM_E_INVALID_SYNTAX", "invalid syntax"},
    {0x80041023, "WBEM_E_READ_ONLY", "read-only property"},
    {0x8004102B, "WBEM_E_VALUE_OUT_OF_RANGE", "value out of range"},
    {0x8004102E, "WBEM_E_INVALID_METHOD", "invalid method"},
    {0x8004102F, "WBEM_E_INVALID_METHOD_PARAMETERS", "invalid method parameters"},
    {0x80041030, "WBEM_E_SYSTEM_PROPERTY", "system property"},
    {0x80041031, "WBEM_E_INVALID_PROPERTY", "invalid property"},
    {0x8004103A, "WBEM_E_INVALID_OBJECT_PATH", "invalid object path"},
    {0x80041069, "WBEM_E_TIMED_OUT", "timed out"},
    {0x80041089, "WBEM_E_NO_KEY", "a key is missing"},
}};

// The ReturnValue of Hyper-V's methods and the ErrorCode of their jobs.
constexpr std::array<Code, 23> returnValues{{
    {0, nullptr, "completed"},
    {1, nullptr, "not supported"},
    {2, nullptr, "unknown or unspecified error"},
    {3, nullptr, "timeout"},
    {4, nullptr, "failed"},
    {5, nullptr, "invalid parameter or invalid state"},
    {6, nullptr, "in use or incompatible parameters"},
    {4096, nullptr, "job started"},
    {4097, nullptr, "invalid state transition"},
    {4098, nullptr, "use of timeout parameter not supported"},
    {4099, nullptr, "busy"},
    {32768, nullptr, "failed"},
    {32769, nullptr, "access denied"},
    {32770, nullptr, "not supported"},
    {32771, nullptr, "status is unknown"},
    {32772, nullptr, "timeout"},
    {32773, nullptr, "invalid parameter"},
    {32774, nullptr, "system is in use"},
    {32775, nullptr, "invalid state for this operation"},
    {32776, nullptr, "incorrect data type"},
    {32777, nullptr, "system is not available"},
    {32778, nullptr, "out of memory"},
    {32779, nullptr, "not found"},
}};

template <std::size_t N>
const Code* find(const std::array<Code, N>& table, std::uint32_t value) {
    for (const auto& code : table)
        if (code.value == value) return &code;
    return nullptr;
}

// The signed decimal number right after `marker` in `line` (the last such marker), if any.
std::optional<long long> numberAfter(std::string_view line, std::string_view marker) {
    const auto at = line.rfind(marker);
    if (at == std::string_view::npos) return std::nullopt;
    std::size_t pos = at + marker.size();
    while (pos < line.size() && (line[pos] == '=' || line[pos] == ':' || line[pos] == ' ')) ++pos;
    const bool negative = pos < line.size() && line[pos] == '-';
    if (negative) ++pos;
    long long number = 0;
    std::size_t digits = 0;
    for (; pos < line.size() && std::isdigit(static_cast<unsigned char>(line[pos])) && digits < 12; ++pos, ++digits)
        number = number * 10 + (line[pos] - '0');
    if (digits == 0) return std::nullopt;
    return negative ? -number : number;
}

std::optional<std::string> meaningOfCode(long long code) {
    // A negative number, or one with the severity bit set, is an HRESULT; a small positive one a ReturnValue.
    if (code < 0 || code >= 0x80000000LL) return hresultMeaning(static_cast<std::uint32_t>(code));
    return returnValueMeaning(static_cast<std::uint32_t>(code));
}

}  // namespace

std::optional<std::string> hresultMeaning(std::uint32_t hresult) {
    const Code* code = find(hresults, hresult);
    if (code == nullptr) return std::nullopt;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(hresult));
    return std::string(hex) + " " + code->name + ": " + code->meaning;
}

std::optional<std::string> returnValueMeaning(std::uint32_t value) {
    const Code* code = find(returnValues, value);
    if (code == nullptr) return std::nullopt;
    return std::to_string(value) + ": " + code->meaning;
}

std::optional<std::string> meaningOfLine(std::string_view line) {
    for (const std::string_view marker : {"err=", "Error: ", "returned ", "ReturnValue"})
        if (const auto code = numberAfter(line, marker)) return meaningOfCode(*code);
    return std::nullopt;
}

}  // namespace VelmoraCommand
