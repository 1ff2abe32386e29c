// WideCharToMultiByte / MultiByteToWideChar (UTF-8 for the ANSI code page, UTF-32 wide text), the last
// error, GetACP and wcscpy_s.
#include <cerrno>
#include <string>
#include <thread>

#include "TestSupport.h"

using TextConversionTest = PlatformTest;

namespace {

std::string narrow(const wchar_t* wide, int count, UINT page = CP_ACP, DWORD flags = 0) {
    const int size = WideCharToMultiByte(page, flags, wide, count, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    if (size > 0) WideCharToMultiByte(page, flags, wide, count, out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace

TEST_F(TextConversionTest, AnsiCodePageIsUtf8) {
    EXPECT_EQ(GetACP(), 65001u);
    const wchar_t* wide = L"caf\u00e9 \u4e2d \U0001F600";
    EXPECT_EQ(narrow(wide, -1), std::string("caf\xc3\xa9 \xe4\xb8\xad \xf0\x9f\x98\x80", 14) + '\0');
    EXPECT_EQ(narrow(wide, -1, CP_UTF8), narrow(wide, -1, CP_ACP));
}

TEST_F(TextConversionTest, SizeQueryCountsTheTerminatorOnlyWhenAsked) {
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"abc", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"abc", 3, nullptr, 0, nullptr, nullptr), 3);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"\u00e9", 1, nullptr, 0, nullptr, nullptr), 2);
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"abc", 3, buffer, 8, nullptr, nullptr), 3);
    EXPECT_EQ(std::string(buffer, 4), "abcx");  // no terminator unless it is part of the input
}

TEST_F(TextConversionTest, TooSmallBufferFailsWithInsufficientBuffer) {
    char buffer[3];
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"abc", -1, buffer, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    wchar_t wide[2];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(TextConversionTest, BadArgumentsFailWithInvalidParameter) {
    char buffer[8];
    const auto check = [](int result) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        SetLastError(0);
    };
    check(WideCharToMultiByte(CP_ACP, 0, nullptr, -1, buffer, 8, nullptr, nullptr));
    check(WideCharToMultiByte(CP_ACP, 0, L"a", 0, buffer, 8, nullptr, nullptr));
    check(WideCharToMultiByte(CP_ACP, 0, L"a", -2, buffer, 8, nullptr, nullptr));
    check(WideCharToMultiByte(CP_ACP, 0, L"a", 1, nullptr, 8, nullptr, nullptr));
    check(WideCharToMultiByte(CP_ACP, 0, L"a", 1, buffer, -1, nullptr, nullptr));
    check(WideCharToMultiByte(12345, 0, L"a", 1, buffer, 8, nullptr, nullptr));
    BOOL used = FALSE;
    check(WideCharToMultiByte(CP_UTF8, 0, L"a", 1, buffer, 8, nullptr, &used));  // not allowed for CP_UTF8
    wchar_t wide[4];
    check(MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 4));
    check(MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 4));
    check(MultiByteToWideChar(CP_UTF8, 0, "a", 1, nullptr, 4));
    check(MultiByteToWideChar(CP_UTF8, 0, "a", 1, wide, -1));
}

TEST_F(TextConversionTest, InvalidCodePointsBecomeTheDefaultCharacter) {
    const wchar_t wide[] = {L'a', static_cast<wchar_t>(0xD800), L'b', static_cast<wchar_t>(0x110000), 0};
    char buffer[16];
    BOOL used = FALSE;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, 16, nullptr, &used), 5);
    EXPECT_EQ(std::string(buffer), "a?b?");
    EXPECT_EQ(used, TRUE);
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, L"ok", -1, buffer, 16, nullptr, &used), 3);
    EXPECT_EQ(used, FALSE);
    const char star = '*';
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, 16, &star, &used), 5);
    EXPECT_EQ(std::string(buffer), "a*b*");
    // CP_UTF8 replaces them with U+FFFD, as Windows does for that page.
    EXPECT_EQ(narrow(wide, 2, CP_UTF8), "a\xef\xbf\xbd");
}

TEST_F(TextConversionTest, InvalidCodePointsFailWithErrInvalidChars) {
    const wchar_t wide[] = {L'a', static_cast<wchar_t>(0xDC00), 0};
    char buffer[16];
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, wide, -1, buffer, 16, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, nullptr, 0, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, L"fine", -1, nullptr, 0, nullptr, nullptr), 5);
}

TEST_F(TextConversionTest, MultiByteToWideDecodesUtf8) {
    wchar_t wide[16];
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "caf\xc3\xa9 \xf0\x9f\x98\x80", -1, wide, 16), 7);
    EXPECT_EQ(std::wstring(wide), L"caf\u00e9 \U0001F600");
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0), 4);
}

TEST_F(TextConversionTest, InvalidUtf8BecomesReplacementOrFails) {
    wchar_t wide[16];
    // A lone continuation byte, a truncated sequence and an encoded surrogate.
    const char bad[] =
        "a\x80"
        "b\xe4\xb8"
        "c\xed\xa0\x80";
    const int n = MultiByteToWideChar(CP_UTF8, 0, bad, -1, wide, 16);
    EXPECT_EQ(std::wstring(wide, static_cast<std::size_t>(n)),
              std::wstring(L"a\uFFFDb\uFFFDc\uFFFD\uFFFD\uFFFD") + L'\0');
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, -1, wide, 16), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST_F(TextConversionTest, LastErrorIsPerThread) {
    SetLastError(ERROR_INVALID_PARAMETER);
    DWORD other = 1;
    std::thread([&] {
        other = GetLastError();
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
    }).join();
    EXPECT_EQ(other, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(TextConversionTest, WcscpySCopiesOrReportsWhy) {
    wchar_t buffer[5] = L"zzzz";
    EXPECT_EQ(wcscpy_s(buffer, 5, L"abcd"), 0);
    EXPECT_EQ(std::wstring(buffer), L"abcd");
    EXPECT_EQ(wcscpy_s(buffer, 5, L"abcde"), ERANGE);
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(wcscpy_s(nullptr, 5, L"a"), EINVAL);
    EXPECT_EQ(wcscpy_s(buffer, 0, L"a"), EINVAL);
    buffer[0] = L'q';
    EXPECT_EQ(wcscpy_s(buffer, 5, nullptr), EINVAL);
    EXPECT_EQ(buffer[0], L'\0');
}
