// One instance of the model: its class, its property values (by the class's property order) and which of
// them were set explicitly (the others still carry the class default: PROPAGATED in CIM-XML).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/OverrideTable.h"
#include "model/Schema.h"
#include "model/Value.h"

namespace HyperVSim {

class Instance {
public:
    Instance() = default;
    // A new instance with every property at its class default, nothing set explicitly.
    explicit Instance(std::shared_ptr<const ClassDef> definition);
    // Convenience: the class by name (throws std::invalid_argument for an unknown class).
    static Instance ofClass(std::wstring_view className);

    const ClassDef& definition() const { return *definition_; }
    const std::shared_ptr<const ClassDef>& definitionPtr() const { return definition_; }
    const std::wstring& className() const { return definition_->name; }

    // nullptr when the class has no such property.
    const CimValue* get(std::wstring_view name) const;
    // Sets a value already of the property's type (marks it explicitly set). False for an unknown property
    // or a value of another type/arity.
    bool set(std::wstring_view name, CimValue value);
    // Shorthands that convert to the declared type; false for an unknown property or unconvertible value.
    bool setString(std::wstring_view name, std::wstring text);
    bool setInteger(std::wstring_view name, std::int64_t value);
    bool setBoolean(std::wstring_view name, bool value);
    bool setStrings(std::wstring_view name, std::vector<std::wstring> texts);
    bool isExplicit(std::wstring_view name) const;

    std::optional<std::wstring> getString(std::wstring_view name) const;
    std::optional<std::int64_t> getInteger(std::wstring_view name) const;
    std::optional<std::uint64_t> getUnsigned(std::wstring_view name) const;
    std::optional<bool> getBoolean(std::wstring_view name) const;
    std::optional<std::vector<std::wstring>> getStrings(std::wstring_view name) const;

    // Raw override values: Get delivers these instead of the typed values (Control::addMemory). Only
    // properties of the class can have one.
    void setOverride(std::wstring_view name, const Value& value);
    std::optional<Value> overrideFor(std::wstring_view name) const;
    // The VARIANT of the property's override; nullopt when it has none.
    std::optional<HRESULT> overrideToVariant(std::wstring_view name, VARIANT* out) const;
    void clearOverride(std::wstring_view name);

    // Whether every key property has a value.
    bool hasKeys() const;
    // `Class.Key="v",...` with keys alphabetical, double quotes and doubled backslashes; empty when a key
    // is missing.
    std::wstring relativePath() const;
    // `\\HVSIM01\root\virtualization\v2:` + relativePath(); empty when a key is missing.
    std::wstring fullPath() const;
    // Keeps fullPath() as it is now, so that reading it costs no formatting (the repository does this for
    // what it stores, which every query reads); a change of a key forgets it.
    void rememberPath();
    // Canonical identity for lookups (case-insensitive class and key names and values); empty when a key
    // is missing.
    std::wstring identity() const;

    const std::vector<CimValue>& values() const { return values_; }

private:
    std::size_t indexOf(std::wstring_view name) const;  // npos when unknown

    std::shared_ptr<const ClassDef> definition_;
    std::vector<CimValue> values_;
    std::vector<bool> explicit_;
    std::wstring rememberedPath_;
    // By property index, as values_.
    OverrideTable overrides_;
};

}  // namespace HyperVSim
