// Typed property values of the model and their two outside forms: the VARIANT that IWbemClassObject::Get
// delivers and Put accepts, and the text of CIM-XML.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "HyperVSim/Control.h"
#include "cimxml/CimType.h"
#include "platform.h"

namespace HyperVSim {

// The CIMTYPE code that Get reports (without CIM_FLAG_ARRAY).
CIMTYPE cimTypeCode(CimType type);
bool isIntegerType(CimType type);
bool isTextType(CimType type);  // string, datetime, reference

// One element of a value. Strings hold string, datetime and reference values; signed integer types and all
// unsigned types below 64 bits hold int64_t; uint64 holds uint64_t; reals hold double.
using CimElement = std::variant<std::wstring, bool, std::int64_t, std::uint64_t, double>;

// A property value: declared type, scalar or array, and NULL or the elements (one for a scalar).
class CimValue {
public:
    CimValue() = default;
    CimValue(CimType type, bool isArray) : type_(type), isArray_(isArray) {}

    static CimValue null(CimType type, bool isArray = false) { return CimValue(type, isArray); }
    static CimValue string(std::wstring text, CimType type = CimType::String);
    static CimValue boolean(bool value);
    static CimValue integer(CimType type, std::int64_t value);  // any integer type except uint64
    static CimValue uint64(std::uint64_t value);
    static CimValue stringArray(std::vector<std::wstring> texts, CimType type = CimType::String);
    static CimValue integerArray(CimType type, const std::vector<std::int64_t>& values);

    CimType type() const { return type_; }
    bool isArray() const { return isArray_; }
    bool isNull() const { return std::holds_alternative<std::monostate>(elements_); }
    std::span<const CimElement> elements() const;  // empty for NULL

    // Convenience reads; each gives nullopt when the value is NULL or of another kind.
    std::optional<std::wstring> asString() const;
    std::optional<bool> asBoolean() const;
    std::optional<std::int64_t> asInteger() const;  // any integer type that fits into int64
    std::optional<std::uint64_t> asUnsigned() const;
    std::optional<std::vector<std::wstring>> asStringArray() const;

    // CIM-XML text: nullopt for NULL, one entry per element; booleans as "TRUE"/"FALSE", numbers decimal.
    std::optional<std::vector<std::wstring>> toText() const;
    // Reads text of the given type; nullopt when an element does not convert.
    static std::optional<CimValue> fromText(CimType type, bool isArray,
                                            const std::optional<std::vector<std::wstring>>& texts);

    // The VARIANT that Get delivers (VT_NULL for NULL). Returns E_OUTOFMEMORY when an allocation fails.
    HRESULT toVariant(VARIANT* out) const;
    // Put's conversion of a caller's VARIANT into this value's type; WBEM_E_TYPE_MISMATCH when it does not
    // convert (or is out of range). VT_NULL/VT_EMPTY give NULL.
    static HRESULT fromVariant(const VARIANT& in, CimType type, bool isArray, CimValue& out);

    bool operator==(const CimValue&) const = default;

private:
    // Stores the elements: a scalar's one in place, an array's in a vector.
    void assign(std::vector<CimElement> elements);

    CimType type_ = CimType::String;
    bool isArray_ = false;
    // NULL, a scalar's element, or an array's elements. A scalar is held in place: reading one (what
    // nearly every Get does) then costs no visit to memory of its own.
    std::variant<std::monostate, CimElement, std::vector<CimElement>> elements_;
};

// The VARIANT of a raw override value (Control's Value: what a property delivers whatever its schema says).
HRESULT overrideToVariant(const Value& value, VARIANT* out);

}  // namespace HyperVSim
