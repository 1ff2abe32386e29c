// The raw values that an instance's properties deliver instead of their typed ones (Control::addMemory, the
// DeliverValue fault, the state file). A walk over many instances reads a few of them from each, so they are
// kept in two short runs of memory, one cell per property and the characters of every text one after
// another, rather than as one value per property with its text somewhere else on the heap: reading one
// then costs a visit to two nearby places instead of to scattered ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/Value.h"

namespace HyperVSim {

class OverrideTable {
public:
    bool empty() const { return cells_.empty(); }
    // `width` is the number of properties of the instance's class; `index` is below it.
    void set(std::size_t index, std::size_t width, const Value& value);
    void clear(std::size_t index);
    std::optional<Value> at(std::size_t index) const;
    // The VARIANT that the override at `index` delivers; nullopt when that property has none.
    std::optional<HRESULT> toVariant(std::size_t index, VARIANT* out) const;

private:
    enum class Kind : std::uint8_t { None, Null, NullString, Text, Int32, Int16, Bool, Texts };
    struct Cell {
        // Text: where its characters start in text_ and how many; Int32, Int16, Bool: the value's bits in
        // `first`; Texts: its index in arrays_.
        std::uint32_t first = 0;
        std::uint32_t size = 0;
        Kind kind = Kind::None;
    };

    void assign(const std::vector<std::optional<Value>>& values);
    std::vector<std::optional<Value>> all() const;
    const Cell* cell(std::size_t index) const;

    std::vector<Cell> cells_;  // by property index; empty while the instance has none
    std::wstring text_;
    std::vector<std::vector<std::wstring>> arrays_;  // rare: only a fault delivers an array
};

}  // namespace HyperVSim
