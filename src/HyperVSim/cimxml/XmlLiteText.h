// UTF-8 and UTF-16 conversions for the XmlLite backend, whose interfaces speak UTF-16.
#pragma once

#include <string>
#include <string_view>

#include "XmlCharacterData.h"

namespace HyperVSim::cimxml {

// Both throw std::runtime_error for text that is not valid in its encoding.
std::wstring wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::wstring_view wide);

}  // namespace HyperVSim::cimxml
