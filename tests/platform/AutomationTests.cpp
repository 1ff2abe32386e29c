// OLE Automation as Windows has it: strings, joins, copies, what clearing refuses, array bounds, types and locks.
// (That values and arrays free what they own, every suite's accounting and the sanitizers see.)
#include <cstring>

#include "PlatformTest.h"

using AutomationTest = PlatformTest;

TEST_F(AutomationTest, StringsHaveTheLayoutAndNullSemanticsOfWindows) {
    const long before = WinCompat::Testing::liveCounts().strings;
    const wchar_t zeros[] = {L'a', L'\0', L'b'};
    BSTR s = SysAllocStringLen(zeros, 3), blank = SysAllocStringLen(nullptr, 2), empty = SysAllocString(L"");
    std::uint32_t prefix = 0;  // the byte length, before the text
    std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
    const UINT bytes = 3 * sizeof(OLECHAR);
    EXPECT_EQ((std::vector<UINT>{prefix, SysStringByteLen(s), SysStringLen(empty), SysStringLen(nullptr)}),
              (std::vector<UINT>{bytes, bytes, 0, 0}));
    EXPECT_EQ(std::wstring(s, 4) + std::wstring(blank, 3), std::wstring(L"a\0b\0\0\0\0", 7));
    EXPECT_EQ(WinCompat::Testing::liveCounts().strings, before + 3);
    BSTR joined[4] = {};  // two null strings join to an empty string, not to a null one
    EXPECT_EQ((Results{VarBstrCat(s, s, &joined[0]), VarBstrCat(nullptr, s, &joined[1]),
                       VarBstrCat(s, nullptr, &joined[2]), VarBstrCat(nullptr, nullptr, &joined[3]),
                       VarBstrCat(s, s, nullptr)}),
              (Results{S_OK, S_OK, S_OK, S_OK, E_INVALIDARG}));
    EXPECT_EQ((std::vector<std::wstring>{text(joined[0]), text(joined[1]), text(joined[2]), text(joined[3])}),
              (std::vector<std::wstring>{text(s) + text(s), text(s), text(s), L""}));
    EXPECT_NE(joined[3], nullptr);
    for (BSTR owned : {s, blank, empty, joined[0], joined[1], joined[2], joined[3]}) SysFreeString(owned);
}

TEST_F(AutomationTest, CopiedValuesOwnTheirStringsAndClearingRefusesBadTypes) {
    VARIANT source, copy{};
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(L"text");
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_NE(copy.bstrVal, source.bstrVal);
    EXPECT_EQ(text(copy.bstrVal), L"text");
    for (VARIANT* v : {&source, &copy}) VariantClear(v);
    copy.vt = 15;
    EXPECT_EQ((Results{VariantClear(&copy), VariantClear(nullptr)}), (Results{DISP_E_BADVARTYPE, E_INVALIDARG}));
}

TEST_F(AutomationTest, ArraysHaveBoundsTypesAndLocks) {
    const long before = WinCompat::Testing::liveCounts().arrays;
    SAFEARRAY* empty = SafeArrayCreateVector(VT_UI1, 5, 0);
    VARIANT holder;
    holder.vt = VT_ARRAY | VT_UNKNOWN;
    holder.parray = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
    EXPECT_EQ(WinCompat::Testing::liveCounts().arrays, before + 2);
    LONG lower = 0, upper = 0, index = 5;
    VARTYPE types[2] = {};
    void* data = nullptr;
    EXPECT_EQ(
        (Results{SafeArrayGetLBound(empty, 1, &lower), SafeArrayGetUBound(empty, 1, &upper),
                 SafeArrayGetUBound(empty, 2, &upper), SafeArrayGetLBound(empty, 0, &lower),
                 SafeArrayPutElement(empty, &index, &index), SafeArrayGetElement(empty, &index, &index),
                 SafeArrayGetVartype(empty, &types[0]), SafeArrayGetVartype(holder.parray, &types[1])}),
        (Results{S_OK, S_OK, DISP_E_BADINDEX, DISP_E_BADINDEX, DISP_E_BADINDEX, DISP_E_BADINDEX, S_OK, S_OK}));
    EXPECT_EQ((std::vector<LONG>{lower, upper, types[0], types[1]}), (std::vector<LONG>{5, 4, VT_UI1, VT_UNKNOWN}));
    EXPECT_EQ(SafeArrayGetElemsize(holder.parray), sizeof(IUnknown*));
    // Locks are counted; a locked array is neither destroyed nor cleared from a value.
    EXPECT_EQ((Results{SafeArrayLock(holder.parray), SafeArrayAccessData(holder.parray, &data),
                       SafeArrayDestroy(holder.parray), SafeArrayUnaccessData(holder.parray), VariantClear(&holder),
                       SafeArrayUnlock(holder.parray), SafeArrayUnlock(holder.parray), VariantClear(&holder)}),
              (Results{S_OK, S_OK, DISP_E_ARRAYISLOCKED, S_OK, DISP_E_ARRAYISLOCKED, S_OK, E_UNEXPECTED, S_OK}));
    EXPECT_NE(data, nullptr);
    SafeArrayDestroy(empty);
}

TEST_F(AutomationTest, ArrayCopiesHoldElementsOfTheirOwn) {
    SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 5, 2);
    SAFEARRAY* copy = nullptr;
    LONG five = 5, six = 6, lower = 0;
    BSTR path = SysAllocString(L"path"), never = path;
    EXPECT_EQ((Results{SafeArrayPutElement(strings, &six, path), SafeArrayGetElement(strings, &five, &never),
                       SafeArrayLock(strings), SafeArrayCopy(strings, &copy), SafeArrayGetLBound(copy, 1, &lower)}),
              (Results{S_OK, S_OK, S_OK, S_OK, S_OK}));
    EXPECT_EQ(never, nullptr);    // an element never set is a null string
    EXPECT_EQ(copy->cLocks, 0u);  // a locked array is copied unlocked
    EXPECT_EQ(lower, 5);
    const BSTR copied = static_cast<BSTR*>(copy->pvData)[1];
    EXPECT_NE(copied, static_cast<BSTR*>(strings->pvData)[1]);
    EXPECT_EQ(text(copied), L"path");
    SafeArrayUnlock(strings);
    for (SAFEARRAY* psa : {strings, copy}) SafeArrayDestroy(psa);
    SysFreeString(path);
}
