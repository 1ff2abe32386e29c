#include "model/OverrideTable.h"

#include <limits>
#include <stdexcept>
#include <type_traits>
#include <variant>

namespace HyperVSim {
namespace {

std::uint32_t narrow(std::size_t value) {
    if (value > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("override text too long");
    return static_cast<std::uint32_t>(value);
}

}  // namespace

void OverrideTable::set(std::size_t index, std::size_t width, const Value& value) {
    auto values = all();
    if (values.size() < width) values.resize(width);
    values.at(index) = value;
    assign(values);
}

void OverrideTable::clear(std::size_t index) {
    if (!cell(index)) return;
    auto values = all();
    values[index].reset();
    assign(values);
}

const OverrideTable::Cell* OverrideTable::cell(std::size_t index) const {
    if (index >= cells_.size() || cells_[index].kind == Kind::None) return nullptr;
    return &cells_[index];
}

std::optional<Value> OverrideTable::at(std::size_t index) const {
    const Cell* found = cell(index);
    if (!found) return std::nullopt;
    switch (found->kind) {
        case Kind::Null:
            return Value{};
        case Kind::NullString:
            return Value{NullString{}};
        case Kind::Text:
            return Value{text_.substr(found->first, found->size)};
        case Kind::Int32:
            return Value{static_cast<std::int32_t>(found->first)};
        case Kind::Int16:
            return Value{static_cast<std::int16_t>(found->first)};
        case Kind::Bool:
            return Value{found->first != 0};
        case Kind::Texts:
            return Value{arrays_[found->first]};
        case Kind::None:
            break;
    }
    return std::nullopt;
}

std::optional<HRESULT> OverrideTable::toVariant(std::size_t index, VARIANT* out) const {
    const Cell* found = cell(index);
    if (!found) return std::nullopt;
    if (found->kind == Kind::Text) {
        // The common case, straight from the characters without a string in between.
        VariantInit(out);
        out->bstrVal = SysAllocStringLen(text_.data() + found->first, found->size);
        if (!out->bstrVal) return E_OUTOFMEMORY;
        out->vt = VT_BSTR;
        return S_OK;
    }
    return overrideToVariant(*at(index), out);
}

std::vector<std::optional<Value>> OverrideTable::all() const {
    std::vector<std::optional<Value>> values(cells_.size());
    for (std::size_t i = 0; i < cells_.size(); ++i) values[i] = at(i);
    return values;
}

void OverrideTable::assign(const std::vector<std::optional<Value>>& values) {
    std::size_t characters = 0;
    for (const auto& value : values)
        if (value)
            if (const auto* held = std::get_if<std::wstring>(&*value)) characters += held->size();
    // Cells and characters are made one right after the other, so that they also lie side by side.
    std::vector<Cell> cells(values.size());
    std::wstring text;
    text.reserve(characters);
    std::vector<std::vector<std::wstring>> arrays;
    bool any = false;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!values[i]) continue;
        any = true;
        Cell& cell = cells[i];
        std::visit(
            [&](const auto& held) {
                using T = std::decay_t<decltype(held)>;
                if constexpr (std::is_same_v<T, std::monostate>) {
                    cell.kind = Kind::Null;
                } else if constexpr (std::is_same_v<T, NullString>) {
                    cell.kind = Kind::NullString;
                } else if constexpr (std::is_same_v<T, std::wstring>) {
                    cell.kind = Kind::Text;
                    cell.first = narrow(text.size());
                    cell.size = narrow(held.size());
                    text += held;
                } else if constexpr (std::is_same_v<T, std::int32_t>) {
                    cell.kind = Kind::Int32;
                    cell.first = static_cast<std::uint32_t>(held);
                } else if constexpr (std::is_same_v<T, std::int16_t>) {
                    cell.kind = Kind::Int16;
                    cell.first = static_cast<std::uint32_t>(static_cast<std::uint16_t>(held));
                } else if constexpr (std::is_same_v<T, bool>) {
                    cell.kind = Kind::Bool;
                    cell.first = held ? 1 : 0;
                } else {
                    cell.kind = Kind::Texts;
                    cell.first = narrow(arrays.size());
                    arrays.push_back(held);
                }
            },
            *values[i]);
    }
    if (!any) cells = {};
    cells_ = std::move(cells);
    text_ = std::move(text);
    arrays_ = std::move(arrays);
}

}  // namespace HyperVSim
