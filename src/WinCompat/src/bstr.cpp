// Length-prefixed wide strings (BSTR): a 4-byte byte count, the characters, then a zero character.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "internal.h"

namespace {

constexpr std::size_t prefixSize = sizeof(std::uint32_t);
// Largest byte count that keeps the prefix, the characters and the terminator within 32 bits, as on Windows.
constexpr std::size_t maxByteLength = std::numeric_limits<std::uint32_t>::max() - prefixSize - 2 * sizeof(OLECHAR);

std::uint32_t* prefixOf(BSTR string) {
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(string) - prefixSize);
}

// Storage for `byteLength` bytes of text; the text is left to the caller, the terminator is written.
BSTR allocateBytes(std::size_t byteLength) {
    if (byteLength > maxByteLength) return nullptr;
    // Prefix, text, then zeros up to and including a whole terminating character after an odd byte count.
    const std::size_t total = prefixSize + byteLength + 2 * sizeof(OLECHAR);
    auto* block = static_cast<char*>(std::malloc(total));
    if (block == nullptr) return nullptr;
    const auto length = static_cast<std::uint32_t>(byteLength);
    std::memcpy(block, &length, prefixSize);
    std::memset(block + prefixSize + byteLength, 0, 2 * sizeof(OLECHAR));
    WinCompat::detail::stringAllocated();
    return reinterpret_cast<BSTR>(block + prefixSize);
}

}  // namespace

namespace WinCompat::detail {

BSTR allocStringBytes(const void* bytes, UINT byteLength) {
    BSTR result = allocateBytes(byteLength);
    if (result == nullptr) return nullptr;
    if (bytes != nullptr)
        std::memcpy(result, bytes, byteLength);
    else
        std::memset(result, 0, byteLength);
    return result;
}

}  // namespace WinCompat::detail

WINCOMPAT_API BSTR SysAllocString(const OLECHAR* psz) {
    if (psz == nullptr) return nullptr;
    if (!WinCompat::detail::allocationAllowed(WINCOMPAT_CALLER(), __func__)) return nullptr;
    const std::size_t length = std::wcslen(psz);
    if (length > maxByteLength / sizeof(OLECHAR)) return nullptr;
    return WinCompat::detail::allocStringBytes(psz, static_cast<UINT>(length * sizeof(OLECHAR)));
}

WINCOMPAT_API BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    if (!WinCompat::detail::allocationAllowed(WINCOMPAT_CALLER(), __func__)) return nullptr;
    if (ui > maxByteLength / sizeof(OLECHAR)) return nullptr;
    return WinCompat::detail::allocStringBytes(strIn, static_cast<UINT>(ui * sizeof(OLECHAR)));
}

WINCOMPAT_API BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) {
    if (!WinCompat::detail::allocationAllowed(WINCOMPAT_CALLER(), __func__)) return nullptr;
    return WinCompat::detail::allocStringBytes(psz, len);
}

WINCOMPAT_API void SysFreeString(BSTR bstrString) {
    if (bstrString == nullptr) return;
    WinCompat::detail::stringFreed();
    std::free(prefixOf(bstrString));
}

WINCOMPAT_API UINT SysStringByteLen(BSTR bstr) {
    if (bstr == nullptr) return 0;
    std::uint32_t length = 0;
    std::memcpy(&length, prefixOf(bstr), prefixSize);
    return length;
}

WINCOMPAT_API UINT SysStringLen(BSTR pbstr) {
    return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}

WINCOMPAT_API HRESULT VarBstrCat(BSTR bstrLeft, BSTR bstrRight, LPBSTR pbstrResult) {
    if (pbstrResult == nullptr) return E_INVALIDARG;
    *pbstrResult = nullptr;
    const UINT left = SysStringByteLen(bstrLeft);
    const UINT right = SysStringByteLen(bstrRight);
    if (std::size_t{left} + right > maxByteLength) return E_OUTOFMEMORY;
    if (!WinCompat::detail::allocationAllowed(WINCOMPAT_CALLER(), __func__)) return E_OUTOFMEMORY;
    BSTR result = allocateBytes(std::size_t{left} + right);
    if (result == nullptr) return E_OUTOFMEMORY;
    if (left != 0) std::memcpy(result, bstrLeft, left);
    if (right != 0) std::memcpy(reinterpret_cast<char*>(result) + left, bstrRight, right);
    *pbstrResult = result;
    return S_OK;
}
