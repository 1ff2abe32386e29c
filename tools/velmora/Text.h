// Conversion between the command's UTF-8 text and the library's wide strings.
#pragma once

#include <string>
#include <string_view>

namespace VelmoraCommand {

// Ill-formed UTF-8 sequences become U+FFFD, so that any argument can be handed to the library.
std::wstring widen(std::string_view utf8);
// Lone surrogates and values beyond U+10FFFF become U+FFFD, so that the output is always valid UTF-8.
std::string narrow(std::wstring_view wide);

// Folds the letters of ASCII and Latin-1 to lower case, for names that compare without regard to case.
std::wstring foldCase(std::wstring_view text);

// Number of characters (code points) in UTF-8 text: the width used to line up columns.
std::size_t displayWidth(std::string_view utf8);

}  // namespace VelmoraCommand
