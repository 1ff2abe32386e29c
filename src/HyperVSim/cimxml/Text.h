#pragma once

#include <string>
#include <string_view>

#include "Common/Utf8.h"

// Text helpers shared by the reader and the writer: UTF-8 at the XML boundary, wide strings everywhere else.
namespace HyperVSim::cimxml {

using Common::fromUtf8;
using Common::toUtf8;

// Characters XML 1.0 cannot carry at all (most C0 controls, U+FFFE, U+FFFF) become U+FFFD, so that whatever a
// property holds still gives a well-formed document.
std::wstring withXmlCharactersOnly(std::wstring_view text);

// ASCII case folding is enough: CIM names and the keywords compared with it are ASCII.
bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b);
bool lessIgnoringCase(std::wstring_view a, std::wstring_view b);

}  // namespace HyperVSim::cimxml
