#include "model/Value.h"

#include <array>
#include <cwchar>
#include <limits>

#include "com/ComRef.h"
#include "com/Status.h"
#include "parse/CaseFold.h"

namespace HyperVSim {
namespace {

constexpr std::array<std::pair<CimType, CIMTYPE>, 15> typeCodes{{
    {CimType::String, CIM_STRING},
    {CimType::Boolean, CIM_BOOLEAN},
    {CimType::Uint8, CIM_UINT8},
    {CimType::Sint8, CIM_SINT8},
    {CimType::Uint16, CIM_UINT16},
    {CimType::Sint16, CIM_SINT16},
    {CimType::Uint32, CIM_UINT32},
    {CimType::Sint32, CIM_SINT32},
    {CimType::Uint64, CIM_UINT64},
    {CimType::Sint64, CIM_SINT64},
    {CimType::Real32, CIM_REAL32},
    {CimType::Real64, CIM_REAL64},
    {CimType::Datetime, CIM_DATETIME},
    {CimType::Reference, CIM_REFERENCE},
    {CimType::Char16, CIM_CHAR16},
}};

// An integer read from a VARIANT or text, wide enough for every CIM integer type.
struct Number {
    bool negative = false;
    std::uint64_t magnitude = 0;
};

std::optional<Number> parseDecimal(std::wstring_view text) {
    Number number;
    std::size_t at = 0;
    if (at < text.size() && (text[at] == L'-' || text[at] == L'+')) number.negative = text[at++] == L'-';
    if (at == text.size()) return std::nullopt;
    for (; at < text.size(); ++at) {
        const wchar_t c = text[at];
        if (c < L'0' || c > L'9') return std::nullopt;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - L'0');
        if (number.magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
        number.magnitude = number.magnitude * 10 + digit;
    }
    if (number.magnitude == 0) number.negative = false;
    return number;
}

Number fromSigned(std::int64_t value) {
    if (value >= 0) return Number{false, static_cast<std::uint64_t>(value)};
    return Number{true, static_cast<std::uint64_t>(-(value + 1)) + 1};
}

struct Range {
    std::int64_t min;
    std::uint64_t max;
};

Range rangeOf(CimType type) {
    switch (type) {
        case CimType::Uint8:
            return {0, 0xFF};
        case CimType::Sint8:
            return {-128, 127};
        case CimType::Uint16:
        case CimType::Char16:
            return {0, 0xFFFF};
        case CimType::Sint16:
            return {-32768, 32767};
        case CimType::Uint32:
            return {0, 0xFFFFFFFFu};
        case CimType::Sint32:
            return {std::numeric_limits<std::int32_t>::min(), 0x7FFFFFFF};
        case CimType::Uint64:
            return {0, std::numeric_limits<std::uint64_t>::max()};
        default:
            return {std::numeric_limits<std::int64_t>::min(), 0x7FFFFFFFFFFFFFFFull};
    }
}

// The element of an integer type for a number, if it is in range.
std::optional<CimElement> integerElement(CimType type, Number number) {
    const Range range = rangeOf(type);
    if (number.negative) {
        const std::uint64_t limit = range.min >= 0 ? 0 : fromSigned(range.min).magnitude;
        if (number.magnitude > limit) return std::nullopt;
        if (number.magnitude == 0) return CimElement{std::int64_t{0}};
        return CimElement{-static_cast<std::int64_t>(number.magnitude - 1) - 1};
    }
    if (number.magnitude > range.max) return std::nullopt;
    if (type == CimType::Uint64) return CimElement{number.magnitude};
    return CimElement{static_cast<std::int64_t>(number.magnitude)};
}

std::optional<Number> numberOfVariantElement(VARTYPE vt, const void* data) {
    switch (vt) {
        case VT_I1:
            return fromSigned(*static_cast<const CHAR*>(data));
        case VT_UI1:
            return Number{false, *static_cast<const BYTE*>(data)};
        case VT_I2:
            return fromSigned(*static_cast<const SHORT*>(data));
        case VT_UI2:
            return Number{false, *static_cast<const USHORT*>(data)};
        case VT_I4:
            return fromSigned(*static_cast<const LONG*>(data));
        case VT_INT:
            return fromSigned(*static_cast<const INT*>(data));
        case VT_UI4:
            return Number{false, *static_cast<const ULONG*>(data)};
        case VT_UINT:
            return Number{false, *static_cast<const UINT*>(data)};
        case VT_I8:
            return fromSigned(*static_cast<const LONGLONG*>(data));
        case VT_UI8:
            return Number{false, *static_cast<const ULONGLONG*>(data)};
        case VT_R4:
        case VT_R8: {
            const double value = vt == VT_R4 ? *static_cast<const FLOAT*>(data) : *static_cast<const DOUBLE*>(data);
            if (value != static_cast<double>(static_cast<std::int64_t>(value))) return std::nullopt;
            return fromSigned(static_cast<std::int64_t>(value));
        }
        case VT_BSTR: {
            const BSTR text = *static_cast<const BSTR*>(data);
            if (!text) return std::nullopt;
            return parseDecimal(std::wstring_view(text, SysStringLen(text)));
        }
        default:
            return std::nullopt;
    }
}

// Put's conversion of one VARIANT element (type `vt`, stored at `data`) into an element of `type`.
std::optional<CimElement> convertElement(VARTYPE vt, const void* data, CimType type) {
    if (vt == VT_VARIANT) {
        const VARIANT& inner = *static_cast<const VARIANT*>(data);
        if (inner.vt & (VT_ARRAY | VT_BYREF)) return std::nullopt;
        return convertElement(inner.vt, &inner.llVal, type);
    }
    switch (type) {
        case CimType::String:
        case CimType::Datetime:
        case CimType::Reference: {
            if (vt != VT_BSTR) return std::nullopt;
            const BSTR text = *static_cast<const BSTR*>(data);
            return CimElement{text ? std::wstring(text, SysStringLen(text)) : std::wstring()};
        }
        case CimType::Boolean: {
            if (vt == VT_BOOL) return CimElement{*static_cast<const VARIANT_BOOL*>(data) != VARIANT_FALSE};
            if (vt != VT_BSTR) return std::nullopt;
            const BSTR text = *static_cast<const BSTR*>(data);
            if (!text) return std::nullopt;
            const std::wstring_view view(text, SysStringLen(text));
            if (equalsIgnoreCase(view, L"true")) return CimElement{true};
            if (equalsIgnoreCase(view, L"false")) return CimElement{false};
            return std::nullopt;
        }
        case CimType::Real32:
        case CimType::Real64: {
            if (vt == VT_R4) return CimElement{static_cast<double>(*static_cast<const FLOAT*>(data))};
            if (vt == VT_R8) return CimElement{*static_cast<const DOUBLE*>(data)};
            const auto number = numberOfVariantElement(vt, data);
            if (!number) return std::nullopt;
            const double magnitude = static_cast<double>(number->magnitude);
            return CimElement{number->negative ? -magnitude : magnitude};
        }
        default: {
            if (vt == VT_BOOL) return std::nullopt;
            const auto number = numberOfVariantElement(vt, data);
            if (!number) return std::nullopt;
            return integerElement(type, *number);
        }
    }
}

VARTYPE elementVarType(CimType type) {
    switch (type) {
        case CimType::Boolean:
            return VT_BOOL;
        case CimType::Uint8:
            return VT_UI1;
        case CimType::Sint8:
        case CimType::Sint16:
        case CimType::Char16:
            return VT_I2;
        case CimType::Uint16:
        case CimType::Uint32:
        case CimType::Sint32:
            return VT_I4;
        case CimType::Real32:
            return VT_R4;
        case CimType::Real64:
            return VT_R8;
        default:
            return VT_BSTR;  // strings, datetime, references, and 64-bit integers as decimal text
    }
}

std::wstring elementText(const CimElement& element) {
    if (const auto* text = std::get_if<std::wstring>(&element)) return *text;
    if (const auto* flag = std::get_if<bool>(&element)) return *flag ? L"TRUE" : L"FALSE";
    if (const auto* number = std::get_if<std::int64_t>(&element)) return std::to_wstring(*number);
    if (const auto* number = std::get_if<std::uint64_t>(&element)) return std::to_wstring(*number);
    return std::to_wstring(std::get<double>(element));
}

// Writes one element into VARIANT storage of type `vt` (a BSTR is allocated).
HRESULT storeElement(const CimElement& element, VARTYPE vt, VARIANT& out) {
    out.vt = vt;
    switch (vt) {
        case VT_BOOL:
            out.boolVal = std::get<bool>(element) ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case VT_UI1:
            out.bVal = static_cast<BYTE>(std::get<std::int64_t>(element));
            return S_OK;
        case VT_I2:
            out.iVal = static_cast<SHORT>(std::get<std::int64_t>(element));
            return S_OK;
        case VT_I4:
            out.lVal = static_cast<LONG>(std::get<std::int64_t>(element));
            return S_OK;
        case VT_R4:
            out.fltVal = static_cast<FLOAT>(std::get<double>(element));
            return S_OK;
        case VT_R8:
            out.dblVal = std::get<double>(element);
            return S_OK;
        default: {
            // Text elements go into the BSTR as they are; only numbers and flags are written out first.
            const auto* stored = std::get_if<std::wstring>(&element);
            const std::wstring written = stored ? std::wstring() : elementText(element);
            const std::wstring& text = stored ? *stored : written;
            out.bstrVal = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
            if (!out.bstrVal) {
                out.vt = VT_EMPTY;
                return E_OUTOFMEMORY;
            }
            return S_OK;
        }
    }
}

HRESULT stringArrayVariant(const std::vector<std::wstring>& texts, VARIANT* out) {
    OwnedSafeArray array(SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts.size())));
    if (!array.get()) return E_OUTOFMEMORY;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        OwnedBstr text(SysAllocStringLen(texts[i].c_str(), static_cast<UINT>(texts[i].size())));
        if (!text.get()) return E_OUTOFMEMORY;
        LONG index = static_cast<LONG>(i);
        const HRESULT hr = SafeArrayPutElement(array.get(), &index, text.get());
        if (hr < 0) return hr;
    }
    out->vt = VT_ARRAY | VT_BSTR;
    out->parray = array.detach();
    return S_OK;
}

std::optional<CimElement> elementFromText(CimType type, const std::wstring& text) {
    switch (type) {
        case CimType::String:
        case CimType::Datetime:
        case CimType::Reference:
            return CimElement{text};
        case CimType::Boolean:
            if (equalsIgnoreCase(text, L"true")) return CimElement{true};
            if (equalsIgnoreCase(text, L"false")) return CimElement{false};
            return std::nullopt;
        case CimType::Real32:
        case CimType::Real64: {
            if (text.empty()) return std::nullopt;
            wchar_t* end = nullptr;
            const double value = std::wcstod(text.c_str(), &end);
            if (end != text.c_str() + text.size()) return std::nullopt;
            return CimElement{value};
        }
        default: {
            const auto number = parseDecimal(text);
            if (!number) return std::nullopt;
            return integerElement(type, *number);
        }
    }
}

}  // namespace

CIMTYPE cimTypeCode(CimType type) {
    for (const auto& [candidate, code] : typeCodes)
        if (candidate == type) return code;
    return CIM_STRING;
}

bool isIntegerType(CimType type) {
    switch (type) {
        case CimType::Uint8:
        case CimType::Sint8:
        case CimType::Uint16:
        case CimType::Sint16:
        case CimType::Uint32:
        case CimType::Sint32:
        case CimType::Uint64:
        case CimType::Sint64:
        case CimType::Char16:
            return true;
        default:
            return false;
    }
}

bool isTextType(CimType type) {
    return type == CimType::String || type == CimType::Datetime || type == CimType::Reference;
}

CimValue CimValue::string(std::wstring text, CimType type) {
    CimValue value(type, false);
    value.elements_ = CimElement{std::move(text)};
    return value;
}

CimValue CimValue::boolean(bool flag) {
    CimValue value(CimType::Boolean, false);
    value.elements_ = CimElement{flag};
    return value;
}

CimValue CimValue::integer(CimType type, std::int64_t number) {
    CimValue value(type, false);
    if (type == CimType::Uint64)
        value.elements_ = CimElement{static_cast<std::uint64_t>(number)};
    else
        value.elements_ = CimElement{number};
    return value;
}

CimValue CimValue::uint64(std::uint64_t number) {
    CimValue value(CimType::Uint64, false);
    value.elements_ = CimElement{number};
    return value;
}

CimValue CimValue::stringArray(std::vector<std::wstring> texts, CimType type) {
    CimValue value(type, true);
    std::vector<CimElement> elements;
    for (auto& text : texts) elements.emplace_back(std::move(text));
    value.assign(std::move(elements));
    return value;
}

CimValue CimValue::integerArray(CimType type, const std::vector<std::int64_t>& numbers) {
    CimValue value(type, true);
    std::vector<CimElement> elements;
    for (const auto number : numbers) elements.push_back(integer(type, number).elements().front());
    value.assign(std::move(elements));
    return value;
}

void CimValue::assign(std::vector<CimElement> elements) {
    if (!isArray_ && elements.size() == 1)
        elements_ = std::move(elements.front());
    else
        elements_ = std::move(elements);
}

std::span<const CimElement> CimValue::elements() const {
    if (const auto* one = std::get_if<CimElement>(&elements_)) return {one, 1};
    if (const auto* many = std::get_if<std::vector<CimElement>>(&elements_)) return *many;
    return {};
}

namespace {

// The element of a scalar that has one; nullptr for NULL and arrays.
const CimElement* scalarElement(bool isArray, const std::span<const CimElement> elements) {
    return !isArray && elements.size() == 1 ? &elements.front() : nullptr;
}

}  // namespace

std::optional<std::wstring> CimValue::asString() const {
    const CimElement* element = scalarElement(isArray_, elements());
    if (!element) return std::nullopt;
    if (const auto* text = std::get_if<std::wstring>(element)) return *text;
    return std::nullopt;
}

std::optional<bool> CimValue::asBoolean() const {
    const CimElement* element = scalarElement(isArray_, elements());
    if (!element) return std::nullopt;
    if (const auto* flag = std::get_if<bool>(element)) return *flag;
    return std::nullopt;
}

std::optional<std::int64_t> CimValue::asInteger() const {
    const CimElement* element = scalarElement(isArray_, elements());
    if (!element) return std::nullopt;
    if (const auto* number = std::get_if<std::int64_t>(element)) return *number;
    if (const auto* number = std::get_if<std::uint64_t>(element))
        if (*number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return static_cast<std::int64_t>(*number);
    return std::nullopt;
}

std::optional<std::uint64_t> CimValue::asUnsigned() const {
    const CimElement* element = scalarElement(isArray_, elements());
    if (!element) return std::nullopt;
    if (const auto* number = std::get_if<std::uint64_t>(element)) return *number;
    if (const auto* number = std::get_if<std::int64_t>(element))
        if (*number >= 0) return static_cast<std::uint64_t>(*number);
    return std::nullopt;
}

std::optional<std::vector<std::wstring>> CimValue::asStringArray() const {
    if (!isArray_ || isNull() || !isTextType(type_)) return std::nullopt;
    std::vector<std::wstring> texts;
    for (const auto& element : elements()) texts.push_back(std::get<std::wstring>(element));
    return texts;
}

std::optional<std::vector<std::wstring>> CimValue::toText() const {
    if (isNull()) return std::nullopt;
    std::vector<std::wstring> texts;
    for (const auto& element : elements()) texts.push_back(elementText(element));
    return texts;
}

std::optional<CimValue> CimValue::fromText(CimType type, bool isArray,
                                           const std::optional<std::vector<std::wstring>>& texts) {
    CimValue value(type, isArray);
    if (!texts) return value;
    if (!isArray && texts->size() != 1) return std::nullopt;
    std::vector<CimElement> elements;
    for (const auto& text : *texts) {
        auto element = elementFromText(type, text);
        if (!element) return std::nullopt;
        elements.push_back(std::move(*element));
    }
    value.assign(std::move(elements));
    return value;
}

HRESULT CimValue::toVariant(VARIANT* out) const {
    VariantInit(out);
    if (isNull()) {
        out->vt = VT_NULL;
        return S_OK;
    }
    const VARTYPE vt = elementVarType(type_);
    const auto elements = this->elements();
    if (!isArray_) return storeElement(elements.front(), vt, *out);

    OwnedSafeArray array(SafeArrayCreateVector(vt, 0, static_cast<ULONG>(elements.size())));
    if (!array.get()) return E_OUTOFMEMORY;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        OwnedVariant element;
        const HRESULT stored = storeElement(elements[i], vt, *element.get());
        if (stored < 0) return stored;
        LONG index = static_cast<LONG>(i);
        // SafeArrayPutElement copies: a BSTR is passed by value, everything else by address.
        void* source =
            vt == VT_BSTR ? static_cast<void*>(element.get()->bstrVal) : static_cast<void*>(&element.get()->llVal);
        const HRESULT hr = SafeArrayPutElement(array.get(), &index, source);
        if (hr < 0) return hr;
    }
    out->vt = static_cast<VARTYPE>(VT_ARRAY | vt);
    out->parray = array.detach();
    return S_OK;
}

HRESULT CimValue::fromVariant(const VARIANT& in, CimType type, bool isArray, CimValue& out) {
    CimValue value(type, isArray);
    if (in.vt == VT_NULL || in.vt == VT_EMPTY) {
        out = std::move(value);
        return S_OK;
    }
    if (in.vt & VT_BYREF) return wbem(WBEM_E_TYPE_MISMATCH);
    const bool inputIsArray = (in.vt & VT_ARRAY) != 0;
    if (inputIsArray != isArray) return wbem(WBEM_E_TYPE_MISMATCH);
    if (!isArray) {
        auto element = convertElement(in.vt, &in.llVal, type);
        if (!element) return wbem(WBEM_E_TYPE_MISMATCH);
        value.elements_ = std::move(*element);
        out = std::move(value);
        return S_OK;
    }

    SAFEARRAY* array = in.parray;
    if (!array || SafeArrayGetDim(array) != 1) return wbem(WBEM_E_TYPE_MISMATCH);
    const VARTYPE elementVt = static_cast<VARTYPE>(in.vt & VT_TYPEMASK);
    LONG lower = 0, upper = -1;
    if (SafeArrayGetLBound(array, 1, &lower) < 0 || SafeArrayGetUBound(array, 1, &upper) < 0)
        return wbem(WBEM_E_TYPE_MISMATCH);
    const LONG count = upper - lower + 1;
    std::vector<CimElement> elements;
    if (count > 0) {
        SafeArrayData access(array);
        if (!access.data()) return wbem(WBEM_E_TYPE_MISMATCH);
        const auto* bytes = static_cast<const unsigned char*>(access.data());
        const UINT size = SafeArrayGetElemsize(array);
        for (LONG i = 0; i < count; ++i) {
            auto element = convertElement(elementVt, bytes + static_cast<std::size_t>(i) * size, type);
            if (!element) return wbem(WBEM_E_TYPE_MISMATCH);
            elements.push_back(std::move(*element));
        }
    }
    value.assign(std::move(elements));
    out = std::move(value);
    return S_OK;
}

HRESULT overrideToVariant(const Value& value, VARIANT* out) {
    VariantInit(out);
    return std::visit(
        [out](const auto& held) -> HRESULT {
            using T = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                out->vt = VT_NULL;
            } else if constexpr (std::is_same_v<T, NullString>) {
                out->vt = VT_BSTR;
                out->bstrVal = nullptr;
            } else if constexpr (std::is_same_v<T, std::wstring>) {
                out->bstrVal = SysAllocStringLen(held.c_str(), static_cast<UINT>(held.size()));
                if (!out->bstrVal) return E_OUTOFMEMORY;
                out->vt = VT_BSTR;
            } else if constexpr (std::is_same_v<T, std::int32_t>) {
                out->vt = VT_I4;
                out->lVal = held;
            } else if constexpr (std::is_same_v<T, std::int16_t>) {
                out->vt = VT_I2;
                out->iVal = held;
            } else if constexpr (std::is_same_v<T, bool>) {
                out->vt = VT_BOOL;
                out->boolVal = held ? VARIANT_TRUE : VARIANT_FALSE;
            } else {
                return stringArrayVariant(held, out);
            }
            return S_OK;
        },
        value);
}

}  // namespace HyperVSim
