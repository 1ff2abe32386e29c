// VARIANT: initialisation, clearing (strings, arrays, interfaces, locked arrays) and deep copies.
#include "TestSupport.h"

using VariantTest = PlatformTest;

TEST_F(VariantTest, InitMakesEmpty) {
    VARIANT v;
    v.vt = VT_I4;
    VariantInit(&v);
    EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST_F(VariantTest, ClearFreesStringAndEmpties) {
    const long before = WinCompat::Testing::liveCounts().strings;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(L"x");
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(WinCompat::Testing::liveCounts().strings, before);
}

TEST_F(VariantTest, ClearReleasesInterfaces) {
    auto* object = new FakeObject();
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UNKNOWN;
    v.punkVal = object;
    object->AddRef();
    EXPECT_EQ(object->references(), 2u);
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(object->references(), 1u);
    object->Release();
}

TEST_F(VariantTest, ClearDestroysArrayButNotALockedOne) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_BSTR;
    v.parray = SafeArrayCreateVector(VT_BSTR, 0, 2);
    ASSERT_NE(v.parray, nullptr);
    ASSERT_EQ(SafeArrayLock(v.parray), S_OK);
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_BSTR);  // left as it was, so that the owner can unlock and clear it
    ASSERT_EQ(SafeArrayUnlock(v.parray), S_OK);
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST_F(VariantTest, ClearRejectsBadArguments) {
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
    VARIANT v;
    VariantInit(&v);
    v.vt = 15;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    v.vt = VT_ARRAY | VT_NULL;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
}

TEST_F(VariantTest, ByRefValuesAreNotFreed) {
    BSTR s = SysAllocString(L"kept");
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_BSTR;
    v.byref = &s;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(text(s), L"kept");
    SysFreeString(s);
}

TEST_F(VariantTest, CopyMakesDeepCopiesOfStrings) {
    VARIANT source, dest;
    VariantInit(&source);
    VariantInit(&dest);
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(L"Msvm_ComputerSystem");
    ASSERT_EQ(VariantCopy(&dest, &source), S_OK);
    EXPECT_EQ(dest.vt, VT_BSTR);
    EXPECT_NE(dest.bstrVal, source.bstrVal);
    EXPECT_EQ(text(dest.bstrVal), L"Msvm_ComputerSystem");
    VariantClear(&source);
    VariantClear(&dest);
}

TEST_F(VariantTest, CopyClearsTheDestinationFirst) {
    const long before = WinCompat::Testing::liveCounts().strings;
    VARIANT source, dest;
    VariantInit(&source);
    VariantInit(&dest);
    source.vt = VT_I4;
    source.lVal = 42;
    dest.vt = VT_BSTR;
    dest.bstrVal = SysAllocString(L"old");
    ASSERT_EQ(VariantCopy(&dest, &source), S_OK);
    EXPECT_EQ(dest.vt, VT_I4);
    EXPECT_EQ(dest.lVal, 42);
    EXPECT_EQ(WinCompat::Testing::liveCounts().strings, before);
}

TEST_F(VariantTest, CopyAddRefsInterfacesAndCopiesArrays) {
    auto* object = new FakeObject();
    VARIANT source, dest;
    VariantInit(&source);
    VariantInit(&dest);
    source.vt = VT_UNKNOWN;
    source.punkVal = object;
    ASSERT_EQ(VariantCopy(&dest, &source), S_OK);
    EXPECT_EQ(dest.punkVal, object);
    EXPECT_EQ(object->references(), 2u);
    VariantClear(&dest);
    EXPECT_EQ(object->references(), 1u);
    object->Release();

    source.vt = VT_ARRAY | VT_BSTR;
    source.parray = SafeArrayCreateVector(VT_BSTR, 0, 1);
    LONG index = 0;
    BSTR element = SysAllocString(L"e");
    ASSERT_EQ(SafeArrayPutElement(source.parray, &index, element), S_OK);
    SysFreeString(element);
    ASSERT_EQ(VariantCopy(&dest, &source), S_OK);
    EXPECT_NE(dest.parray, source.parray);
    BSTR copied = nullptr;
    ASSERT_EQ(SafeArrayGetElement(dest.parray, &index, &copied), S_OK);
    EXPECT_EQ(text(copied), L"e");
    SysFreeString(copied);
    VariantClear(&source);
    VariantClear(&dest);
}

TEST_F(VariantTest, CopyRejectsBadArguments) {
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(VariantCopy(nullptr, &v), E_INVALIDARG);
    EXPECT_EQ(VariantCopy(&v, nullptr), E_INVALIDARG);
    VARIANT bad;
    VariantInit(&bad);
    bad.vt = 15;
    EXPECT_EQ(VariantCopy(&v, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantCopy(&v, &v), S_OK);
}
