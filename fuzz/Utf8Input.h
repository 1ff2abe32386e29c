// Fuzz bytes as UTF-8 text, decoded the way the host decodes XML: the seed corpora stay readable documents, and
// malformed sequences still arrive (as U+FFFD).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Text.h"

inline std::wstring utf8Input(const std::uint8_t* data, std::size_t size) {
    return HyperVSim::cimxml::fromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
}
