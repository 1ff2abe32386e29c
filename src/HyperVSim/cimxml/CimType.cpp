#include "CimType.h"

#include <array>
#include <stdexcept>
#include <utility>

#include "Text.h"

namespace HyperVSim {
namespace {

constexpr std::array<std::pair<CimType, std::wstring_view>, 15> typeNames{{
    {CimType::String, L"string"},
    {CimType::Boolean, L"boolean"},
    {CimType::Uint8, L"uint8"},
    {CimType::Sint8, L"sint8"},
    {CimType::Uint16, L"uint16"},
    {CimType::Sint16, L"sint16"},
    {CimType::Uint32, L"uint32"},
    {CimType::Sint32, L"sint32"},
    {CimType::Uint64, L"uint64"},
    {CimType::Sint64, L"sint64"},
    {CimType::Real32, L"real32"},
    {CimType::Real64, L"real64"},
    {CimType::Datetime, L"datetime"},
    {CimType::Reference, L"ref"},
    {CimType::Char16, L"char16"},
}};

}  // namespace

std::wstring_view cimTypeName(CimType type) {
    for (const auto& [candidate, name] : typeNames)
        if (candidate == type) return name;
    throw std::invalid_argument("CIM type out of range");
}

std::optional<CimType> cimTypeFromName(std::wstring_view name) {
    for (const auto& [type, typeName] : typeNames)
        if (cimxml::equalsIgnoringCase(name, typeName)) return type;
    if (cimxml::equalsIgnoringCase(name, L"reference")) return CimType::Reference;
    return std::nullopt;
}

}  // namespace HyperVSim
