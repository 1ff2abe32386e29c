// Text conversion between wide (UTF-32) and narrow text, the thread's last-error code, the ANSI code page
// (UTF-8 here) and the bounded wide-string copy.
//
// CP_ACP (and the other ANSI/OEM pages) behave as an ANSI code page whose repertoire is all of Unicode in
// UTF-8: a wide character that is not a Unicode scalar value (a surrogate or a value above U+10FFFF) cannot be
// represented and becomes the default character ('?' or *lpDefaultChar), reported through
// lpUsedDefaultChar. CP_UTF8 keeps Windows' rules for that page: lpDefaultChar and lpUsedDefaultChar must be
// null, and such characters become U+FFFD. In both, WC_ERR_INVALID_CHARS makes them fail the call with
// ERROR_NO_UNICODE_TRANSLATION. Invalid UTF-8 input becomes U+FFFD, one per maximal invalid subpart.
#include <cerrno>
#include <cstring>
#include <string>

#include "Common/Utf8.h"
#include "WinCompat/winnls.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

enum class Page { Ansi, Utf8, Unknown };

Page pageOf(UINT codePage) {
    if (codePage == CP_UTF8) return Page::Utf8;
    if (codePage <= 3 || codePage == GetACP()) return Page::Ansi;  // CP_ACP, CP_OEMCP, CP_MACCP, CP_THREAD_ACP
    return Page::Unknown;
}

int fail(DWORD error) {
    lastError = error;
    return 0;
}

}  // namespace

WINCOMPAT_API DWORD GetLastError() {
    return lastError;
}

WINCOMPAT_API void SetLastError(DWORD dwErrCode) {
    lastError = dwErrCode;
}

WINCOMPAT_API UINT GetACP() {
    return CP_UTF8;
}

WINCOMPAT_API int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                                      LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                                      LPBOOL lpUsedDefaultChar) {
    const Page page = pageOf(CodePage);
    if (page == Page::Unknown) return fail(ERROR_INVALID_PARAMETER);
    if (lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && lpMultiByteStr == nullptr) ||
        (lpMultiByteStr != nullptr && static_cast<const void*>(lpMultiByteStr) == lpWideCharStr))
        return fail(ERROR_INVALID_PARAMETER);
    if (page == Page::Utf8) {
        if ((dwFlags & ~WC_ERR_INVALID_CHARS) != 0) return fail(ERROR_INVALID_FLAGS);
        if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) return fail(ERROR_INVALID_PARAMETER);
    } else {
        constexpr DWORD ansiFlags = 0x10 /*DISCARDNS*/ | 0x20 /*SEPCHARS*/ | 0x40 /*DEFAULTCHAR*/ |
                                    WC_ERR_INVALID_CHARS | 0x200 /*COMPOSITECHECK*/ | 0x400 /*NO_BEST_FIT*/;
        if ((dwFlags & ~ansiFlags) != 0) return fail(ERROR_INVALID_FLAGS);
    }
    const std::size_t count =
        cchWideChar == -1 ? std::wcslen(lpWideCharStr) + 1 : static_cast<std::size_t>(cchWideChar);
    std::string out;
    out.reserve(count);
    bool usedDefault = false;
    for (std::size_t i = 0; i < count; ++i) {
        const auto c = static_cast<char32_t>(lpWideCharStr[i]);
        if (Common::isScalarValue(c)) {
            Common::appendUtf8(out, c);
        } else if ((dwFlags & WC_ERR_INVALID_CHARS) != 0) {
            return fail(ERROR_NO_UNICODE_TRANSLATION);
        } else if (page == Page::Utf8) {
            Common::appendUtf8(out, Common::replacementCharacter);
        } else {
            out += lpDefaultChar != nullptr ? *lpDefaultChar : '?';
            usedDefault = true;
        }
    }
    if (out.size() > 0x7FFFFFFF) return fail(ERROR_NOT_ENOUGH_MEMORY);
    const int needed = static_cast<int>(out.size());
    if (cbMultiByte != 0) {
        if (needed > cbMultiByte) return fail(ERROR_INSUFFICIENT_BUFFER);
        std::memcpy(lpMultiByteStr, out.data(), out.size());
    }
    if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    return needed;
}

WINCOMPAT_API int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                                      LPWSTR lpWideCharStr, int cchWideChar) {
    const Page page = pageOf(CodePage);
    if (page == Page::Unknown) return fail(ERROR_INVALID_PARAMETER);
    if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && lpWideCharStr == nullptr) ||
        (lpWideCharStr != nullptr && static_cast<const void*>(lpWideCharStr) == lpMultiByteStr))
        return fail(ERROR_INVALID_PARAMETER);
    if (page == Page::Utf8) {
        if ((dwFlags & ~MB_ERR_INVALID_CHARS) != 0) return fail(ERROR_INVALID_FLAGS);
    } else {
        constexpr DWORD ansiFlags =
            0x1 /*PRECOMPOSED*/ | 0x2 /*COMPOSITE*/ | 0x4 /*USEGLYPHCHARS*/ | MB_ERR_INVALID_CHARS;
        if ((dwFlags & ~ansiFlags) != 0 || (dwFlags & 0x3) == 0x3) return fail(ERROR_INVALID_FLAGS);
    }
    const std::size_t count =
        cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<std::size_t>(cbMultiByte);
    const std::string_view bytes(lpMultiByteStr, count);
    std::wstring out;
    out.reserve(count);
    for (std::size_t i = 0; i < count;) {
        char32_t c = 0;
        std::size_t consumed = 1;
        if (Common::decodeUtf8(bytes, i, c, consumed)) {
            out += static_cast<wchar_t>(c);
        } else if ((dwFlags & MB_ERR_INVALID_CHARS) != 0) {
            return fail(ERROR_NO_UNICODE_TRANSLATION);
        } else {
            out += static_cast<wchar_t>(Common::replacementCharacter);
        }
        i += consumed;
    }
    const int needed = static_cast<int>(out.size());
    if (cchWideChar != 0) {
        if (needed > cchWideChar) return fail(ERROR_INSUFFICIENT_BUFFER);
        std::wmemcpy(lpWideCharStr, out.data(), out.size());
    }
    return needed;
}

WINCOMPAT_API errno_t wcscpy_s(wchar_t* dest, std::size_t destsz, const wchar_t* src) {
    if (dest == nullptr || destsz == 0) return EINVAL;
    if (src == nullptr) {
        dest[0] = L'\0';
        return EINVAL;
    }
    const std::size_t length = std::wcslen(src);
    if (length >= destsz) {
        dest[0] = L'\0';
        return ERANGE;
    }
    std::wmemcpy(dest, src, length + 1);
    return 0;
}
