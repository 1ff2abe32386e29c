// VARIANT values of the kinds the library writes. Allocation failures raise HResultError.
#pragma once

#include <cstdint>

#include "wmi/SafeArray.h"
#include "wmi/Variant.h"

namespace Velmora {

Variant stringValue(const wchar_t* text);  // VT_BSTR holding a copy; null text gives a null string
Variant int32Value(std::int32_t number);   // VT_I4
Variant int16Value(std::int16_t number);   // VT_I2
Variant boolValue(bool flag);              // VT_BOOL
// A one-element string array (lower bound 0) holding a copy of `text`.
SafeArray singleStringArray(const wchar_t* text);
// VT_ARRAY | element type, holding a copy of `array`.
Variant arrayValue(SAFEARRAY* array);

}  // namespace Velmora
