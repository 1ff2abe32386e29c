// Put: which VARIANTs convert into which CIM types, and what is refused.
#include "WmiClient.h"

namespace HyperVSimTest {
namespace {

class PutTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        Ref<IWbemClassObject> memoryClass;
        ASSERT_EQ(getObject(services.get(), L"Msvm_MemorySettingData", memoryClass), S_OK);
        ASSERT_EQ(memoryClass->SpawnInstance(0, memory.out()), S_OK);
    }
    void TearDown() override {
        memory.reset();
        HostTest::TearDown();
    }

    HRESULT put(const wchar_t* name, Var value) { return memory->Put(name, 0, value.get(), 0); }

    Ref<IWbemClassObject> memory;
};

TEST_F(PutTest, IntegersConvertFromSmallIntegersAndDecimalText) {
    EXPECT_EQ(put(L"VirtualQuantity", Var::i4(2048)), S_OK);
    EXPECT_EQ(text(memory.get(), L"VirtualQuantity"), L"2048");
    EXPECT_EQ(put(L"VirtualQuantity", Var::text(L"18446744073709551615")), S_OK);
    EXPECT_EQ(text(memory.get(), L"VirtualQuantity"), L"18446744073709551615");
    EXPECT_EQ(put(L"Weight", Var::i2(7)), S_OK);
    EXPECT_EQ(i4(memory.get(), L"Weight"), 7);
    EXPECT_EQ(put(L"ResourceType", Var::text(L"31")), S_OK);
    EXPECT_EQ(i4(memory.get(), L"ResourceType"), 31);
}

TEST_F(PutTest, IntegersOutOfRangeOrNotNumbersAreTypeMismatches) {
    EXPECT_EQ(put(L"ResourceType", Var::i4(65536)), wbem(WBEM_E_TYPE_MISMATCH));
    EXPECT_EQ(put(L"ResourceType", Var::i4(-1)), wbem(WBEM_E_TYPE_MISMATCH));
    EXPECT_EQ(put(L"VirtualQuantity", Var::i4(-5)), wbem(WBEM_E_TYPE_MISMATCH));
    EXPECT_EQ(put(L"VirtualQuantity", Var::text(L"18446744073709551616")), wbem(WBEM_E_TYPE_MISMATCH));
    EXPECT_EQ(put(L"VirtualQuantity", Var::text(L"12 ")), wbem(WBEM_E_TYPE_MISMATCH));
    EXPECT_EQ(put(L"VirtualQuantity", Var::text(L"")), wbem(WBEM_E_TYPE_MISMATCH));
    EXPECT_EQ(put(L"Weight", Var::boolean(true)), wbem(WBEM_E_TYPE_MISMATCH));
    EXPECT_EQ(typeOf(memory.get(), L"Weight"), VT_NULL);  // a refused Put changes nothing
}

TEST_F(PutTest, BooleansConvertFromVariantBoolAndTrueFalseText) {
    EXPECT_EQ(put(L"DynamicMemoryEnabled", Var::text(L"True")), S_OK);
    Var value;
    ASSERT_EQ(memory->Get(L"DynamicMemoryEnabled", 0, value.get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(value->vt, VT_BOOL);
    EXPECT_EQ(value->boolVal, VARIANT_TRUE);
    EXPECT_EQ(put(L"DynamicMemoryEnabled", Var::boolean(false)), S_OK);
    EXPECT_EQ(put(L"DynamicMemoryEnabled", Var::text(L"yes")), wbem(WBEM_E_TYPE_MISMATCH));
    EXPECT_EQ(put(L"DynamicMemoryEnabled", Var::i4(1)), wbem(WBEM_E_TYPE_MISMATCH));
}

TEST_F(PutTest, StringsAndArraysTakeOnlyTheirOwnShape) {
    EXPECT_EQ(put(L"ElementName", Var::text(L"Memory")), S_OK);
    EXPECT_EQ(put(L"ElementName", Var::i4(3)), wbem(WBEM_E_TYPE_MISMATCH));
    EXPECT_EQ(put(L"HostResource", Var::texts({L"a", L"b"})), S_OK);
    Var array;
    ASSERT_EQ(memory->Get(L"HostResource", 0, array.get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(array->vt, VT_ARRAY | VT_BSTR);
    LONG upper = -1;
    SafeArrayGetUBound(array->parray, 1, &upper);
    EXPECT_EQ(upper, 1);
    EXPECT_EQ(put(L"HostResource", Var::text(L"a")), wbem(WBEM_E_TYPE_MISMATCH));
    EXPECT_EQ(put(L"ElementName", Var::texts({L"a"})), wbem(WBEM_E_TYPE_MISMATCH));
}

TEST_F(PutTest, NullClearsAValue) {
    ASSERT_EQ(put(L"ElementName", Var::text(L"Memory")), S_OK);
    Var null;
    null->vt = VT_NULL;
    EXPECT_EQ(memory->Put(L"ElementName", 0, null.get(), 0), S_OK);
    EXPECT_EQ(typeOf(memory.get(), L"ElementName"), VT_NULL);
    EXPECT_EQ(put(L"ResourceType", Var::i4(4)), S_OK);
    EXPECT_EQ(memory->Put(L"ResourceType", 0, nullptr, 0), S_OK);
    EXPECT_EQ(typeOf(memory.get(), L"ResourceType"), VT_NULL);
}

TEST_F(PutTest, UnknownAndSystemPropertiesAreRefused) {
    EXPECT_EQ(put(L"NoSuchProperty", Var::i4(1)), wbem(WBEM_E_NOT_FOUND));
    EXPECT_EQ(put(L"__CLASS", Var::text(L"Other")), wbem(WBEM_E_READ_ONLY));
    EXPECT_EQ(put(L"__PATH", Var::text(L"x")), wbem(WBEM_E_READ_ONLY));
    EXPECT_EQ(text(memory.get(), L"__CLASS"), L"Msvm_MemorySettingData");
}

}  // namespace
}  // namespace HyperVSimTest
