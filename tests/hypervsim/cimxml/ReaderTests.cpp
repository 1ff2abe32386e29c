#include <gtest/gtest.h>

#include "CimXml.h"
#include "Samples.h"

namespace HyperVSim::cimxml::test {
namespace {

CimInstance readOk(std::wstring_view text) {
    ReadResult result = readInstance(text);
    EXPECT_TRUE(result.instance.has_value()) << result.error;
    EXPECT_EQ(result.error, "");
    return result.instance.value_or(CimInstance{});
}

// Expects a rejection whose message mentions `fragment`, so that a wrong reason does not pass unnoticed.
void expectRejected(std::wstring_view text, std::string_view fragment) {
    ReadResult result = readInstance(text);
    EXPECT_FALSE(result.instance.has_value());
    EXPECT_NE(result.error.find(fragment), std::string::npos) << "error was: " << result.error;
}

// A spawned RASD as GetText(1) shows it once a template's key was copied in: relative path set, full path empty,
// unset properties propagated from the class, all on one line.
const wchar_t* const kNovaLikeDocument =
    L"<INSTANCE CLASSNAME=\"Msvm_ResourceAllocationSettingData\">"
    L"<PROPERTY NAME=\"__PATH\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"string\"></PROPERTY>"
    L"<PROPERTY NAME=\"__NAMESPACE\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"string\"></PROPERTY>"
    L"<PROPERTY NAME=\"__SERVER\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"string\"></PROPERTY>"
    L"<PROPERTY.ARRAY NAME=\"__DERIVATION\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"string\"><VALUE.ARRAY>"
    L"<VALUE>CIM_ResourceAllocationSettingData</VALUE><VALUE>CIM_SettingData</VALUE>"
    L"<VALUE>CIM_ManagedElement</VALUE></VALUE.ARRAY></PROPERTY.ARRAY>"
    L"<PROPERTY NAME=\"__PROPERTY_COUNT\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"sint32\"><VALUE>5</VALUE></PROPERTY>"
    L"<PROPERTY NAME=\"__RELPATH\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"string\"><VALUE>"
    L"Msvm_ResourceAllocationSettingData.InstanceID=\"Microsoft:Definition\\\\118C3BE5-0D5B-4E7B-9D5B-"
    L"2B5C4F7F5A10\\\\Default\"</VALUE></PROPERTY>"
    L"<PROPERTY NAME=\"__DYNASTY\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"string\"><VALUE>CIM_ManagedElement</VALUE>"
    L"</PROPERTY>"
    L"<PROPERTY NAME=\"__SUPERCLASS\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"string\"><VALUE>"
    L"CIM_ResourceAllocationSettingData</VALUE></PROPERTY>"
    L"<PROPERTY NAME=\"__CLASS\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"string\"><VALUE>"
    L"Msvm_ResourceAllocationSettingData</VALUE></PROPERTY>"
    L"<PROPERTY NAME=\"__GENUS\" CLASSORIGIN=\"___SYSTEM\" TYPE=\"sint32\"><VALUE>2</VALUE></PROPERTY>"
    L"<PROPERTY.ARRAY NAME=\"Connection\" CLASSORIGIN=\"CIM_ResourceAllocationSettingData\" PROPAGATED=\"true\" "
    L"TYPE=\"string\"></PROPERTY.ARRAY>"
    L"<PROPERTY NAME=\"InstanceID\" CLASSORIGIN=\"CIM_SettingData\" TYPE=\"string\"><VALUE>"
    L"Microsoft:Definition\\118C3BE5-0D5B-4E7B-9D5B-2B5C4F7F5A10\\Default</VALUE></PROPERTY>"
    L"<PROPERTY NAME=\"Parent\" CLASSORIGIN=\"CIM_ResourceAllocationSettingData\" TYPE=\"string\"><VALUE>"
    L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ResourceAllocationSettingData.InstanceID=\"Microsoft:"
    L"A\\\\B\"</VALUE></PROPERTY>"
    L"<PROPERTY NAME=\"ResourceType\" CLASSORIGIN=\"CIM_ResourceAllocationSettingData\" TYPE=\"uint16\">"
    L"<VALUE>17</VALUE></PROPERTY>"
    L"<PROPERTY NAME=\"TimeStamp\" CLASSORIGIN=\"Msvm_ResourceAllocationSettingData\" PROPAGATED=\"true\" "
    L"TYPE=\"datetime\"><VALUE>00000000000000.000000:000</VALUE></PROPERTY>"
    L"</INSTANCE>";

TEST(CimXmlReader, ReadsFullWmiDocument) {
    const CimInstance instance = readOk(kNovaLikeDocument);
    EXPECT_EQ(instance.className, L"Msvm_ResourceAllocationSettingData");

    ASSERT_EQ(instance.systemProperties.size(), 10u);
    EXPECT_EQ(instance.systemProperties[0], scalar(L"__PATH", CimType::String, std::nullopt, L"___SYSTEM"));
    EXPECT_EQ(instance.systemProperties[3].name, L"__DERIVATION");
    EXPECT_TRUE(instance.systemProperties[3].isArray);
    EXPECT_EQ(instance.systemProperties[3].values->size(), 3u);
    EXPECT_EQ(instance.systemProperties[5].values->front(),
              L"Msvm_ResourceAllocationSettingData.InstanceID=\"Microsoft:Definition\\\\118C3BE5-0D5B-4E7B-9D5B-"
              L"2B5C4F7F5A10\\\\Default\"");
    EXPECT_EQ(instance.systemProperties[9], scalar(L"__GENUS", CimType::Sint32, L"2", L"___SYSTEM"));

    ASSERT_EQ(instance.properties.size(), 5u);
    EXPECT_EQ(instance.properties[0],
              array(L"Connection", CimType::String, std::nullopt, L"CIM_ResourceAllocationSettingData", true));
    EXPECT_EQ(instance.properties[2].values->front(),
              L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ResourceAllocationSettingData.InstanceID=\"Microsoft:"
              L"A\\\\B\"");
    EXPECT_EQ(instance.properties[3],
              scalar(L"ResourceType", CimType::Uint16, L"17", L"CIM_ResourceAllocationSettingData"));
    EXPECT_EQ(instance.properties[4], scalar(L"TimeStamp", CimType::Datetime, L"00000000000000.000000:000",
                                             L"Msvm_ResourceAllocationSettingData", true));
}

TEST(CimXmlReader, ReadsMinimalHandBuiltDocument) {
    // Indented, lower-case booleans, no CLASSORIGIN and no system properties, as WS-Man clients build it.
    const CimInstance instance = readOk(
        L"<INSTANCE CLASSNAME=\"Msvm_VirtualSystemSettingData\">\n"
        L"  <PROPERTY NAME=\"ElementName\" TYPE=\"string\"><VALUE>vm &amp; co</VALUE></PROPERTY>\n"
        L"  <PROPERTY NAME=\"VirtualNumaEnabled\" TYPE=\"boolean\"><VALUE>true</VALUE></PROPERTY>\n"
        L"  <PROPERTY NAME=\"SecureBootEnabled\" TYPE=\"boolean\"><VALUE>false</VALUE></PROPERTY>\n"
        L"  <PROPERTY.ARRAY NAME=\"BootOrder\" TYPE=\"uint16\">\n"
        L"    <VALUE.ARRAY><VALUE>2</VALUE><VALUE>1</VALUE></VALUE.ARRAY>\n"
        L"  </PROPERTY.ARRAY>\n"
        L"</INSTANCE>\n");
    const CimInstance expected{L"Msvm_VirtualSystemSettingData",
                               {},
                               {scalar(L"ElementName", CimType::String, L"vm & co"),
                                scalar(L"VirtualNumaEnabled", CimType::Boolean, L"TRUE"),
                                scalar(L"SecureBootEnabled", CimType::Boolean, L"FALSE"),
                                array(L"BootOrder", CimType::Uint16, std::vector<std::wstring>{L"2", L"1"})}};
    EXPECT_EQ(instance, expected);
}

TEST(CimXmlReader, KeepsValueTextExactly) {
    const CimInstance instance = readOk(
        // The declaration is ignored: the text arrives as a wide string, whatever encoding it names.
        L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><INSTANCE CLASSNAME=\"Grüße\">"
        L"<PROPERTY NAME=\"Spaces\" TYPE=\"string\"><VALUE>  two  </VALUE></PROPERTY>"
        L"<PROPERTY NAME=\"Empty\" TYPE=\"string\"><VALUE/></PROPERTY>"
        L"<PROPERTY NAME=\"Refs\" TYPE=\"string\"><VALUE>&#x65E5;&#26412;&lt;&gt;&quot;&apos;</VALUE></PROPERTY>"
        L"<PROPERTY NAME=\"Cdata\" TYPE=\"string\"><VALUE><![CDATA[<raw & text>]]></VALUE></PROPERTY>"
        L"<PROPERTY NAME=\"Propagated\" PROPAGATED=\"false\" TYPE=\"string\"><QUALIFIER NAME=\"Key\" "
        L"TYPE=\"boolean\"><VALUE>true</VALUE></QUALIFIER><VALUE>q</VALUE></PROPERTY>"
        L"</INSTANCE>");
    EXPECT_EQ(instance.className, L"Grüße");
    ASSERT_EQ(instance.properties.size(), 5u);
    EXPECT_EQ(instance.properties[0].values->front(), L"  two  ");
    EXPECT_EQ(instance.properties[1].values->front(), L"");
    EXPECT_EQ(instance.properties[2].values->front(), L"日本<>\"'");
    EXPECT_EQ(instance.properties[3].values->front(), L"<raw & text>");
    EXPECT_EQ(instance.properties[4], scalar(L"Propagated", CimType::String, L"q"));
}

TEST(CimXmlReader, RejectsMalformedXml) {
    expectRejected(L"", "not well-formed");
    expectRejected(L"<INSTANCE CLASSNAME=\"C\">", "not well-formed");
    expectRejected(L"<INSTANCE CLASSNAME=\"C\"><PROPERTY></INSTANCE>", "not well-formed");
    expectRejected(L"<INSTANCE CLASSNAME=\"C\"/><INSTANCE CLASSNAME=\"D\"/>", "not well-formed");
    expectRejected(
        L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"string\"><VALUE>&nbsp;</VALUE>"
        L"</PROPERTY></INSTANCE>",
        "not well-formed");
}

TEST(CimXmlReader, RejectsDocumentTypeDeclarations) {
    expectRejected(L"<!DOCTYPE INSTANCE SYSTEM \"file:///etc/passwd\"><INSTANCE CLASSNAME=\"C\"/>",
                   "document type declarations are not accepted");
    expectRejected(
        L"<!DOCTYPE INSTANCE [<!ENTITY x \"boom\">]><INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\" "
        L"TYPE=\"string\"><VALUE>&x;</VALUE></PROPERTY></INSTANCE>",
        "document type declarations are not accepted");
    expectRejected(
        L"<!DOCTYPE INSTANCE [<!ENTITY % ext SYSTEM \"http://127.0.0.1:1/x.dtd\"> %ext;]>"
        L"<INSTANCE CLASSNAME=\"C\"/>",
        "document type declarations are not accepted");
}

TEST(CimXmlReader, RejectsWrongInstanceStructure) {
    expectRejected(L"<CLASS NAME=\"C\"/>", "root element is 'CLASS'");
    expectRejected(L"<VALUE.NAMEDINSTANCE><INSTANCE CLASSNAME=\"C\"/></VALUE.NAMEDINSTANCE>",
                   "root element is 'VALUE.NAMEDINSTANCE'");
    expectRejected(L"<INSTANCE/>", "INSTANCE without CLASSNAME");
    expectRejected(L"<INSTANCE CLASSNAME=\"\"/>", "empty CLASSNAME");
    expectRejected(L"<INSTANCE CLASSNAME=\"C\"><METHOD NAME=\"M\"/></INSTANCE>", "INSTANCE contains 'METHOD'");
    expectRejected(L"<INSTANCE CLASSNAME=\"C\"><PROPERTY.REFERENCE NAME=\"R\"/></INSTANCE>",
                   "reference properties are not supported");
}

TEST(CimXmlReader, RejectsBadPropertyDeclarations) {
    expectRejected(L"<INSTANCE CLASSNAME=\"C\"><PROPERTY TYPE=\"string\"/></INSTANCE>", "PROPERTY without NAME");
    expectRejected(L"<INSTANCE CLASSNAME=\"C\"><PROPERTY.ARRAY TYPE=\"string\"/></INSTANCE>",
                   "PROPERTY.ARRAY without NAME");
    expectRejected(L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\"/></INSTANCE>", "'P' without TYPE");
    expectRejected(L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"reference\"/></INSTANCE>",
                   "unknown TYPE 'reference'");
    expectRejected(
        L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"string\" PROPAGATED=\"yes\"/></INSTANCE>",
        "PROPAGATED='yes'");
    expectRejected(
        L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"boolean\"><VALUE>1</VALUE></PROPERTY>"
        L"</INSTANCE>",
        "boolean property 'P' has value '1'");
}

TEST(CimXmlReader, RejectsValuesThatDoNotMatchTheProperty) {
    expectRejected(
        L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"string\"><VALUE.ARRAY><VALUE>a</VALUE>"
        L"</VALUE.ARRAY></PROPERTY></INSTANCE>",
        "scalar property 'P' has a VALUE.ARRAY");
    expectRejected(
        L"<INSTANCE CLASSNAME=\"C\"><PROPERTY.ARRAY NAME=\"P\" TYPE=\"string\"><VALUE>a</VALUE>"
        L"</PROPERTY.ARRAY></INSTANCE>",
        "array property 'P' has a bare VALUE");
    expectRejected(
        L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"string\"><VALUE>a</VALUE><VALUE>b</VALUE>"
        L"</PROPERTY></INSTANCE>",
        "more than one value");
    expectRejected(
        L"<INSTANCE CLASSNAME=\"C\"><PROPERTY.ARRAY NAME=\"P\" TYPE=\"string\"><VALUE.ARRAY>"
        L"<VALUE.NULL/></VALUE.ARRAY></PROPERTY.ARRAY></INSTANCE>",
        "NULL element");
    expectRejected(
        L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"string\"><VALUE><b>x</b></VALUE>"
        L"</PROPERTY></INSTANCE>",
        "contains element 'b'");
}

TEST(CimXmlReader, RejectsDuplicatePropertiesIgnoringCase) {
    expectRejected(
        L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"Name\" TYPE=\"string\"/>"
        L"<PROPERTY NAME=\"Name\" TYPE=\"string\"/></INSTANCE>",
        "duplicate property 'Name'");
    expectRejected(
        L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"Name\" TYPE=\"string\"/>"
        L"<PROPERTY.ARRAY NAME=\"NAME\" TYPE=\"string\"/></INSTANCE>",
        "duplicate property 'NAME'");
    expectRejected(
        L"<INSTANCE CLASSNAME=\"C\"><PROPERTY NAME=\"__CLASS\" TYPE=\"string\"/>"
        L"<PROPERTY NAME=\"__Class\" TYPE=\"string\"/></INSTANCE>",
        "duplicate property '__Class'");
}

}  // namespace
}  // namespace HyperVSim::cimxml::test
