// SAFEARRAY as Windows has it: bounds, element types, locks, copies and the codes of misuse. (That elements
// are copied in and out and freed with the array, every suite's accounting and the sanitizers see.)
#include "PlatformTest.h"

using SafeArrayTest = PlatformTest;

TEST_F(SafeArrayTest, VectorsKnowTheirBoundsAndElementType) {
    const long before = WinCompat::Testing::liveCounts().arrays;
    for (const auto& [vt, size] : {std::pair<VARTYPE, UINT>{VT_BSTR, sizeof(BSTR)},
                                   {VT_VARIANT, sizeof(VARIANT)},
                                   {VT_UNKNOWN, sizeof(IUnknown*)},
                                   {VT_UI1, 1}}) {
        SAFEARRAY* psa = SafeArrayCreateVector(vt, 0, 3);
        EXPECT_EQ(WinCompat::Testing::liveCounts().arrays, before + 1);
        VARTYPE got = VT_EMPTY;
        EXPECT_EQ(SafeArrayGetVartype(psa, &got), S_OK);
        EXPECT_EQ(got, vt);
        EXPECT_EQ(SafeArrayGetElemsize(psa), size) << vt;
        SafeArrayDestroy(psa);
    }
    SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, 5, 0);
    LONG lower = 0, upper = 0, index = 5;
    EXPECT_EQ((Results{SafeArrayGetLBound(psa, 1, &lower), SafeArrayGetUBound(psa, 1, &upper),
                       SafeArrayGetUBound(psa, 2, &upper), SafeArrayGetLBound(psa, 0, &lower),
                       SafeArrayPutElement(psa, &index, &index), SafeArrayGetElement(psa, &index, &index)}),
              (Results{S_OK, S_OK, DISP_E_BADINDEX, DISP_E_BADINDEX, DISP_E_BADINDEX, DISP_E_BADINDEX}));
    EXPECT_EQ(lower, 5);
    EXPECT_EQ(upper, 4);  // an empty vector ends before it starts
    EXPECT_EQ(SafeArrayGetDim(psa), 1u);
    SafeArrayDestroy(psa);
}

TEST_F(SafeArrayTest, LocksCountAndKeepTheArrayAlive) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 1);
    void* data = nullptr;
    EXPECT_EQ(
        (Results{SafeArrayLock(psa), SafeArrayAccessData(psa, &data), SafeArrayDestroy(psa),
                 SafeArrayUnaccessData(psa), SafeArrayDestroy(psa), SafeArrayUnlock(psa), SafeArrayUnlock(psa)}),
        (Results{S_OK, S_OK, DISP_E_ARRAYISLOCKED, S_OK, DISP_E_ARRAYISLOCKED, S_OK, E_UNEXPECTED}));
    EXPECT_EQ(data, psa->pvData);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST_F(SafeArrayTest, CopiesHoldElementsOfTheirOwn) {
    auto* object = new FakeFactory();
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {1, 5}};
    SAFEARRAY* strings = SafeArrayCreate(VT_BSTR, 2, bounds);
    SAFEARRAY* objects = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
    LONG at[2] = {1, 5}, unset[2] = {0, 5}, zero = 0;
    BSTR path = SysAllocString(L"path"), never = path;
    EXPECT_EQ((Results{SafeArrayPutElement(strings, at, path), SafeArrayPutElement(objects, &zero, object),
                       SafeArrayGetElement(strings, unset, &never), SafeArrayLock(strings)}),
              (Results{S_OK, S_OK, S_OK, S_OK}));
    EXPECT_EQ(never, nullptr);  // an element never set is a null string
    SAFEARRAY* copies[2] = {};
    EXPECT_EQ((Results{SafeArrayCopy(strings, &copies[0]), SafeArrayCopy(objects, &copies[1])}),
              (Results{S_OK, S_OK}));
    EXPECT_EQ(copies[0]->cLocks, 0u);  // a locked array is copied unlocked
    LONG lower = 0;
    EXPECT_EQ(SafeArrayGetLBound(copies[0], 2, &lower), S_OK);
    EXPECT_EQ(lower, 5);
    const BSTR copied = static_cast<BSTR*>(copies[0]->pvData)[1];
    EXPECT_NE(copied, static_cast<BSTR*>(strings->pvData)[1]);
    EXPECT_EQ(text(copied), L"path");
    EXPECT_EQ(object->references, 3u);
    SafeArrayUnlock(strings);
    for (SAFEARRAY* psa : {strings, objects, copies[0], copies[1]}) SafeArrayDestroy(psa);
    EXPECT_EQ(object->references, 1u);
    object->Release();
    SysFreeString(path);
}

TEST_F(SafeArrayTest, MisuseIsRefused) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, 0, 1);
    SAFEARRAY* copy = psa;
    LONG index = 0;
    void* data = nullptr;
    EXPECT_EQ((Results{SafeArrayLock(nullptr), SafeArrayGetLBound(nullptr, 1, &index),
                       SafeArrayGetUBound(psa, 1, nullptr), SafeArrayAccessData(nullptr, &data),
                       SafeArrayCopy(psa, nullptr), SafeArrayPutElement(psa, nullptr, &index),
                       SafeArrayGetElement(psa, &index, nullptr), SafeArrayGetVartype(psa, nullptr),
                       SafeArrayCopy(nullptr, &copy), SafeArrayDestroy(nullptr)}),
              (Results{E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, E_INVALIDARG,
                       E_INVALIDARG, E_INVALIDARG, S_OK, S_OK}));
    EXPECT_EQ(copy, nullptr);
    SAFEARRAYBOUND one{1, 0};
    EXPECT_EQ((std::vector<SAFEARRAY*>{SafeArrayCreate(VT_BSTR, 0, &one), SafeArrayCreate(VT_BSTR, 1, nullptr),
                                       SafeArrayCreate(VT_EMPTY, 1, &one), SafeArrayCreateVector(VT_NULL, 0, 1)}),
              std::vector<SAFEARRAY*>(4, nullptr));
    SafeArrayDestroy(psa);
}
