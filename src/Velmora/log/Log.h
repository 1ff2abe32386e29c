// The log channel: every line of the library goes through logMessage, to the calling thread's callback or,
// when there is none, to standard output (standard error for Error lines).
#pragma once

#include <sstream>
#include <string>
#include <type_traits>

#include "Velmora.h"
#include "platform.h"

namespace Velmora {

// Makes `callback` the calling thread's log sink for the lifetime of the scope; restores the previous one
// on every way out, including an exception passing through.
class LogScope {
public:
    explicit LogScope(LogCallback callback);
    LogScope(const LogScope&) = delete;
    LogScope& operator=(const LogScope&) = delete;
    ~LogScope();

private:
    LogCallback previous_;
};

void logMessage(LoggingLevel level, const char* text);

// Narrow text of a wide string in the ANSI code page (UTF-8 off Windows). A null string gives an empty
// text. Raises HResultError when the conversion fails.
std::string narrowText(const wchar_t* text);

namespace detail {
inline void appendPart(std::ostringstream& out, const char* text) {
    out << text;
}
inline void appendPart(std::ostringstream& out, const wchar_t* text) {
    out << narrowText(text);
}
// Result codes and status values (signed), counts and type codes (unsigned): decimal, never hexadecimal.
template <class Number>
requires std::is_integral_v<Number> &&
    (!std::is_same_v<Number, bool>)&&(!std::is_same_v<Number, char>)inline void appendPart(std::ostringstream& out,
                                                                                           Number number) {
    out << +number;
}
}  // namespace detail

// One line from a leading text followed directly by each part: narrow texts unchanged, wide strings as
// narrow text, signed and unsigned numbers in decimal.
template <class... Parts>
void logValues(LoggingLevel level, const char* text, const Parts&... parts) {
    std::ostringstream out;
    out << text;
    (detail::appendPart(out, parts), ...);
    const std::string line = out.str();
    logMessage(level, line.c_str());
}

}  // namespace Velmora
