#include "wmi/Values.h"

#include <utility>

#include "wmi/Bstr.h"

namespace Velmora {

Variant stringValue(const wchar_t* text) {
    Bstr copy(text);
    Variant value;
    value.get()->vt = VT_BSTR;
    value.get()->bstrVal = copy.release();
    return value;
}

Variant int32Value(std::int32_t number) {
    Variant value;
    value.get()->vt = VT_I4;
    value.get()->lVal = number;
    return value;
}

Variant int16Value(std::int16_t number) {
    Variant value;
    value.get()->vt = VT_I2;
    value.get()->iVal = number;
    return value;
}

Variant boolValue(bool flag) {
    Variant value;
    value.get()->vt = VT_BOOL;
    value.get()->boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return value;
}

SafeArray singleStringArray(const wchar_t* text) {
    SafeArray array = SafeArray::create(VT_BSTR, 1);
    SafeArrayLockGuard lock(array.get());
    // The element belongs to the array from here on; whatever it held before is freed.
    auto* elements = static_cast<BSTR*>(array.get()->pvData);
    SysFreeString(std::exchange(elements[0], Bstr(text).release()));
    return array;
}

Variant arrayValue(SAFEARRAY* array) {
    SAFEARRAY* copied = nullptr;
    throwIfFailed(SafeArrayCopy(array, &copied));
    SafeArray copy = SafeArray::adopt(copied);
    VARTYPE elementType = VT_EMPTY;
    throwIfFailed(SafeArrayGetVartype(copy.get(), &elementType));
    Variant value;
    value.get()->vt = static_cast<VARTYPE>(VT_ARRAY | elementType);
    value.get()->parray = copy.release();
    return value;
}

}  // namespace Velmora
