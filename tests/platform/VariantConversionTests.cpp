// VariantChangeType: integers, booleans and strings, with Windows' results and errors.
#include "TestSupport.h"

namespace {

class VariantConversionTest : public PlatformTest {
protected:
    void TearDown() override {
        VariantClear(&result);
        VariantClear(&source);
        PlatformTest::TearDown();
    }
    void setString(const wchar_t* s) {
        VariantClear(&source);
        source.vt = VT_BSTR;
        source.bstrVal = SysAllocString(s);
    }
    void setI4(LONG value) {
        VariantClear(&source);
        source.vt = VT_I4;
        source.lVal = value;
    }
    void setBool(bool value) {
        VariantClear(&source);
        source.vt = VT_BOOL;
        source.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
    HRESULT to(VARTYPE vt, USHORT flags = 0) { return VariantChangeType(&result, &source, flags, vt); }

    VARIANT source{};
    VARIANT result{};
};

}  // namespace

TEST_F(VariantConversionTest, IntegersWidenAndNarrowWithinRange) {
    setI4(300);
    ASSERT_EQ(to(VT_I2), S_OK);
    EXPECT_EQ(result.vt, VT_I2);
    EXPECT_EQ(result.iVal, 300);
    ASSERT_EQ(to(VT_I8), S_OK);
    EXPECT_EQ(result.llVal, 300);
    ASSERT_EQ(to(VT_UI2), S_OK);
    EXPECT_EQ(result.uiVal, 300);
    ASSERT_EQ(to(VT_UI4), S_OK);
    EXPECT_EQ(result.ulVal, 300u);
    ASSERT_EQ(to(VT_UI8), S_OK);
    EXPECT_EQ(result.ullVal, 300u);
    EXPECT_EQ(to(VT_UI1), DISP_E_OVERFLOW);
}

TEST_F(VariantConversionTest, OutOfRangeValuesOverflow) {
    setI4(-1);
    EXPECT_EQ(to(VT_UI1), DISP_E_OVERFLOW);
    EXPECT_EQ(to(VT_UI2), DISP_E_OVERFLOW);
    EXPECT_EQ(to(VT_UI4), DISP_E_OVERFLOW);
    EXPECT_EQ(to(VT_UI8), DISP_E_OVERFLOW);
    setI4(40000);
    EXPECT_EQ(to(VT_I2), DISP_E_OVERFLOW);
    ASSERT_EQ(to(VT_UI2), S_OK);
    EXPECT_EQ(result.uiVal, 40000);

    VariantClear(&source);
    source.vt = VT_UI4;
    source.ulVal = 0x80000000u;
    EXPECT_EQ(to(VT_I4), DISP_E_OVERFLOW);
    VariantClear(&source);
    source.vt = VT_UI8;
    source.ullVal = 0xFFFFFFFFFFFFFFFFull;
    EXPECT_EQ(to(VT_I8), DISP_E_OVERFLOW);
}

TEST_F(VariantConversionTest, FailedConversionLeavesTheDestination) {
    result.vt = VT_I4;
    result.lVal = 7;
    setI4(100000);
    EXPECT_EQ(to(VT_I2), DISP_E_OVERFLOW);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 7);
}

TEST_F(VariantConversionTest, StringsParseAsDecimalNumbers) {
    setString(L"1048576");
    ASSERT_EQ(to(VT_I4), S_OK);
    EXPECT_EQ(result.lVal, 1048576);
    setString(L"  -12 ");
    ASSERT_EQ(to(VT_I2), S_OK);
    EXPECT_EQ(result.iVal, -12);
    setString(L"18446744073709551615");
    ASSERT_EQ(to(VT_UI8), S_OK);
    EXPECT_EQ(result.ullVal, 18446744073709551615ull);
    EXPECT_EQ(to(VT_I8), DISP_E_OVERFLOW);
    setString(L"18446744073709551616");
    EXPECT_EQ(to(VT_UI8), DISP_E_OVERFLOW);
    setString(L"2.5");
    ASSERT_EQ(to(VT_I4), S_OK);
    EXPECT_EQ(result.lVal, 2);  // rounded half to even
    setString(L"-1");
    EXPECT_EQ(to(VT_UI4), DISP_E_OVERFLOW);
    setString(L"70000");
    EXPECT_EQ(to(VT_I2), DISP_E_OVERFLOW);
}

TEST_F(VariantConversionTest, NonNumericStringsMismatch) {
    for (const wchar_t* s : {L"", L"abc", L"12abc", L"-", L"1 2"}) {
        setString(s);
        EXPECT_EQ(to(VT_I4), DISP_E_TYPEMISMATCH) << "\"" << std::wstring(s).size() << "\"";
    }
    VariantClear(&source);
    source.vt = VT_BSTR;
    source.bstrVal = nullptr;
    EXPECT_EQ(to(VT_I4), DISP_E_TYPEMISMATCH);
}

TEST_F(VariantConversionTest, NumbersBecomeDecimalText) {
    setI4(-2147483647 - 1);
    ASSERT_EQ(to(VT_BSTR), S_OK);
    EXPECT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(text(result.bstrVal), L"-2147483648");
    VariantClear(&source);
    source.vt = VT_UI8;
    source.ullVal = 18446744073709551615ull;
    ASSERT_EQ(to(VT_BSTR), S_OK);
    EXPECT_EQ(text(result.bstrVal), L"18446744073709551615");
}

TEST_F(VariantConversionTest, BooleanStringsInAnyCase) {
    for (const wchar_t* s : {L"True", L"true", L"TRUE", L" tRuE "}) {
        setString(s);
        ASSERT_EQ(to(VT_BOOL), S_OK);
        EXPECT_EQ(result.vt, VT_BOOL);
        EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    }
    for (const wchar_t* s : {L"False", L"false", L"FALSE", L"0"}) {
        setString(s);
        ASSERT_EQ(to(VT_BOOL), S_OK);
        EXPECT_EQ(result.boolVal, VARIANT_FALSE);
    }
    setString(L"5");
    ASSERT_EQ(to(VT_BOOL), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    setString(L"yes");
    EXPECT_EQ(to(VT_BOOL), DISP_E_TYPEMISMATCH);
}

TEST_F(VariantConversionTest, BooleanToText) {
    setBool(true);
    ASSERT_EQ(to(VT_BSTR, VARIANT_ALPHABOOL), S_OK);
    EXPECT_EQ(text(result.bstrVal), L"True");
    setBool(false);
    ASSERT_EQ(to(VT_BSTR, VARIANT_ALPHABOOL), S_OK);
    EXPECT_EQ(text(result.bstrVal), L"False");
    // Without VARIANT_ALPHABOOL Windows writes the boolean as the number it is.
    setBool(true);
    ASSERT_EQ(to(VT_BSTR), S_OK);
    EXPECT_EQ(text(result.bstrVal), L"-1");
    setBool(false);
    ASSERT_EQ(to(VT_BSTR), S_OK);
    EXPECT_EQ(text(result.bstrVal), L"0");
}

TEST_F(VariantConversionTest, BooleansAndIntegers) {
    setBool(true);
    ASSERT_EQ(to(VT_I4), S_OK);
    EXPECT_EQ(result.lVal, -1);
    ASSERT_EQ(to(VT_I2), S_OK);
    EXPECT_EQ(result.iVal, -1);
    ASSERT_EQ(to(VT_UI1), S_OK);
    EXPECT_EQ(result.bVal, 255);
    setI4(12);
    ASSERT_EQ(to(VT_BOOL), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    setI4(0);
    ASSERT_EQ(to(VT_BOOL), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_FALSE);
}

TEST_F(VariantConversionTest, EmptyAndNull) {
    VariantClear(&source);
    ASSERT_EQ(to(VT_I4), S_OK);
    EXPECT_EQ(result.lVal, 0);
    ASSERT_EQ(to(VT_BSTR), S_OK);
    ASSERT_NE(result.bstrVal, nullptr);
    EXPECT_EQ(SysStringLen(result.bstrVal), 0u);
    source.vt = VT_NULL;
    EXPECT_EQ(to(VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(to(VT_BSTR), DISP_E_TYPEMISMATCH);
    ASSERT_EQ(to(VT_NULL), S_OK);
    EXPECT_EQ(result.vt, VT_NULL);
}

TEST_F(VariantConversionTest, SameTypeCopiesAndInPlaceConversionWorks) {
    setString(L"abc");
    ASSERT_EQ(to(VT_BSTR), S_OK);
    EXPECT_NE(result.bstrVal, source.bstrVal);
    EXPECT_EQ(text(result.bstrVal), L"abc");

    setString(L"77");
    ASSERT_EQ(VariantChangeType(&source, &source, 0, VT_I4), S_OK);
    EXPECT_EQ(source.vt, VT_I4);
    EXPECT_EQ(source.lVal, 77);
}

TEST_F(VariantConversionTest, ArraysAndObjectsDoNotConvertToScalars) {
    VariantClear(&source);
    source.vt = VT_ARRAY | VT_BSTR;
    source.parray = SafeArrayCreateVector(VT_BSTR, 0, 1);
    EXPECT_EQ(to(VT_BSTR), DISP_E_TYPEMISMATCH);
    setI4(1);
    EXPECT_EQ(to(VT_UNKNOWN), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(nullptr, &source, 0, VT_I2), E_INVALIDARG);
    EXPECT_EQ(VariantChangeType(&result, nullptr, 0, VT_I2), E_INVALIDARG);
    EXPECT_EQ(to(15), DISP_E_BADVARTYPE);
}
