// SAFEARRAY: bounds, dimensions, element access, locks, vartype, deep copies and the errors of misuse.
#include <cstring>

#include "TestSupport.h"

using SafeArrayTest = PlatformTest;

TEST_F(SafeArrayTest, VectorHasBoundsAndElementSize) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 3);
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(SafeArrayGetDim(psa), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(psa), sizeof(BSTR));
    LONG lower = -1, upper = -1;
    ASSERT_EQ(SafeArrayGetLBound(psa, 1, &lower), S_OK);
    ASSERT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 2);
    EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lower), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(psa, 0, &upper), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST_F(SafeArrayTest, EmptyVectorHasUpperBoundBelowLowerBound) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    ASSERT_NE(psa, nullptr);
    LONG upper = 0;
    ASSERT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
    EXPECT_EQ(upper, -1);
    SafeArrayDestroy(psa);
}

TEST_F(SafeArrayTest, MultiDimensionalBoundsAndLayout) {
    SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, -1}};  // first dimension 1..2, second -1..1
    SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(SafeArrayGetDim(psa), 2u);
    LONG value = 0;
    ASSERT_EQ(SafeArrayGetLBound(psa, 1, &value), S_OK);
    EXPECT_EQ(value, 1);
    ASSERT_EQ(SafeArrayGetUBound(psa, 1, &value), S_OK);
    EXPECT_EQ(value, 2);
    ASSERT_EQ(SafeArrayGetLBound(psa, 2, &value), S_OK);
    EXPECT_EQ(value, -1);
    ASSERT_EQ(SafeArrayGetUBound(psa, 2, &value), S_OK);
    EXPECT_EQ(value, 1);
    // Windows keeps the bounds in reverse order of the dimensions.
    EXPECT_EQ(psa->rgsabound[0].cElements, 3u);
    EXPECT_EQ(psa->rgsabound[1].cElements, 2u);

    for (LONG j = -1; j <= 1; ++j)
        for (LONG i = 1; i <= 2; ++i) {
            LONG index[2] = {i, j};
            LONG v = i * 10 + j;
            ASSERT_EQ(SafeArrayPutElement(psa, index, &v), S_OK);
        }
    // The first index varies fastest.
    const auto* data = static_cast<const LONG*>(psa->pvData);
    EXPECT_EQ(data[0], 9);   // (1,-1)
    EXPECT_EQ(data[1], 19);  // (2,-1)
    EXPECT_EQ(data[2], 10);  // (1,0)
    LONG index[2] = {2, 1};
    LONG got = 0;
    ASSERT_EQ(SafeArrayGetElement(psa, index, &got), S_OK);
    EXPECT_EQ(got, 21);
    void* cell = nullptr;
    ASSERT_EQ(SafeArrayPtrOfIndex(psa, index, &cell), S_OK);
    EXPECT_EQ(cell, &static_cast<LONG*>(psa->pvData)[5]);
    LONG outside[2] = {3, 0};
    EXPECT_EQ(SafeArrayGetElement(psa, outside, &got), DISP_E_BADINDEX);
    LONG below[2] = {1, -2};
    EXPECT_EQ(SafeArrayPutElement(psa, below, &got), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayPtrOfIndex(psa, below, &cell), DISP_E_BADINDEX);
    SafeArrayDestroy(psa);
}

TEST_F(SafeArrayTest, CreateRejectsBadArguments) {
    SAFEARRAYBOUND bound{1, 0};
    EXPECT_EQ(SafeArrayCreate(VT_BSTR, 0, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_BSTR, 1, nullptr), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_NULL, 1, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
}

TEST_F(SafeArrayTest, VartypeIsKeptBeforeTheDescriptor) {
    for (VARTYPE vt : {VT_BSTR, VT_VARIANT, VT_I4, VT_I2, VT_UI1, VT_BOOL}) {
        SAFEARRAY* psa = SafeArrayCreateVector(vt, 0, 1);
        ASSERT_NE(psa, nullptr) << vt;
        EXPECT_NE(psa->fFeatures & FADF_HAVEVARTYPE, 0) << vt;
        DWORD hidden = 0;
        std::memcpy(&hidden, reinterpret_cast<char*>(psa) - 4, sizeof hidden);
        EXPECT_EQ(hidden, vt);
        VARTYPE got = VT_EMPTY;
        ASSERT_EQ(SafeArrayGetVartype(psa, &got), S_OK);
        EXPECT_EQ(got, vt);
        SafeArrayDestroy(psa);
    }
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
    EXPECT_NE(psa->fFeatures & FADF_HAVEIID, 0);
    EXPECT_NE(psa->fFeatures & FADF_UNKNOWN, 0);
    VARTYPE got = VT_EMPTY;
    ASSERT_EQ(SafeArrayGetVartype(psa, &got), S_OK);
    EXPECT_EQ(got, VT_UNKNOWN);
    EXPECT_EQ(SafeArrayGetVartype(psa, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetVartype(nullptr, &got), E_INVALIDARG);
    SafeArrayDestroy(psa);

    psa = SafeArrayCreateVector(VT_BSTR, 0, 1);
    EXPECT_NE(psa->fFeatures & FADF_BSTR, 0);
    SafeArrayDestroy(psa);
    psa = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    EXPECT_NE(psa->fFeatures & FADF_VARIANT, 0);
    SafeArrayDestroy(psa);
}

TEST_F(SafeArrayTest, LocksCountAndBlockDestruction) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 1);
    ASSERT_EQ(SafeArrayLock(psa), S_OK);
    ASSERT_EQ(SafeArrayLock(psa), S_OK);
    EXPECT_EQ(psa->cLocks, 2u);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    ASSERT_EQ(SafeArrayUnlock(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    ASSERT_EQ(SafeArrayUnlock(psa), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    EXPECT_EQ(data, psa->pvData);
    EXPECT_EQ(psa->cLocks, 1u);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST_F(SafeArrayTest, NullArgumentsAreRejected) {
    EXPECT_EQ(SafeArrayLock(nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayUnlock(nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
    EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
    EXPECT_EQ(SafeArrayGetElemsize(nullptr), 0u);
    LONG bound = 0;
    EXPECT_EQ(SafeArrayGetLBound(nullptr, 1, &bound), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetUBound(nullptr, 1, &bound), E_INVALIDARG);
    void* data = nullptr;
    EXPECT_EQ(SafeArrayAccessData(nullptr, &data), E_INVALIDARG);
    SAFEARRAY* copy = reinterpret_cast<SAFEARRAY*>(1);
    EXPECT_EQ(SafeArrayCopy(nullptr, &copy), S_OK);
    EXPECT_EQ(copy, nullptr);
    SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, 0, 1);
    EXPECT_EQ(SafeArrayCopy(psa, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, nullptr), E_INVALIDARG);
    LONG index = 0;
    EXPECT_EQ(SafeArrayPutElement(psa, nullptr, &index), E_INVALIDARG);
    EXPECT_EQ(SafeArrayPutElement(psa, &index, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(psa, &index, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(nullptr, &index, &bound), E_INVALIDARG);
    SafeArrayDestroy(psa);
}

TEST_F(SafeArrayTest, StringsAreCopiedOnPutAndOnGet) {
    const long before = WinCompat::Testing::liveCounts().strings;
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 1, 2);
    BSTR value = SysAllocString(L"path");
    LONG index = 2;
    ASSERT_EQ(SafeArrayPutElement(psa, &index, value), S_OK);
    EXPECT_NE(static_cast<BSTR*>(psa->pvData)[1], value);
    SysFreeString(value);
    BSTR got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &got), S_OK);
    EXPECT_NE(got, static_cast<BSTR*>(psa->pvData)[1]);
    EXPECT_EQ(text(got), L"path");
    SysFreeString(got);
    index = 0;
    EXPECT_EQ(SafeArrayPutElement(psa, &index, value), DISP_E_BADINDEX);
    index = 1;
    ASSERT_EQ(SafeArrayGetElement(psa, &index, &got), S_OK);
    EXPECT_EQ(got, nullptr);  // never set
    EXPECT_EQ(WinCompat::Testing::liveCounts().strings, before + 1);
    SafeArrayDestroy(psa);  // frees the strings it holds
    EXPECT_EQ(WinCompat::Testing::liveCounts().strings, before);
}

TEST_F(SafeArrayTest, VariantsAndInterfacesAreCopiedOnPutAndGet) {
    SAFEARRAY* values = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(L"inner");
    LONG index = 0;
    ASSERT_EQ(SafeArrayPutElement(values, &index, &v), S_OK);
    VariantClear(&v);
    ASSERT_EQ(SafeArrayGetElement(values, &index, &v), S_OK);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(text(v.bstrVal), L"inner");
    VariantClear(&v);
    SafeArrayDestroy(values);

    auto* object = new FakeObject();
    SAFEARRAY* objects = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
    ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IUnknown*>(object)), S_OK);
    EXPECT_EQ(object->references(), 2u);
    IUnknown* got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(objects, &index, &got), S_OK);
    EXPECT_EQ(got, object);
    EXPECT_EQ(object->references(), 3u);
    got->Release();
    SafeArrayDestroy(objects);
    EXPECT_EQ(object->references(), 1u);
    object->Release();
}

TEST_F(SafeArrayTest, CopyIsDeep) {
    auto* object = new FakeObject();
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {1, 5}};
    SAFEARRAY* strings = SafeArrayCreate(VT_BSTR, 2, bounds);
    LONG index[2] = {1, 5};
    BSTR value = SysAllocString(L"deep");
    ASSERT_EQ(SafeArrayPutElement(strings, index, value), S_OK);
    SysFreeString(value);
    ASSERT_EQ(SafeArrayLock(strings), S_OK);  // a locked array can be copied; the copy is not locked

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(strings, &copy), S_OK);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->cLocks, 0u);
    EXPECT_EQ(SafeArrayGetDim(copy), 2u);
    LONG bound = 0;
    ASSERT_EQ(SafeArrayGetLBound(copy, 2, &bound), S_OK);
    EXPECT_EQ(bound, 5);
    VARTYPE vt = VT_EMPTY;
    ASSERT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
    EXPECT_EQ(vt, VT_BSTR);
    BSTR original = static_cast<BSTR*>(strings->pvData)[1];
    BSTR copied = static_cast<BSTR*>(copy->pvData)[1];
    EXPECT_NE(original, copied);
    EXPECT_EQ(text(copied), L"deep");
    EXPECT_EQ(static_cast<BSTR*>(copy->pvData)[0], nullptr);
    SafeArrayUnlock(strings);
    SafeArrayDestroy(strings);
    EXPECT_EQ(text(copied), L"deep");
    SafeArrayDestroy(copy);

    SAFEARRAY* objects = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
    LONG at = 0;
    SafeArrayPutElement(objects, &at, static_cast<IUnknown*>(object));
    SAFEARRAY* objectsCopy = nullptr;
    ASSERT_EQ(SafeArrayCopy(objects, &objectsCopy), S_OK);
    EXPECT_EQ(object->references(), 3u);
    SafeArrayDestroy(objects);
    SafeArrayDestroy(objectsCopy);
    EXPECT_EQ(object->references(), 1u);
    object->Release();
}

TEST_F(SafeArrayTest, LiveArraysAreCounted) {
    const long before = WinCompat::Testing::liveCounts().arrays;
    SAFEARRAY* a = SafeArrayCreateVector(VT_I4, 0, 4);
    SAFEARRAY* b = nullptr;
    SafeArrayCopy(a, &b);
    EXPECT_EQ(WinCompat::Testing::liveCounts().arrays, before + 2);
    SafeArrayDestroy(a);
    SafeArrayDestroy(b);
    EXPECT_EQ(WinCompat::Testing::liveCounts().arrays, before);
}
