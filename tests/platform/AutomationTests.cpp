// BSTR and VARIANT as Windows has them: the string layout, null strings, joins, what clearing a value refuses
// or leaves alone, and copies and conversions making values of their own. (That clearing frees what a value
// owns, every suite's accounting sees.)
#include <cstring>

#include "PlatformTest.h"

using AutomationTest = PlatformTest;

TEST_F(AutomationTest, StringsHaveTheLayoutAndNullSemanticsOfWindows) {
    const long before = WinCompat::Testing::liveCounts().strings;
    const wchar_t zeros[] = {L'a', L'\0', L'b'};
    BSTR s = SysAllocStringLen(zeros, 3), blank = SysAllocStringLen(nullptr, 2), empty = SysAllocString(L"");
    std::uint32_t prefix = 0;  // the byte length, before the text
    std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
    EXPECT_EQ(prefix, 3 * sizeof(OLECHAR));
    EXPECT_EQ(SysStringByteLen(s), prefix);
    EXPECT_EQ(std::wstring(s, 4), std::wstring(zeros, 3) + L'\0');
    EXPECT_EQ(std::wstring(blank, 3), std::wstring(3, L'\0'));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty) + SysStringLen(nullptr) + SysStringByteLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(WinCompat::Testing::liveCounts().strings, before + 3);
    const struct {
        BSTR left, right;
        std::wstring joined;
    } joins[] = {{s, s, text(s) + text(s)}, {nullptr, s, text(s)}, {s, nullptr, text(s)}, {nullptr, nullptr, L""}};
    for (const auto& join : joins) {
        BSTR result = nullptr;
        ASSERT_EQ(VarBstrCat(join.left, join.right, &result), S_OK);
        ASSERT_NE(result, nullptr);  // two null strings join to an empty string
        EXPECT_EQ(text(result), join.joined);
        SysFreeString(result);
    }
    EXPECT_EQ(VarBstrCat(s, s, nullptr), E_INVALIDARG);
    for (BSTR owned : {s, blank, empty, BSTR{}}) SysFreeString(owned);
}

TEST_F(AutomationTest, ClearingRefusesLockedArraysAndBadTypes) {
    VARIANT v;
    v.vt = VT_I4;
    VariantInit(&v);
    EXPECT_EQ(v.vt, VT_EMPTY);
    BSTR kept = SysAllocString(L"kept");
    v.vt = VT_BYREF | VT_BSTR;
    v.byref = &kept;
    EXPECT_EQ(VariantClear(&v), S_OK);  // a reference owns nothing
    EXPECT_EQ(text(kept), L"kept");
    SysFreeString(kept);
    v.vt = VT_ARRAY | VT_BSTR;
    v.parray = SafeArrayCreateVector(VT_BSTR, 0, 2);
    EXPECT_EQ((Results{SafeArrayLock(v.parray), VariantClear(&v)}), (Results{S_OK, DISP_E_ARRAYISLOCKED}));
    EXPECT_EQ(v.vt, VT_ARRAY | VT_BSTR);  // left as it was, for the owner to unlock and clear
    EXPECT_EQ((Results{SafeArrayUnlock(v.parray), VariantClear(&v), VariantClear(nullptr)}),
              (Results{S_OK, S_OK, E_INVALIDARG}));
    for (VARTYPE bad : {VARTYPE{15}, VARTYPE(VT_ARRAY | VT_NULL)}) {
        v.vt = bad;
        EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE) << bad;
    }
}

TEST_F(AutomationTest, CopiesAndConversionsMakeValuesOfTheirOwn) {
    VARIANT source, copy, flag, number;
    for (VARIANT* v : {&copy, &flag, &number}) VariantInit(v);
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(L" tRuE ");
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_NE(copy.bstrVal, source.bstrVal);
    EXPECT_EQ(text(copy.bstrVal), L" tRuE ");
    // Booleans read from text in any case, and written as a word or as the number they are.
    EXPECT_EQ((Results{VariantChangeType(&flag, &source, 0, VT_BOOL),
                       VariantChangeType(&copy, &flag, VARIANT_ALPHABOOL, VT_BSTR),
                       VariantChangeType(&source, &flag, 0, VT_BSTR)}),
              (Results{S_OK, S_OK, S_OK}));
    EXPECT_EQ(text(copy.bstrVal) + L" " + text(source.bstrVal), L"True -1");
    // Numbers read from text round half to even; a failed conversion leaves the destination as it was.
    SysFreeString(std::exchange(source.bstrVal, SysAllocString(L" 2.5 ")));
    EXPECT_EQ(VariantChangeType(&number, &source, 0, VT_I4), S_OK);
    SysFreeString(std::exchange(source.bstrVal, SysAllocString(L"-1")));
    EXPECT_EQ((Results{VariantChangeType(&number, &source, 0, VT_UI4), VariantChangeType(&number, &source, 0, 15)}),
              (Results{DISP_E_OVERFLOW, DISP_E_BADVARTYPE}));
    EXPECT_EQ(number.vt, VT_I4);
    EXPECT_EQ(number.lVal, 2);
    for (VARIANT* v : {&source, &copy}) VariantClear(v);
}
