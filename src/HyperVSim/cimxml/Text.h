#pragma once

#include <string>
#include <string_view>

// Text helpers shared by the reader and the writer: UTF-8 at the XML boundary, wide strings everywhere else.
namespace HyperVSim::cimxml {

// Code points that cannot be encoded (lone surrogates, values above U+10FFFF) become U+FFFD.
std::string toUtf8(std::wstring_view text);
// Malformed, overlong or truncated sequences become U+FFFD, one per offending sequence.
std::wstring fromUtf8(std::string_view text);

// Characters XML 1.0 cannot carry at all (most C0 controls, U+FFFE, U+FFFF) become U+FFFD, so that whatever a
// property holds still gives a well-formed document.
std::wstring withXmlCharactersOnly(std::wstring_view text);

// ASCII case folding is enough: CIM names and the keywords compared with it are ASCII.
bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b);
bool lessIgnoringCase(std::wstring_view a, std::wstring_view b);

}  // namespace HyperVSim::cimxml
