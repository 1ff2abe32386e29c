// Conversion between the command's UTF-8 text and the library's wide strings.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace VelmoraCommand {

// Ill-formed UTF-8 sequences become U+FFFD: for text the command made itself.
std::wstring widen(std::string_view utf8);
// Nothing when the text is not well-formed UTF-8.
std::optional<std::wstring> widenExactly(std::string_view utf8);
// An argument for the library: its text as given, or BadInput naming `what` (e.g. "--name") when it is not
// UTF-8, rather than a name or path that differs from what the operator typed.
std::wstring widenArgument(std::string_view utf8, std::string_view what);
// Lone surrogates and values beyond U+10FFFF become U+FFFD, so that the output is always valid UTF-8.
std::string narrow(std::wstring_view wide);

// A line of the library's log as UTF-8. The library writes its lines in the ANSI code page on Windows (a
// character the code page lacks has become '?' there already) and in UTF-8 elsewhere.
std::string fromLibraryText(const char* line);

// Folds the letters of ASCII and Latin-1 to lower case, for names that compare without regard to case.
std::wstring foldCase(std::wstring_view text);

// Number of characters (code points) in UTF-8 text: the width used to line up columns.
std::size_t displayWidth(std::string_view utf8);

// Text as one line on a terminal: tabs, line ends and other control characters are written as escapes
// (\t, \n, \r, \x1B), and so are bytes that are not UTF-8. For names from the host or the operator, which
// may hold anything.
std::string oneLine(std::string_view utf8);

// Why `name` cannot name a machine (empty, too long for Hyper-V, control characters, not UTF-8); nothing
// when it can.
std::optional<std::string> machineNameProblem(std::string_view name);

}  // namespace VelmoraCommand
