// VARIANT values: initialisation, clearing and deep copies.
#include "internal.h"

namespace WinCompat::detail {

// The check Windows makes of a value's type before clearing or copying it.
HRESULT validateVartype(VARTYPE vt) {
    const VARTYPE extra = vt & ~VT_TYPEMASK;
    const VARTYPE base = vt & VT_TYPEMASK;
    if ((extra & ~(VT_ARRAY | VT_BYREF)) != 0) return DISP_E_BADVARTYPE;
    if (base > VT_UINT || base == 15) return DISP_E_BADVARTYPE;
    if ((extra & (VT_ARRAY | VT_BYREF)) != 0 && base <= VT_NULL) return DISP_E_BADVARTYPE;
    return S_OK;
}

// Copies `source` into `dest`, whose old value has been cleared already. On failure `dest` is VT_EMPTY.
HRESULT copyVariant(VARIANT* dest, const VARIANT* source) {
    *dest = *source;
    if ((source->vt & VT_BYREF) != 0) return S_OK;
    HRESULT hr = S_OK;
    if ((source->vt & VT_ARRAY) != 0) {
        dest->parray = nullptr;
        hr = copyArray(source->parray, &dest->parray);
    } else if (source->vt == VT_BSTR) {
        dest->bstrVal = copyString(source->bstrVal);
        if (source->bstrVal != nullptr && dest->bstrVal == nullptr) hr = E_OUTOFMEMORY;
    } else if (source->vt == VT_UNKNOWN || source->vt == VT_DISPATCH) {
        if (dest->punkVal != nullptr) dest->punkVal->AddRef();
    }
    if (FAILED(hr)) dest->vt = VT_EMPTY;
    return hr;
}

}  // namespace WinCompat::detail

WINCOMPAT_API void VariantInit(VARIANTARG* pvarg) {
    if (pvarg == nullptr) return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
    pvarg->llVal = 0;
}

WINCOMPAT_API HRESULT VariantClear(VARIANTARG* pvarg) {
    if (pvarg == nullptr) return E_INVALIDARG;
    const HRESULT valid = WinCompat::detail::validateVartype(pvarg->vt);
    if (FAILED(valid)) return valid;
    if ((pvarg->vt & VT_BYREF) == 0) {
        if ((pvarg->vt & VT_ARRAY) != 0) {
            // A locked array stays where it is, so that its owner can unlock it and clear the value again.
            const HRESULT hr = SafeArrayDestroy(pvarg->parray);
            if (FAILED(hr)) return hr;
        } else if (pvarg->vt == VT_BSTR) {
            SysFreeString(pvarg->bstrVal);
        } else if (pvarg->vt == VT_UNKNOWN || pvarg->vt == VT_DISPATCH) {
            if (pvarg->punkVal != nullptr) pvarg->punkVal->Release();
        }
    }
    pvarg->vt = VT_EMPTY;
    pvarg->llVal = 0;
    return S_OK;
}

WINCOMPAT_API HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
    if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
    const HRESULT valid = WinCompat::detail::validateVartype(pvargSrc->vt);
    if (FAILED(valid)) return valid;
    if (pvargDest == pvargSrc) return S_OK;
    const HRESULT cleared = VariantClear(pvargDest);
    if (FAILED(cleared)) return cleared;
    if (!WinCompat::detail::allocationAllowed(WINCOMPAT_CALLER(), __func__)) return E_OUTOFMEMORY;
    return WinCompat::detail::copyVariant(pvargDest, pvargSrc);
}
