#include "CimXml.h"

#include <array>
#include <stdexcept>
#include <utility>

#include "Text.h"

namespace HyperVSim::cimxml {
namespace {

constexpr std::array<std::pair<CimType, std::wstring_view>, 14> kTypeNames{{
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
    {CimType::Char16, L"char16"},
}};

}  // namespace

std::optional<CimType> parseCimTypeName(std::wstring_view name) {
    // WMI itself treats CIM names without regard to case, so "String" from a hand-built document is accepted.
    for (const auto& [type, typeName] : kTypeNames) {
        if (equalsIgnoringCase(name, typeName)) return type;
    }
    return std::nullopt;
}

CimType cimTypeFromName(std::wstring_view name) {
    if (auto type = parseCimTypeName(name)) return *type;
    throw std::invalid_argument("unknown CIM type name");
}

std::wstring_view cimTypeName(CimType type) {
    for (const auto& [candidate, typeName] : kTypeNames) {
        if (candidate == type) return typeName;
    }
    throw std::invalid_argument("CIM type out of range");
}

}  // namespace HyperVSim::cimxml
