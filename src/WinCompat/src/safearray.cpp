// SAFEARRAYs as Windows lays them out: 16 hidden bytes before the descriptor (the element IID for arrays of
// interfaces, the VARTYPE in the last 4 bytes otherwise), bounds stored in reverse order of the dimensions,
// the first index varying fastest, lock counts, and deep copies of strings, values and interfaces.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "internal.h"

namespace {

constexpr std::size_t hiddenSize = 16;
constexpr ULONG maxLocks = 0xFFFF;
constexpr GUID iidIDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Size of one element of type `vt`, or 0 when arrays of that type are not supported.
ULONG elementSize(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
            return 8;
        case VT_BSTR:
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return sizeof(void*);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

std::size_t descriptorSize(UINT cDims) {
    return sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
}

char* blockOf(SAFEARRAY* psa) {
    return reinterpret_cast<char*>(psa) - hiddenSize;
}

SAFEARRAY* allocateDescriptor(UINT cDims) {
    auto* block = static_cast<char*>(std::calloc(1, hiddenSize + descriptorSize(cDims)));
    if (block == nullptr) return nullptr;
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + hiddenSize);
    psa->cDims = static_cast<USHORT>(cDims);
    return psa;
}

void setFeatures(SAFEARRAY* psa, VARTYPE vt) {
    char* hidden = blockOf(psa);
    if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        psa->fFeatures = FADF_HAVEIID | (vt == VT_DISPATCH ? FADF_DISPATCH : FADF_UNKNOWN);
        std::memcpy(hidden, vt == VT_DISPATCH ? &iidIDispatch : &IID_IUnknown, sizeof(GUID));
    } else {
        psa->fFeatures = FADF_HAVEVARTYPE;
        const DWORD stored = vt;
        std::memcpy(hidden + hiddenSize - sizeof(DWORD), &stored, sizeof stored);
        if (vt == VT_BSTR) psa->fFeatures |= FADF_BSTR;
        if (vt == VT_VARIANT) psa->fFeatures |= FADF_VARIANT;
    }
}

// Number of elements, or false when it does not fit in memory.
bool cellCount(const SAFEARRAY* psa, std::size_t& count) {
    count = 1;
    for (USHORT d = 0; d < psa->cDims; ++d) {
        const ULONG n = psa->rgsabound[d].cElements;
        if (n != 0 && count > std::numeric_limits<std::size_t>::max() / n) return false;
        count *= n;
    }
    return true;
}

bool allocateData(SAFEARRAY* psa) {
    std::size_t count = 0;
    if (!cellCount(psa, count)) return false;
    if (psa->cbElements != 0 && count > std::numeric_limits<std::size_t>::max() / 2 / psa->cbElements) return false;
    const std::size_t bytes = count * psa->cbElements;
    psa->pvData = std::calloc(bytes == 0 ? 1 : bytes, 1);
    return psa->pvData != nullptr;
}

// Releases what the elements own (strings, values, interfaces) and leaves them zeroed.
void releaseElements(SAFEARRAY* psa) {
    if (psa->pvData == nullptr) return;
    std::size_t count = 0;
    if (!cellCount(psa, count)) return;
    if ((psa->fFeatures & FADF_BSTR) != 0) {
        auto* strings = static_cast<BSTR*>(psa->pvData);
        for (std::size_t i = 0; i < count; ++i) SysFreeString(strings[i]), strings[i] = nullptr;
    } else if ((psa->fFeatures & FADF_VARIANT) != 0) {
        auto* values = static_cast<VARIANT*>(psa->pvData);
        for (std::size_t i = 0; i < count; ++i) VariantClear(&values[i]);
    } else if ((psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) != 0) {
        auto* objects = static_cast<IUnknown**>(psa->pvData);
        for (std::size_t i = 0; i < count; ++i) {
            if (objects[i] != nullptr) objects[i]->Release();
            objects[i] = nullptr;
        }
    }
}

void freeArray(SAFEARRAY* psa) {
    releaseElements(psa);
    std::free(psa->pvData);
    std::free(blockOf(psa));
    WinCompat::detail::arrayDestroyed();
}

SAFEARRAY* create(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* rgsabound) {
    if (cDims == 0 || cDims > 0xFFFF || rgsabound == nullptr) return nullptr;
    const ULONG size = elementSize(vt);
    if (size == 0) return nullptr;
    SAFEARRAY* psa = allocateDescriptor(cDims);
    if (psa == nullptr) return nullptr;
    setFeatures(psa, vt);
    psa->cbElements = size;
    for (UINT d = 0; d < cDims; ++d) psa->rgsabound[cDims - 1 - d] = rgsabound[d];
    if (!allocateData(psa)) {
        std::free(blockOf(psa));
        return nullptr;
    }
    WinCompat::detail::arrayCreated();
    return psa;
}

std::atomic_ref<ULONG> locks(SAFEARRAY* psa) {
    return std::atomic_ref<ULONG>(psa->cLocks);
}

// Offset of the cell at `rgIndices` (first index first), or false when an index is out of its bounds.
bool cellOffset(SAFEARRAY* psa, const LONG* rgIndices, std::size_t& offset) {
    std::size_t cell = 0, stride = 1;
    for (USHORT d = 0; d < psa->cDims; ++d) {
        const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - 1 - d];
        const long long relative = static_cast<long long>(rgIndices[d]) - bound.lLbound;
        if (relative < 0 || relative >= static_cast<long long>(bound.cElements)) return false;
        cell += static_cast<std::size_t>(relative) * stride;
        stride *= bound.cElements;
    }
    offset = cell * psa->cbElements;
    return true;
}

}  // namespace

namespace WinCompat::detail {

HRESULT copyArray(SAFEARRAY* source, SAFEARRAY** result) {
    *result = nullptr;
    if (source == nullptr) return S_OK;
    SAFEARRAY* copy = allocateDescriptor(source->cDims == 0 ? 1 : source->cDims);
    if (copy == nullptr) return E_OUTOFMEMORY;
    std::memcpy(blockOf(copy), blockOf(source),
                hiddenSize + descriptorSize(source->cDims == 0 ? 1 : source->cDims));
    copy->cLocks = 0;
    copy->pvData = nullptr;
    copy->fFeatures &= ~(FADF_AUTO | FADF_STATIC | FADF_EMBEDDED | FADF_FIXEDSIZE);
    if (!allocateData(copy)) {
        std::free(blockOf(copy));
        return E_OUTOFMEMORY;
    }
    arrayCreated();
    std::size_t count = 0;
    cellCount(source, count);
    if (source->pvData == nullptr) return *result = copy, S_OK;
    if ((source->fFeatures & FADF_BSTR) != 0) {
        auto* from = static_cast<BSTR*>(source->pvData);
        auto* to = static_cast<BSTR*>(copy->pvData);
        for (std::size_t i = 0; i < count; ++i) {
            to[i] = copyString(from[i]);
            if (from[i] != nullptr && to[i] == nullptr) return freeArray(copy), E_OUTOFMEMORY;
        }
    } else if ((source->fFeatures & FADF_VARIANT) != 0) {
        auto* from = static_cast<VARIANT*>(source->pvData);
        auto* to = static_cast<VARIANT*>(copy->pvData);
        for (std::size_t i = 0; i < count; ++i) {
            const HRESULT hr = copyVariant(&to[i], &from[i]);
            if (FAILED(hr)) return freeArray(copy), hr;
        }
    } else if ((source->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) != 0) {
        auto* from = static_cast<IUnknown**>(source->pvData);
        auto* to = static_cast<IUnknown**>(copy->pvData);
        for (std::size_t i = 0; i < count; ++i) {
            to[i] = from[i];
            if (to[i] != nullptr) to[i]->AddRef();
        }
    } else {
        std::memcpy(copy->pvData, source->pvData, count * source->cbElements);
    }
    *result = copy;
    return S_OK;
}

}  // namespace WinCompat::detail

WINCOMPAT_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    if (cDims == 0 || rgsabound == nullptr || elementSize(vt) == 0) return nullptr;
    if (!WinCompat::detail::allocationAllowed(WINCOMPAT_CALLER(), __func__)) return nullptr;
    return create(vt, cDims, rgsabound);
}

WINCOMPAT_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    if (elementSize(vt) == 0) return nullptr;
    if (!WinCompat::detail::allocationAllowed(WINCOMPAT_CALLER(), __func__)) return nullptr;
    const SAFEARRAYBOUND bound{cElements, lLbound};
    return create(vt, 1, &bound);
}

WINCOMPAT_API HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (psa == nullptr) return S_OK;
    if (locks(psa).load() != 0) return DISP_E_ARRAYISLOCKED;
    freeArray(psa);
    return S_OK;
}

WINCOMPAT_API HRESULT SafeArrayLock(SAFEARRAY* psa) {
    if (psa == nullptr) return E_INVALIDARG;
    if (locks(psa).fetch_add(1) + 1 > maxLocks) {
        locks(psa).fetch_sub(1);
        return E_UNEXPECTED;
    }
    return S_OK;
}

WINCOMPAT_API HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
    if (psa == nullptr) return E_INVALIDARG;
    ULONG current = locks(psa).load();
    do {
        if (current == 0) return E_UNEXPECTED;
    } while (!locks(psa).compare_exchange_weak(current, current - 1));
    return S_OK;
}

WINCOMPAT_API HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (psa == nullptr || ppvData == nullptr) return E_INVALIDARG;
    const HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

WINCOMPAT_API HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    return SafeArrayUnlock(psa);
}

WINCOMPAT_API UINT SafeArrayGetDim(SAFEARRAY* psa) {
    return psa == nullptr ? 0 : psa->cDims;
}

WINCOMPAT_API UINT SafeArrayGetElemsize(SAFEARRAY* psa) {
    return psa == nullptr ? 0 : psa->cbElements;
}

WINCOMPAT_API HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (psa == nullptr || plLbound == nullptr) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
    return S_OK;
}

WINCOMPAT_API HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (psa == nullptr || plUbound == nullptr) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - nDim];
    *plUbound = static_cast<LONG>(static_cast<long long>(bound.lLbound) + bound.cElements - 1);
    return S_OK;
}

WINCOMPAT_API HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (psa == nullptr || pvt == nullptr) return E_INVALIDARG;
    if ((psa->fFeatures & (FADF_HAVEIID | FADF_DISPATCH)) == (FADF_HAVEIID | FADF_DISPATCH)) {
        *pvt = VT_DISPATCH;
    } else if ((psa->fFeatures & FADF_HAVEIID) != 0) {
        *pvt = VT_UNKNOWN;
    } else if ((psa->fFeatures & FADF_HAVEVARTYPE) != 0) {
        DWORD stored = 0;
        std::memcpy(&stored, blockOf(psa) + hiddenSize - sizeof(DWORD), sizeof stored);
        *pvt = static_cast<VARTYPE>(stored);
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

WINCOMPAT_API HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (ppsaOut == nullptr) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (psa == nullptr) return S_OK;
    if (!WinCompat::detail::allocationAllowed(WINCOMPAT_CALLER(), __func__)) return E_OUTOFMEMORY;
    return WinCompat::detail::copyArray(psa, ppsaOut);
}

WINCOMPAT_API HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
    if (psa == nullptr || rgIndices == nullptr || ppvData == nullptr) return E_INVALIDARG;
    std::size_t offset = 0;
    if (!cellOffset(psa, rgIndices, offset)) return DISP_E_BADINDEX;
    *ppvData = static_cast<char*>(psa->pvData) + offset;
    return S_OK;
}

WINCOMPAT_API HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (psa == nullptr || rgIndices == nullptr) return E_INVALIDARG;
    const bool byPointerValue = (psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH)) != 0;
    if (pv == nullptr && !byPointerValue) return E_INVALIDARG;
    std::size_t offset = 0;
    if (!cellOffset(psa, rgIndices, offset)) return DISP_E_BADINDEX;
    HRESULT hr = SafeArrayLock(psa);
    if (FAILED(hr)) return hr;
    void* cell = static_cast<char*>(psa->pvData) + offset;
    if ((psa->fFeatures & FADF_BSTR) != 0) {
        auto source = static_cast<BSTR>(pv);
        BSTR copy = WinCompat::detail::allocStringBytes(source, SysStringByteLen(source));
        if (copy == nullptr) {
            hr = E_OUTOFMEMORY;
        } else {
            SysFreeString(*static_cast<BSTR*>(cell));
            *static_cast<BSTR*>(cell) = copy;
        }
    } else if ((psa->fFeatures & FADF_VARIANT) != 0) {
        hr = WinCompat::detail::validateVartype(static_cast<VARIANT*>(pv)->vt);
        if (SUCCEEDED(hr)) hr = VariantClear(static_cast<VARIANT*>(cell));
        if (SUCCEEDED(hr))
            hr = WinCompat::detail::copyVariant(static_cast<VARIANT*>(cell), static_cast<VARIANT*>(pv));
    } else if ((psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) != 0) {
        auto* object = static_cast<IUnknown*>(pv);
        if (object != nullptr) object->AddRef();
        IUnknown* old = *static_cast<IUnknown**>(cell);
        *static_cast<IUnknown**>(cell) = object;
        if (old != nullptr) old->Release();
    } else {
        std::memcpy(cell, pv, psa->cbElements);
    }
    SafeArrayUnlock(psa);
    return hr;
}

WINCOMPAT_API HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (psa == nullptr || rgIndices == nullptr || pv == nullptr) return E_INVALIDARG;
    std::size_t offset = 0;
    if (!cellOffset(psa, rgIndices, offset)) return DISP_E_BADINDEX;
    HRESULT hr = SafeArrayLock(psa);
    if (FAILED(hr)) return hr;
    const void* cell = static_cast<const char*>(psa->pvData) + offset;
    if ((psa->fFeatures & FADF_BSTR) != 0) {
        BSTR source = *static_cast<const BSTR*>(cell);
        BSTR copy = WinCompat::detail::copyString(source);
        if (source != nullptr && copy == nullptr) hr = E_OUTOFMEMORY;
        *static_cast<BSTR*>(pv) = copy;
    } else if ((psa->fFeatures & FADF_VARIANT) != 0) {
        auto* dest = static_cast<VARIANT*>(pv);
        VariantInit(dest);
        hr = WinCompat::detail::copyVariant(dest, static_cast<const VARIANT*>(cell));
    } else if ((psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) != 0) {
        IUnknown* object = *static_cast<IUnknown* const*>(cell);
        if (object != nullptr) object->AddRef();
        *static_cast<IUnknown**>(pv) = object;
    } else {
        std::memcpy(pv, cell, psa->cbElements);
    }
    SafeArrayUnlock(psa);
    return hr;
}
