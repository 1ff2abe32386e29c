// Wide (UTF-32) and narrow text in the ANSI code page, UTF-8: invalid text replaced or refused as on Windows.
#include "PlatformTest.h"

using TextConversionTest = PlatformTest;

namespace {

// The first and last character of each UTF-8 length, and their bytes.
const std::wstring boundaries = L"\u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF";
const std::string boundaryBytes = "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
const std::wstring invalidWide = {L'g', static_cast<wchar_t>(0xD800), L'h', static_cast<wchar_t>(0x110000)};

HRESULT lastErrorOf(int result) {
    const DWORD error = result == 0 ? GetLastError() : ERROR_SUCCESS;
    SetLastError(ERROR_SUCCESS);
    return static_cast<HRESULT>(error);
}

}  // namespace

TEST_F(TextConversionTest, WideTextBecomesUtf8WithoutATerminatorUnlessGivenOne) {
    EXPECT_EQ(GetACP(), 65001u);
    const struct {
        UINT page;
        std::wstring wide;
        std::string bytes;
        BOOL usedDefault = FALSE;
    } rows[] = {{CP_ACP, boundaries, boundaryBytes},
                {CP_UTF8, boundaries, boundaryBytes},
                {CP_ACP, std::wstring(L"abc", 4), std::string("abc", 4)},
                {CP_ACP, invalidWide, "g?h?", TRUE},
                {CP_UTF8, invalidWide, "g\xEF\xBF\xBDh\xEF\xBF\xBD"}};  // CP_UTF8 takes no default character
    for (const auto& row : rows) {
        const int count = static_cast<int>(row.wide.size()), size = static_cast<int>(row.bytes.size());
        std::string buffer(row.bytes.size() + 1, 'x');
        BOOL used = 2;
        EXPECT_EQ(WideCharToMultiByte(row.page, 0, row.wide.data(), count, nullptr, 0, nullptr, nullptr), size);
        EXPECT_EQ(WideCharToMultiByte(row.page, 0, row.wide.data(), count, buffer.data(), size + 1, nullptr,
                                      row.page == CP_UTF8 ? nullptr : &used),
                  size);
        EXPECT_EQ(buffer, row.bytes + 'x');
        EXPECT_EQ(used, row.page == CP_UTF8 ? 2 : row.usedDefault) << row.bytes;
    }
}

TEST_F(TextConversionTest, Utf8BecomesWideTextWithOneReplacementPerInvalidPart) {
    const std::pair<std::string, std::wstring> rows[] = {
        {boundaryBytes, boundaries},
        {std::string("abc", 4), std::wstring(L"abc", 4)},
        // A lone continuation byte, a truncated sequence, an encoded surrogate, an overlong form and a code
        // point above U+10FFFF.
        {"g\x80h\xE4\xB8i\xED\xA0\x80j\xC0\x80k\xF4\x90\x80\x80",
         L"g\uFFFDh\uFFFDi\uFFFD\uFFFD\uFFFDj\uFFFD\uFFFDk\uFFFD\uFFFD\uFFFD\uFFFD"}};
    for (const UINT page : {CP_ACP, CP_UTF8}) {
        for (const auto& [bytes, wide] : rows) {
            const int count = static_cast<int>(bytes.size()), size = static_cast<int>(wide.size());
            std::wstring buffer(wide.size() + 1, L'x');
            EXPECT_EQ(MultiByteToWideChar(page, 0, bytes.data(), count, nullptr, 0), size);
            EXPECT_EQ(MultiByteToWideChar(page, 0, bytes.data(), count, buffer.data(), size + 1), size);
            EXPECT_EQ(buffer, wide + L'x') << bytes;
        }
    }
}

TEST_F(TextConversionTest, ShortBuffersAndUntranslatableTextFailWithTheLastError) {
    char bytes[8];
    wchar_t wide[8];
    EXPECT_EQ((Results{lastErrorOf(WideCharToMultiByte(CP_ACP, 0, L"abc", -1, bytes, 3, nullptr, nullptr)),
                       lastErrorOf(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 3)),
                       lastErrorOf(WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, invalidWide.data(), 2, bytes,
                                                       8, nullptr, nullptr)),
                       lastErrorOf(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, invalidWide.data(), 2,
                                                       nullptr, 0, nullptr, nullptr)),
                       lastErrorOf(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\x80", 2, wide, 8))}),
              (Results{ERROR_INSUFFICIENT_BUFFER, ERROR_INSUFFICIENT_BUFFER, ERROR_NO_UNICODE_TRANSLATION,
                       ERROR_NO_UNICODE_TRANSLATION, ERROR_NO_UNICODE_TRANSLATION}));
}
