#include <gtest/gtest.h>

#include "Text.h"

namespace HyperVSim::cimxml {
namespace {

TEST(CimXmlText, Utf8RoundTripsEveryPlane) {
    const std::wstring text = L"A\u00e9\u65e5\U0001F600\U0010FFFF";
    EXPECT_EQ(toUtf8(text), "A\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF");
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
}

TEST(CimXmlText, UnencodableCodePointsBecomeReplacementCharacter) {
    const std::wstring invalid{static_cast<wchar_t>(0xD800), L'x', static_cast<wchar_t>(0x110000)};
    EXPECT_EQ(toUtf8(invalid), "\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST(CimXmlText, MalformedUtf8BecomesReplacementCharacter) {
    EXPECT_EQ(fromUtf8("a\x80"
                       "b"),
              L"a\xFFFD"
              L"b");                                                       // stray continuation byte
    EXPECT_EQ(fromUtf8("\xC0\xAF"), L"\xFFFD\xFFFD");                      // overlong '/'
    EXPECT_EQ(fromUtf8("\xED\xA0\x80"), L"\xFFFD\xFFFD\xFFFD");            // encoded surrogate
    EXPECT_EQ(fromUtf8("\xE6\x97"), L"\xFFFD");                            // truncated at the end
    EXPECT_EQ(fromUtf8("\xF4\x90\x80\x80"), L"\xFFFD\xFFFD\xFFFD\xFFFD");  // above U+10FFFF
}

TEST(CimXmlText, CaseInsensitiveComparisonIsAsciiFolding) {
    EXPECT_TRUE(equalsIgnoringCase(L"InstanceID", L"INSTANCEid"));
    EXPECT_FALSE(equalsIgnoringCase(L"Name", L"Names"));
    EXPECT_TRUE(lessIgnoringCase(L"alpha", L"Beta"));
    EXPECT_FALSE(lessIgnoringCase(L"Beta", L"alpha"));
    EXPECT_TRUE(lessIgnoringCase(L"Name", L"name_x"));
    EXPECT_FALSE(lessIgnoringCase(L"NAME", L"name"));
}

}  // namespace
}  // namespace HyperVSim::cimxml
