// BSTR: length prefix, embedded zeros, byte lengths, null handling and VarBstrCat.
#include <cstring>

#include "TestSupport.h"

using BstrTest = PlatformTest;

TEST_F(BstrTest, AllocStringCopiesTextWithLengthPrefixAndTerminator) {
    BSTR s = SysAllocString(L"Hyper-V");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 7u);
    EXPECT_EQ(SysStringByteLen(s), 7u * sizeof(OLECHAR));
    std::uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
    EXPECT_EQ(prefix, 7u * sizeof(OLECHAR));
    EXPECT_EQ(s[7], L'\0');
    EXPECT_EQ(text(s), L"Hyper-V");
    SysFreeString(s);
}

TEST_F(BstrTest, NullArgumentsAreHandledAsWindowsDoes) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST_F(BstrTest, EmptyStringIsNotNull) {
    BSTR s = SysAllocString(L"");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 0u);
    EXPECT_EQ(s[0], L'\0');
    SysFreeString(s);
}

TEST_F(BstrTest, AllocStringLenKeepsEmbeddedZeros) {
    const wchar_t source[] = {L'a', L'\0', L'b', L'c'};
    BSTR s = SysAllocStringLen(source, 4);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 4u);
    EXPECT_EQ(std::wcslen(s), 1u);
    EXPECT_EQ(text(s), std::wstring(source, 4));
    EXPECT_EQ(s[4], L'\0');
    SysFreeString(s);
}

TEST_F(BstrTest, AllocStringLenWithNullSourceGivesZeroedStorage) {
    BSTR s = SysAllocStringLen(nullptr, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(s[3], L'\0');
    SysFreeString(s);
}

TEST_F(BstrTest, AllocStringByteLenCopiesBytes) {
    BSTR s = SysAllocStringByteLen("abc", 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringByteLen(s), 3u);
    EXPECT_EQ(SysStringLen(s), 0u);  // fewer bytes than one wide character
    EXPECT_EQ(std::memcmp(s, "abc", 3), 0);
    EXPECT_EQ(reinterpret_cast<const char*>(s)[3], '\0');
    SysFreeString(s);

    const wchar_t wide[] = L"xy";
    BSTR w = SysAllocStringByteLen(reinterpret_cast<const char*>(wide), 2 * sizeof(wchar_t));
    EXPECT_EQ(text(w), L"xy");
    SysFreeString(w);
}

TEST_F(BstrTest, VarBstrCatJoinsAndTreatsNullAsEmpty) {
    BSTR left = SysAllocString(L"root\\");
    BSTR right = SysAllocString(L"virtualization");
    BSTR result = nullptr;
    ASSERT_EQ(VarBstrCat(left, right, &result), S_OK);
    EXPECT_EQ(text(result), L"root\\virtualization");
    EXPECT_EQ(SysStringLen(result), 19u);
    SysFreeString(result);

    ASSERT_EQ(VarBstrCat(nullptr, right, &result), S_OK);
    EXPECT_EQ(text(result), L"virtualization");
    SysFreeString(result);
    ASSERT_EQ(VarBstrCat(left, nullptr, &result), S_OK);
    EXPECT_EQ(text(result), L"root\\");
    SysFreeString(result);
    ASSERT_EQ(VarBstrCat(nullptr, nullptr, &result), S_OK);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(SysStringLen(result), 0u);
    SysFreeString(result);

    EXPECT_EQ(VarBstrCat(left, right, nullptr), E_INVALIDARG);
    SysFreeString(left);
    SysFreeString(right);
}

TEST_F(BstrTest, VarBstrCatKeepsEmbeddedZeros) {
    const wchar_t a[] = {L'a', L'\0'};
    BSTR left = SysAllocStringLen(a, 2);
    BSTR right = SysAllocString(L"b");
    BSTR result = nullptr;
    ASSERT_EQ(VarBstrCat(left, right, &result), S_OK);
    EXPECT_EQ(SysStringLen(result), 3u);
    EXPECT_EQ(text(result), std::wstring(L"a\0b", 3));
    SysFreeString(result);
    SysFreeString(left);
    SysFreeString(right);
}

TEST_F(BstrTest, LiveStringsAreCounted) {
    const long before = WinCompat::Testing::liveCounts().strings;
    BSTR a = SysAllocString(L"a");
    BSTR b = SysAllocStringLen(L"b", 1);
    EXPECT_EQ(WinCompat::Testing::liveCounts().strings, before + 2);
    SysFreeString(a);
    SysFreeString(b);
    EXPECT_EQ(WinCompat::Testing::liveCounts().strings, before);
}
