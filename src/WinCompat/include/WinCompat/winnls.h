// Text conversion and the thread's last-error code. Off Windows the ANSI code page is UTF-8, and wide
// characters are UTF-32 (wchar_t is 32 bits wide).
#pragma once

#include "WinCompat/basetypes.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;

WINCOMPAT_API int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                                      LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                                      LPBOOL lpUsedDefaultChar);
WINCOMPAT_API int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                                      LPWSTR lpWideCharStr, int cchWideChar);
WINCOMPAT_API DWORD GetLastError();
WINCOMPAT_API void SetLastError(DWORD dwErrCode);
WINCOMPAT_API UINT GetACP();
WINCOMPAT_API errno_t wcscpy_s(wchar_t* dest, std::size_t destsz, const wchar_t* src);
