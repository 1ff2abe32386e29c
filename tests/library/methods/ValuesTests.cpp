// The values the library writes: each owns what it holds, arrays are deep copies, and array arguments that
// are refused leave by HResultError.
#include <string>

#include "MethodsTest.h"
#include "Velmora/HResultError.h"
#include "wmi/Values.h"

namespace VelmoraTest {
namespace {

using Velmora::SafeArray;
using Velmora::Variant;

std::wstring element(SAFEARRAY* array, LONG index) {
    BSTR value = nullptr;
    if (FAILED(SafeArrayGetElement(array, &index, &value))) return L"<no element>";
    const std::wstring text = value ? std::wstring(value, SysStringLen(value)) : L"<null>";
    SysFreeString(value);
    return text;
}

class Values : public LibraryTest {};

// The two that differ from a plain C++ value: a null text is a string value all the same, and true is -1.
TEST_F(Values, NullTextAndTrueAreWhatWmiExpects) {
    const Variant text = Velmora::stringValue(nullptr);
    EXPECT_EQ(text.type(), VT_BSTR);
    EXPECT_EQ(text->bstrVal, nullptr);
    EXPECT_EQ(Velmora::boolValue(true)->boolVal, VARIANT_TRUE);
}

TEST_F(Values, StringListHoldsOneCopyFromIndexZero) {
    std::wstring source = L"C:\\disk.vhdx";
    const SafeArray array = Velmora::singleStringArray(source.c_str());
    source[0] = L'D';

    LONG lower = -1;
    LONG upper = -1;
    SafeArrayGetLBound(array.get(), 1, &lower);
    SafeArrayGetUBound(array.get(), 1, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 0);
    EXPECT_EQ(element(array.get(), 0), L"C:\\disk.vhdx");
}

TEST_F(Values, ArrayValueIsADeepCopyOfTheList) {
    SafeArray array = Velmora::singleStringArray(L"first");
    const Variant value = Velmora::arrayValue(array.get());
    array = Velmora::singleStringArray(L"second");

    EXPECT_EQ(value.type(), VT_ARRAY | VT_BSTR);
    EXPECT_EQ(element(value->parray, 0), L"first");
}

TEST_F(Values, RefusedArrayArgumentRaisesItsCode) {
    try {
        Velmora::arrayValue(nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const Velmora::HResultError& e) {
        EXPECT_EQ(e.hresult(), E_INVALIDARG);
    }
}

}  // namespace
}  // namespace VelmoraTest
