#include <gtest/gtest.h>

#include <stdexcept>

#include "CimXml.h"
#include "DtdValidator.h"
#include "Samples.h"

namespace HyperVSim::cimxml::test {
namespace {

TEST(CimXmlWriter, WritesSettingsObjectInWmiShapeAndValidates) {
    const std::wstring text = writeInstance(memorySettings());
    EXPECT_EQ(dtdErrors(text), "");

    EXPECT_TRUE(text.starts_with(
        L"<INSTANCE CLASSNAME=\"Msvm_MemorySettingData\">"
        L"<PROPERTY NAME=\"__PATH\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"string\"><VALUE>"
        L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_MemorySettingData.InstanceID=\"Microsoft:"
        L"4764334D-E001-4176-82EE-5594EC9B530E\\\\4764334d-e001-4176-82ee-5594ec9b530e\"</VALUE></PROPERTY>"))
        << std::string(text.begin(), text.end());
    EXPECT_NE(
        text.find(L"<PROPERTY.ARRAY NAME=\"__DERIVATION\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"string\">"
                  L"<VALUE.ARRAY><VALUE>CIM_ResourceAllocationSettingData</VALUE><VALUE>CIM_SettingData</VALUE>"
                  L"<VALUE>CIM_ManagedElement</VALUE></VALUE.ARRAY></PROPERTY.ARRAY>"),
        std::wstring::npos);
    EXPECT_NE(text.find(L"<PROPERTY NAME=\"__GENUS\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"sint32\"><VALUE>2</VALUE>"),
              std::wstring::npos);
    EXPECT_NE(text.find(L"<PROPERTY NAME=\"DynamicMemoryEnabled\" CLASSORIGIN=\"Msvm_MemorySettingData\" "
                        L"TYPE=\"boolean\"><VALUE>FALSE</VALUE></PROPERTY>"),
              std::wstring::npos);
    EXPECT_NE(text.find(L"<PROPERTY NAME=\"VirtualQuantity\" CLASSORIGIN=\"CIM_ResourceAllocationSettingData\" "
                        L"TYPE=\"uint64\"><VALUE>1024</VALUE></PROPERTY>"),
              std::wstring::npos);
    EXPECT_TRUE(text.ends_with(L"</PROPERTY></INSTANCE>"));
    EXPECT_EQ(text.find(L"<?xml"), std::wstring::npos);
    EXPECT_EQ(text.find(L"QUALIFIER"), std::wstring::npos);
}

TEST(CimXmlWriter, SystemPropertiesKeepTheirOrderThenPropertiesAreAlphabeticalIgnoringCase) {
    CimInstance instance{
        L"Msvm_Test",
        {scalar(L"__PATH", CimType::String, L""), scalar(L"__CLASS", CimType::String, L"Msvm_Test"),
         scalar(L"__GENUS", CimType::Sint32, L"2")},
        {scalar(L"zeta", CimType::String, L"z"), scalar(L"Beta", CimType::String, L"b"),
         scalar(L"alpha", CimType::String, L"a"), scalar(L"Gamma", CimType::String, L"g")}};
    const std::wstring text = writeInstance(instance);
    std::vector<std::size_t> positions;
    for (const wchar_t* name : {L"__PATH", L"__CLASS", L"__GENUS", L"alpha", L"Beta", L"Gamma", L"zeta"}) {
        positions.push_back(text.find(std::wstring(L"NAME=\"") + name + L"\""));
        ASSERT_NE(positions.back(), std::wstring::npos) << name;
    }
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
}

TEST(CimXmlWriter, EscapesMarkupAndCarriesNonAscii) {
    CimInstance instance{L"Msvm_Test\"<&>",
                         {},
                         {scalar(L"Notes", CimType::String, L"a & b < c > d \"q\" 'x' \\ Grüße 日本 😀"),
                          scalar(L"Quote\"Name", CimType::String, L"v")}};
    const std::wstring text = writeInstance(instance);
    EXPECT_EQ(dtdErrors(text), "");
    EXPECT_NE(text.find(L"CLASSNAME=\"Msvm_Test&quot;&lt;&amp;&gt;\""), std::wstring::npos);
    EXPECT_NE(text.find(L"<VALUE>a &amp; b &lt; c &gt; d \"q\" 'x' \\ Grüße 日本 😀</VALUE>"), std::wstring::npos);
    EXPECT_NE(text.find(L"NAME=\"Quote&quot;Name\""), std::wstring::npos);
}

TEST(CimXmlWriter, DistinguishesNullFromEmpty) {
    CimInstance instance{L"Msvm_Test",
                         {},
                         {scalar(L"A_NullScalar", CimType::String, std::nullopt, L"Msvm_Test", true),
                          scalar(L"B_EmptyString", CimType::String, L""),
                          array(L"C_NullArray", CimType::Uint16, std::nullopt, L"Msvm_Test", true),
                          array(L"D_EmptyArray", CimType::Uint16, std::vector<std::wstring>{}),
                          array(L"E_Array", CimType::Uint16, std::vector<std::wstring>{L"1", L"2"})}};
    const std::wstring text = writeInstance(instance);
    EXPECT_EQ(dtdErrors(text), "");
    EXPECT_EQ(text,
              L"<INSTANCE CLASSNAME=\"Msvm_Test\">"
              L"<PROPERTY NAME=\"A_NullScalar\" CLASSORIGIN=\"Msvm_Test\" PROPAGATED=\"true\" TYPE=\"string\">"
              L"</PROPERTY>"
              L"<PROPERTY NAME=\"B_EmptyString\" TYPE=\"string\"><VALUE></VALUE></PROPERTY>"
              L"<PROPERTY.ARRAY NAME=\"C_NullArray\" CLASSORIGIN=\"Msvm_Test\" PROPAGATED=\"true\" TYPE=\"uint16\">"
              L"</PROPERTY.ARRAY>"
              L"<PROPERTY.ARRAY NAME=\"D_EmptyArray\" TYPE=\"uint16\"><VALUE.ARRAY></VALUE.ARRAY></PROPERTY.ARRAY>"
              L"<PROPERTY.ARRAY NAME=\"E_Array\" TYPE=\"uint16\"><VALUE.ARRAY><VALUE>1</VALUE><VALUE>2</VALUE>"
              L"</VALUE.ARRAY></PROPERTY.ARRAY>"
              L"</INSTANCE>");
}

TEST(CimXmlWriter, WritesBooleansInUpperCase) {
    CimInstance instance{L"Msvm_Test",
                         {},
                         {scalar(L"A", CimType::Boolean, L"true"), scalar(L"B", CimType::Boolean, L"False"),
                          array(L"C", CimType::Boolean, std::vector<std::wstring>{L"TRUE", L"false"})}};
    const std::wstring text = writeInstance(instance);
    EXPECT_EQ(dtdErrors(text), "");
    EXPECT_NE(text.find(L"NAME=\"A\" TYPE=\"boolean\"><VALUE>TRUE</VALUE>"), std::wstring::npos);
    EXPECT_NE(text.find(L"NAME=\"B\" TYPE=\"boolean\"><VALUE>FALSE</VALUE>"), std::wstring::npos);
    EXPECT_NE(text.find(L"<VALUE>TRUE</VALUE><VALUE>FALSE</VALUE>"), std::wstring::npos);
}

TEST(CimXmlWriter, EveryTypeNameIsOneTheDtdAllows) {
    CimInstance instance{L"Msvm_Test", {}, {}};
    const CimType all[] = {CimType::String, CimType::Boolean, CimType::Uint8,    CimType::Sint8,  CimType::Uint16,
                           CimType::Sint16, CimType::Uint32,  CimType::Sint32,   CimType::Uint64, CimType::Sint64,
                           CimType::Real32, CimType::Real64,  CimType::Datetime, CimType::Char16};
    for (CimType type : all) {
        instance.properties.push_back(scalar(L"P" + std::wstring(cimTypeName(type)), type, std::nullopt));
        instance.properties.push_back(array(L"A" + std::wstring(cimTypeName(type)), type, std::nullopt));
    }
    EXPECT_EQ(dtdErrors(writeInstance(instance)), "");
}

TEST(CimXmlWriter, CharactersXmlCannotCarryBecomeReplacementCharacters) {
    CimInstance instance{L"Msvm_Test",
                         {},
                         {scalar(L"Odd", CimType::String,
                                 std::wstring(L"a\x01"
                                              L"b\xFFFE"))}};
    const std::wstring text = writeInstance(instance);
    EXPECT_EQ(dtdErrors(text), "");
    EXPECT_NE(text.find(L"<VALUE>a\xFFFD"
                        L"b\xFFFD</VALUE>"),
              std::wstring::npos);
}

TEST(CimXmlWriter, RefusesInstancesWithoutTextForm) {
    EXPECT_THROW(writeInstance(CimInstance{L"", {}, {}}), std::invalid_argument);
    EXPECT_THROW(writeInstance(CimInstance{L"C", {}, {scalar(L"", CimType::String, L"x")}}), std::invalid_argument);
    CimProperty twoValues = scalar(L"P", CimType::String, L"x");
    twoValues.values->push_back(L"y");
    EXPECT_THROW(writeInstance(CimInstance{L"C", {}, {twoValues}}), std::invalid_argument);
    CimProperty noValue = scalar(L"P", CimType::String, L"x");
    noValue.values->clear();
    EXPECT_THROW(writeInstance(CimInstance{L"C", {}, {noValue}}), std::invalid_argument);
    EXPECT_THROW(writeInstance(CimInstance{L"C", {}, {scalar(L"P", CimType::Boolean, L"1")}}),
                 std::invalid_argument);
    EXPECT_THROW(writeInstance(CimInstance{L"C", {}, {scalar(L"P", CimType::Reference, L"C.K=1")}}),
                 std::invalid_argument);
}

TEST(CimTypeNames, MapBothWays) {
    EXPECT_EQ(cimTypeName(CimType::Uint16), L"uint16");
    EXPECT_EQ(cimTypeName(CimType::Reference), L"ref");
    EXPECT_EQ(cimTypeFromName(L"String"), CimType::String);
    EXPECT_EQ(cimTypeFromName(L"reference"), CimType::Reference);
    EXPECT_EQ(cimTypeFromName(L"uint"), std::nullopt);
    for (int i = 0; i <= static_cast<int>(CimType::Char16); ++i) {
        const auto type = static_cast<CimType>(i);
        EXPECT_EQ(cimTypeFromName(cimTypeName(type)), type);
    }
}

}  // namespace
}  // namespace HyperVSim::cimxml::test

namespace HyperVSim::cimxml::test {
namespace {

// The writer tests lean on the validator; it has to refuse what the DTD forbids or they prove nothing.
TEST(CimDtdValidator, RefusesDocumentsTheDtdForbids) {
    EXPECT_EQ(dtdErrors(L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"string\"></PROPERTY></INSTANCE>"),
              "");
    EXPECT_NE(dtdErrors(L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\"></PROPERTY></INSTANCE>"), "");
    EXPECT_NE(dtdErrors(L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"object\"></PROPERTY></INSTANCE>"),
              "");
    EXPECT_NE(dtdErrors(L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"string\"><VALUE.ARRAY/></PROPERTY>"
                        L"</INSTANCE>"),
              "");
    EXPECT_NE(dtdErrors(L"<INSTANCE><PROPERTY NAME=\"P\" TYPE=\"string\"></PROPERTY></INSTANCE>"), "");
    EXPECT_NE(dtdErrors(L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\" PROPAGATED=\"yes\" TYPE=\"string\">"
                        L"</PROPERTY></INSTANCE>"),
              "");
}

}  // namespace
}  // namespace HyperVSim::cimxml::test
