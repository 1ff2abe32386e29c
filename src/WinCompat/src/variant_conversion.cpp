// VariantChangeType: conversions among the empty and null values, integers, reals, booleans and strings,
// with the results and errors of Windows (DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <limits>
#include <optional>
#include <string>

#include "internal.h"

namespace {

// A numeric value read from a source: an exact integer (sign and magnitude) or a real.
struct Number {
    bool real = false;
    bool negative = false;
    unsigned long long magnitude = 0;
    long double value = 0;  // when real
};

Number fromSigned(long long v) {
    Number n;
    n.negative = v < 0;
    n.magnitude = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    return n;
}
Number fromUnsigned(unsigned long long v) {
    Number n;
    n.magnitude = v;
    return n;
}
Number fromReal(long double v) {
    Number n;
    n.real = true;
    n.value = v;
    return n;
}

bool isZero(const Number& n) {
    return n.real ? n.value == 0 : n.magnitude == 0;
}

bool isNumericType(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_BOOL:
            return true;
        default:
            return false;
    }
}

// Reads a numeric or boolean source value.
Number readNumber(VARTYPE vt, const void* p) {
    auto load = [p](auto sample) {
        decltype(sample) v;
        std::memcpy(&v, p, sizeof v);
        return v;
    };
    switch (vt) {
        case VT_I1:
            return fromSigned(load(CHAR{}));
        case VT_I2:
            return fromSigned(load(SHORT{}));
        case VT_BOOL:
            return fromSigned(load(VARIANT_BOOL{}));
        case VT_I4:
            return fromSigned(load(LONG{}));
        case VT_INT:
            return fromSigned(load(INT{}));
        case VT_I8:
            return fromSigned(load(LONGLONG{}));
        case VT_UI1:
            return fromUnsigned(load(BYTE{}));
        case VT_UI2:
            return fromUnsigned(load(USHORT{}));
        case VT_UI4:
            return fromUnsigned(load(ULONG{}));
        case VT_UINT:
            return fromUnsigned(load(UINT{}));
        case VT_UI8:
            return fromUnsigned(load(ULONGLONG{}));
        case VT_R4:
            return fromReal(load(FLOAT{}));
        case VT_R8:
            return fromReal(load(DOUBLE{}));
        default:
            return Number{};
    }
}

// Parses number text as VarNumFromParseNum accepts it: blanks around, a sign, decimal digits with an optional
// fraction and exponent, or "&H" hexadecimal / "&O" octal.
std::optional<Number> parseNumber(const std::wstring& text) {
    std::size_t i = 0, end = text.size();
    while (i < end && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
    while (end > i && std::iswspace(static_cast<wint_t>(text[end - 1]))) --end;
    if (i == end) return std::nullopt;
    if (end - i > 2 && text[i] == L'&') {
        const wchar_t kind = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(text[i + 1])));
        const unsigned base = kind == L'H' ? 16 : kind == L'O' ? 8 : 0;
        if (base == 0) return std::nullopt;
        unsigned long long value = 0;
        for (i += 2; i < end; ++i) {
            const wint_t c = std::towupper(static_cast<wint_t>(text[i]));
            unsigned digit = 0;
            if (c >= L'0' && c <= L'9')
                digit = c - L'0';
            else if (c >= L'A' && c <= L'F')
                digit = c - L'A' + 10;
            else
                return std::nullopt;
            if (digit >= base) return std::nullopt;
            if (value > (std::numeric_limits<unsigned long long>::max() - digit) / base) return fromReal(HUGE_VALL);
            value = value * base + digit;
        }
        return fromUnsigned(value);
    }
    Number n;
    if (text[i] == L'+' || text[i] == L'-') {
        n.negative = text[i] == L'-';
        ++i;
    }
    std::string digits;  // the number in the C locale for strtold when it is not a plain integer
    bool anyDigit = false, overflow = false, plain = true;
    for (; i < end && std::iswdigit(static_cast<wint_t>(text[i])); ++i) {
        anyDigit = true;
        const unsigned digit = static_cast<unsigned>(text[i] - L'0');
        digits += static_cast<char>('0' + digit);
        if (n.magnitude > (std::numeric_limits<unsigned long long>::max() - digit) / 10) overflow = true;
        n.magnitude = n.magnitude * 10 + digit;
    }
    if (i < end && text[i] == L'.') {
        plain = false;
        digits += '.';
        for (++i; i < end && std::iswdigit(static_cast<wint_t>(text[i])); ++i) {
            anyDigit = true;
            digits += static_cast<char>(text[i]);
        }
    }
    if (!anyDigit) return std::nullopt;
    if (i < end && (text[i] == L'e' || text[i] == L'E')) {
        plain = false;
        digits += 'e';
        ++i;
        if (i < end && (text[i] == L'+' || text[i] == L'-')) digits += static_cast<char>(text[i++]);
        bool exponentDigit = false;
        for (; i < end && std::iswdigit(static_cast<wint_t>(text[i])); ++i) {
            exponentDigit = true;
            digits += static_cast<char>(text[i]);
        }
        if (!exponentDigit) return std::nullopt;
    }
    if (i != end) return std::nullopt;
    if (plain && !overflow) return n;
    long double value = std::strtold(digits.c_str(), nullptr);
    return fromReal(n.negative ? -value : value);
}

// Rounds a real to an integer the way OLE Automation does (half to even); false when it is not finite.
bool roundReal(long double value, bool& negative, unsigned long long& magnitude) {
    if (!std::isfinite(value)) return false;
    const long double rounded = std::nearbyintl(value);  // default rounding mode: to nearest, ties to even
    negative = rounded < 0;
    const long double absolute = negative ? -rounded : rounded;
    if (absolute >= 18446744073709551616.0L) return false;
    magnitude = static_cast<unsigned long long>(absolute);
    return true;
}

// Stores `n` as an integer of type `vt` in `dest`, or reports DISP_E_OVERFLOW.
HRESULT storeInteger(const Number& n, VARTYPE vt, VARIANT& dest) {
    bool negative = n.negative;
    unsigned long long magnitude = n.magnitude;
    if (n.real && !roundReal(n.value, negative, magnitude)) return DISP_E_OVERFLOW;
    if (magnitude == 0) negative = false;
    long long minimum = 0;
    unsigned long long maximum = 0;
    switch (vt) {
        case VT_I1:
            minimum = -128;
            maximum = 127;
            break;
        case VT_I2:
            minimum = -32768;
            maximum = 32767;
            break;
        case VT_I4:
        case VT_INT:
            minimum = std::numeric_limits<LONG>::min();
            maximum = 0x7FFFFFFF;
            break;
        case VT_I8:
            minimum = std::numeric_limits<LONGLONG>::min();
            maximum = 0x7FFFFFFFFFFFFFFFULL;
            break;
        case VT_UI1:
            maximum = 0xFF;
            break;
        case VT_UI2:
            maximum = 0xFFFF;
            break;
        case VT_UI4:
        case VT_UINT:
            maximum = 0xFFFFFFFFULL;
            break;
        case VT_UI8:
            maximum = std::numeric_limits<unsigned long long>::max();
            break;
        default:
            return DISP_E_TYPEMISMATCH;
    }
    if (negative) {
        const unsigned long long limit = 0ULL - static_cast<unsigned long long>(minimum);
        if (minimum == 0 || magnitude > limit) return DISP_E_OVERFLOW;
    } else if (magnitude > maximum) {
        return DISP_E_OVERFLOW;
    }
    const unsigned long long bits = negative ? 0ULL - magnitude : magnitude;
    dest.vt = vt;
    switch (vt) {
        case VT_I1:
            dest.cVal = static_cast<CHAR>(static_cast<signed char>(bits));
            break;
        case VT_I2:
            dest.iVal = static_cast<SHORT>(bits);
            break;
        case VT_I4:
            dest.lVal = static_cast<LONG>(bits);
            break;
        case VT_INT:
            dest.intVal = static_cast<INT>(bits);
            break;
        case VT_I8:
            dest.llVal = static_cast<LONGLONG>(bits);
            break;
        case VT_UI1:
            dest.bVal = static_cast<BYTE>(bits);
            break;
        case VT_UI2:
            dest.uiVal = static_cast<USHORT>(bits);
            break;
        case VT_UI4:
            dest.ulVal = static_cast<ULONG>(bits);
            break;
        case VT_UINT:
            dest.uintVal = static_cast<UINT>(bits);
            break;
        default:
            dest.ullVal = bits;
            break;
    }
    return S_OK;
}

long double realOf(const Number& n) {
    if (n.real) return n.value;
    const long double v = static_cast<long double>(n.magnitude);
    return n.negative ? -v : v;
}

HRESULT storeReal(const Number& n, VARTYPE vt, VARIANT& dest) {
    const long double v = realOf(n);
    if (vt == VT_R4) {
        if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<FLOAT>::max()) return DISP_E_OVERFLOW;
        dest.vt = VT_R4;
        dest.fltVal = static_cast<FLOAT>(v);
    } else {
        if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<DOUBLE>::max()) return DISP_E_OVERFLOW;
        dest.vt = VT_R8;
        dest.dblVal = static_cast<DOUBLE>(v);
    }
    return S_OK;
}

HRESULT storeText(const std::string& text, VARIANT& dest) {
    std::wstring wide(text.begin(), text.end());
    BSTR result =
        WinCompat::detail::allocStringBytes(wide.data(), static_cast<UINT>(wide.size() * sizeof(OLECHAR)));
    if (result == nullptr) return E_OUTOFMEMORY;
    dest.vt = VT_BSTR;
    dest.bstrVal = result;
    return S_OK;
}

std::string textOf(const Number& n, VARTYPE sourceVt) {
    if (n.real) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, sourceVt == VT_R4 ? "%.7LG" : "%.15LG", n.value);
        return buffer;
    }
    return (n.negative ? "-" : "") + std::to_string(n.magnitude);
}

bool equalsIgnoringCase(const std::wstring& text, const wchar_t* word) {
    std::size_t i = 0;
    for (; word[i] != L'\0'; ++i)
        if (i >= text.size() || std::towlower(static_cast<wint_t>(text[i])) != static_cast<wint_t>(word[i]))
            return false;
    return i == text.size();
}

// Converts a string to a boolean as VarBoolFromStr does: "True"/"False" in any case, or a number.
HRESULT boolFromText(const std::wstring& raw, VARIANT_BOOL& result) {
    std::size_t begin = 0, end = raw.size();
    while (begin < end && std::iswspace(static_cast<wint_t>(raw[begin]))) ++begin;
    while (end > begin && std::iswspace(static_cast<wint_t>(raw[end - 1]))) --end;
    const std::wstring text = raw.substr(begin, end - begin);
    if (equalsIgnoringCase(text, L"true") || equalsIgnoringCase(text, L"#true#")) {
        result = VARIANT_TRUE;
        return S_OK;
    }
    if (equalsIgnoringCase(text, L"false") || equalsIgnoringCase(text, L"#false#")) {
        result = VARIANT_FALSE;
        return S_OK;
    }
    const std::optional<Number> number = parseNumber(text);
    if (!number) return DISP_E_TYPEMISMATCH;
    result = isZero(*number) ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

// Converts the scalar value of type `from` at `p` to `to`; `dest` receives the result.
HRESULT convert(VARTYPE from, const void* p, VARTYPE to, USHORT flags, VARIANT& dest) {
    if (to == VT_EMPTY) {
        if (from == VT_NULL) return DISP_E_TYPEMISMATCH;
        dest.vt = VT_EMPTY;
        return S_OK;
    }
    if (to == VT_NULL) {
        if (from != VT_EMPTY && from != VT_NULL) return DISP_E_TYPEMISMATCH;
        dest.vt = VT_NULL;
        return S_OK;
    }
    if (from == VT_NULL) return DISP_E_TYPEMISMATCH;
    if (from == VT_EMPTY) {
        if (to == VT_BSTR) return storeText("", dest);
        if (to == VT_BOOL) {
            dest.vt = VT_BOOL;
            dest.boolVal = VARIANT_FALSE;
            return S_OK;
        }
        if (to == VT_R4 || to == VT_R8) return storeReal(Number{}, to, dest);
        return storeInteger(Number{}, to, dest);
    }
    if (from == VT_DISPATCH && to == VT_UNKNOWN) {
        IUnknown* object = nullptr;
        std::memcpy(&object, p, sizeof object);
        if (object == nullptr) return DISP_E_TYPEMISMATCH;
        IUnknown* unknown = nullptr;
        const HRESULT hr = object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
        if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
        dest.vt = VT_UNKNOWN;
        dest.punkVal = unknown;
        return S_OK;
    }
    if (from == VT_BSTR) {
        BSTR text = nullptr;
        std::memcpy(&text, p, sizeof text);
        const std::wstring source = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
        if (to == VT_BOOL) {
            VARIANT_BOOL value = VARIANT_FALSE;
            const HRESULT hr = boolFromText(source, value);
            if (FAILED(hr)) return hr;
            dest.vt = VT_BOOL;
            dest.boolVal = value;
            return S_OK;
        }
        if (!isNumericType(to)) return DISP_E_TYPEMISMATCH;
        const std::optional<Number> number = parseNumber(source);
        if (!number) return DISP_E_TYPEMISMATCH;
        if (to == VT_R4 || to == VT_R8) return storeReal(*number, to, dest);
        return storeInteger(*number, to, dest);
    }
    if (!isNumericType(from)) return DISP_E_TYPEMISMATCH;
    const Number number = readNumber(from, p);
    if (to == VT_BSTR) {
        if (from == VT_BOOL && (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) != 0)
            return storeText(isZero(number) ? "False" : "True", dest);
        return storeText(textOf(number, from), dest);
    }
    if (to == VT_BOOL) {
        dest.vt = VT_BOOL;
        dest.boolVal = isZero(number) ? VARIANT_FALSE : VARIANT_TRUE;
        return S_OK;
    }
    if (to == VT_R4 || to == VT_R8) return storeReal(number, to, dest);
    if (!isNumericType(to)) return DISP_E_TYPEMISMATCH;
    if (from == VT_BOOL && number.negative) {
        // VARIANT_TRUE is -1; into the unsigned types it goes as all bits set, as the VarUIxFromBool calls do.
        switch (to) {
            case VT_UI1:
                return storeInteger(fromUnsigned(0xFF), to, dest);
            case VT_UI2:
                return storeInteger(fromUnsigned(0xFFFF), to, dest);
            case VT_UI4:
            case VT_UINT:
                return storeInteger(fromUnsigned(0xFFFFFFFFULL), to, dest);
            default:
                break;
        }
    }
    return storeInteger(number, to, dest);
}

// The conversion of a valid source into `dest` (VT_EMPTY before), without touching the caller's value.
HRESULT changeType(VARIANT& result, const VARIANT* pvarSrc, USHORT wFlags, VARTYPE vt) {
    HRESULT hr = WinCompat::detail::validateVartype(pvarSrc->vt);
    if (FAILED(hr)) return hr;
    const VARTYPE from = pvarSrc->vt;
    if (from == vt) return WinCompat::detail::copyVariant(&result, pvarSrc);
    if ((vt & (VT_ARRAY | VT_BYREF)) != 0 || (from & VT_ARRAY) != 0) return DISP_E_TYPEMISMATCH;
    if ((from & VT_BYREF) != 0) {
        const VARTYPE base = from & VT_TYPEMASK;
        if (pvarSrc->byref == nullptr) return E_INVALIDARG;
        if (base == VT_VARIANT) return changeType(result, static_cast<const VARIANT*>(pvarSrc->byref), wFlags, vt);
        return convert(base, pvarSrc->byref, vt, wFlags, result);
    }
    return convert(from, &pvarSrc->llVal, vt, wFlags, result);
}

}  // namespace

WINCOMPAT_API HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                                        VARTYPE vt) {
    if (pvargDest == nullptr || pvarSrc == nullptr) return E_INVALIDARG;
    HRESULT hr = WinCompat::detail::validateVartype(pvarSrc->vt);
    if (FAILED(hr)) return hr;
    hr = WinCompat::detail::validateVartype(vt);
    if (FAILED(hr)) return hr;
    if (!WinCompat::detail::allocationAllowed(WINCOMPAT_CALLER(), __func__)) return E_OUTOFMEMORY;

    VARIANT result;
    VariantInit(&result);
    hr = changeType(result, pvarSrc, wFlags, vt);
    if (FAILED(hr)) return hr;
    hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *pvargDest = result;
    return S_OK;
}
