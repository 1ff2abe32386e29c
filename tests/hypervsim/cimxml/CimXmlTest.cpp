// CIM-XML as the host writes and reads it: what the writer gives is valid against the CIM DTD and reads back as
// the same instance; documents as clients send them -> the instance read or why it is refused.
#include <libxml/parser.h>
#include <libxml/valid.h>

#include <cstdarg>
#include <stdexcept>

#include "CimXml.h"
#include "TestPaths.h"
#include "Text.h"

namespace HyperVSim::cimxml::test {
namespace {

void collect(void* sink, const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    *static_cast<std::string*>(sink) += buffer;
}

// The validator's messages for a document against the CIM DTD with INSTANCE as the root; empty when valid.
std::string dtdErrors(std::wstring_view document) {
    const std::unique_ptr<xmlDtd, decltype(&xmlFreeDtd)> dtd(
        xmlParseDTD(nullptr, reinterpret_cast<const xmlChar*>(VelmoraTestPaths::cimDtd)), xmlFreeDtd);
    if (!dtd) return std::string("cannot load ") + VelmoraTestPaths::cimDtd;
    const std::string utf8 = toUtf8(document);
    const std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", XML_PARSE_NONET), xmlFreeDoc);
    const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!root || std::string_view(reinterpret_cast<const char*>(root->name)) != "INSTANCE") return "no INSTANCE";
    std::string errors;
    const std::unique_ptr<xmlValidCtxt, decltype(&xmlFreeValidCtxt)> validator(xmlNewValidCtxt(), xmlFreeValidCtxt);
    validator->userData = &errors;
    validator->error = collect;
    validator->warning = collect;
    if (xmlValidateDtd(validator.get(), doc.get(), dtd.get()) != 1 && errors.empty()) errors = "invalid";
    return errors;
}

CimProperty scalar(std::wstring name, CimType type, std::optional<std::wstring> value, std::wstring origin = {},
                   bool propagated = false) {
    CimProperty property{std::move(name), type, false, std::move(origin), propagated, std::nullopt};
    if (value) property.values = std::vector<std::wstring>{std::move(*value)};
    return property;
}
CimProperty array(std::wstring name, CimType type, std::optional<std::vector<std::wstring>> values,
                  std::wstring origin = {}, bool propagated = false) {
    return CimProperty{std::move(name), type, true, std::move(origin), propagated, std::move(values)};
}

TEST(CimXml, WhatTheWriterGivesIsValidAndReadsBackTheSame) {
    CimInstance everyType{L"Msvm_Test", {}, {}};
    for (int i = 0; i <= static_cast<int>(CimType::Char16); ++i) {
        const auto type = static_cast<CimType>(i);
        if (type == CimType::Reference) continue;
        everyType.properties.push_back(scalar(L"S" + std::wstring(cimTypeName(type)), type, std::nullopt));
        everyType.properties.push_back(array(L"A" + std::wstring(cimTypeName(type)), type, std::nullopt));
    }
    const std::wstring relPath = L"Msvm_MemorySettingData.InstanceID=\"Microsoft:4764\\\\4764\"";
    const CimInstance awkward{
        L"Msvm_MemorySettingData",
        {scalar(L"__PATH", CimType::String, L"\\\\HVSIM01\\root\\virtualization\\v2:" + relPath, L"___SYSTEM"),
         array(L"__DERIVATION", CimType::String,
               std::vector<std::wstring>{L"CIM_SettingData", L"CIM_ManagedElement"}, L"___SYSTEM"),
         scalar(L"__RELPATH", CimType::String, relPath, L"___SYSTEM"),
         scalar(L"__GENUS", CimType::Sint32, L"2", L"___SYSTEM")},
        {scalar(L"Markup", CimType::String, L"<a href=\"x\">&amp;</a> ]]> 'q'"),
         scalar(L"Whitespace", CimType::String, L" \t line1\r\nline2\n "),
         scalar(L"NonAscii", CimType::String, L"Grüße 日本 😀"), scalar(L"Empty", CimType::String, L""),
         scalar(L"Null", CimType::Uint32, std::nullopt, L"Msvm_Test", true),
         scalar(L"Flag", CimType::Boolean, L"TRUE", L"Msvm_MemorySettingData"),
         scalar(L"Letter", CimType::Char16, L"x"), scalar(L"Negative", CimType::Sint64, L"-9223372036854775808"),
         scalar(L"Huge", CimType::Uint64, L"18446744073709551615"), scalar(L"Ratio", CimType::Real64, L"0.25"),
         scalar(L"When", CimType::Datetime, L"20240101120000.000000+000"),
         array(L"EmptyList", CimType::String, std::vector<std::wstring>{}),
         array(L"Paths", CimType::String, std::vector<std::wstring>{L"\\\\HVSIM01\\root:C.Name=\"GUID\"", L""})}};
    for (const CimInstance& instance : {everyType, awkward}) {
        const std::wstring text = writeInstance(instance);
        EXPECT_EQ(dtdErrors(text), "");
        const ReadResult read = readInstance(text);
        ASSERT_TRUE(read.instance) << read.error;
        CimInstance inWrittenOrder = instance;
        std::stable_sort(inWrittenOrder.properties.begin(), inWrittenOrder.properties.end(),
                         [](const auto& a, const auto& b) { return lessIgnoringCase(a.name, b.name); });
        EXPECT_EQ(*read.instance, inWrittenOrder);
        EXPECT_EQ(writeInstance(*read.instance), text);
    }
}

// System properties in their order, then the others by name without case; NULL apart from empty; markup
// escaped; booleans in capitals; characters XML cannot carry replaced.
TEST(CimXml, WritesTheTextWmiWrites) {
    const CimInstance instance{
        L"Msvm_Test\"<&>",
        {scalar(L"__CLASS", CimType::String, L"Msvm_Test", L"___SYSTEM"),
         scalar(L"__GENUS", CimType::Sint32, L"2", L"___SYSTEM")},
        {scalar(L"Quote\"Name", CimType::String, L"v"),
         scalar(L"Notes", CimType::String, L"a & b < c > d \"q\" 'x' \\ Grüße 😀 \x01 \xFFFE"),
         array(L"e_Empty", CimType::Uint16, std::vector<std::wstring>{}),
         array(L"D_Array", CimType::Boolean, std::vector<std::wstring>{L"true", L"False"}),
         scalar(L"c", CimType::Boolean, L"true"), scalar(L"b_Empty", CimType::String, L""),
         array(L"A_NullArray", CimType::Uint16, std::nullopt, L"Msvm_Test", true),
         scalar(L"A_Null", CimType::String, std::nullopt, L"Msvm_Test", true)}};
    const std::wstring text = writeInstance(instance);
    EXPECT_EQ(dtdErrors(text), "");
    EXPECT_EQ(
        text,
        LR"(<INSTANCE CLASSNAME="Msvm_Test&quot;&lt;&amp;&gt;">)"
        LR"(<PROPERTY NAME="__CLASS" CLASSORIGIN="___SYSTEM" TYPE="string"><VALUE>Msvm_Test</VALUE></PROPERTY>)"
        LR"(<PROPERTY NAME="__GENUS" CLASSORIGIN="___SYSTEM" TYPE="sint32"><VALUE>2</VALUE></PROPERTY>)"
        LR"(<PROPERTY NAME="A_Null" CLASSORIGIN="Msvm_Test" PROPAGATED="true" TYPE="string"></PROPERTY>)"
        LR"(<PROPERTY.ARRAY NAME="A_NullArray" CLASSORIGIN="Msvm_Test" PROPAGATED="true" TYPE="uint16">)"
        LR"(</PROPERTY.ARRAY><PROPERTY NAME="b_Empty" TYPE="string"><VALUE></VALUE></PROPERTY>)"
        LR"(<PROPERTY NAME="c" TYPE="boolean"><VALUE>TRUE</VALUE></PROPERTY>)"
        LR"(<PROPERTY.ARRAY NAME="D_Array" TYPE="boolean"><VALUE.ARRAY><VALUE>TRUE</VALUE><VALUE>FALSE</VALUE>)"
        LR"(</VALUE.ARRAY></PROPERTY.ARRAY>)"
        LR"(<PROPERTY.ARRAY NAME="e_Empty" TYPE="uint16"><VALUE.ARRAY></VALUE.ARRAY></PROPERTY.ARRAY>)"
        LR"(<PROPERTY NAME="Notes" TYPE="string"><VALUE>a &amp; b &lt; c &gt; d "q" 'x' \ Grüße 😀 )"
        L"\xFFFD \xFFFD"
        LR"(</VALUE></PROPERTY><PROPERTY NAME="Quote&quot;Name" TYPE="string"><VALUE>v</VALUE></PROPERTY>)"
        LR"(</INSTANCE>)");
}

TEST(CimXml, RefusesToWriteWhatHasNoText) {
    CimProperty twoValues = scalar(L"P", CimType::String, L"x"), noValue = twoValues;
    twoValues.values->push_back(L"y");
    noValue.values->clear();
    for (const CimInstance& instance :
         {CimInstance{L"", {}, {}}, CimInstance{L"C", {}, {scalar(L"", CimType::String, L"x")}},
          CimInstance{L"C", {}, {twoValues}}, CimInstance{L"C", {}, {noValue}},
          CimInstance{L"C", {}, {scalar(L"P", CimType::Boolean, L"1")}},
          CimInstance{L"C", {}, {scalar(L"P", CimType::Reference, L"C.K=1")}}})
        EXPECT_THROW(writeInstance(instance), std::invalid_argument);
}

TEST(CimXml, ReadsWhatClientsBuildByHand) {
    // Indented, lower-case booleans, no CLASSORIGIN and no system properties, as WS-Man clients build it.
    const ReadResult minimal = readInstance(
        L"<INSTANCE CLASSNAME=\"Msvm_VirtualSystemSettingData\">\n"
        L"  <PROPERTY NAME=\"ElementName\" TYPE=\"string\"><VALUE>vm &amp; co</VALUE></PROPERTY>\n"
        L"  <PROPERTY NAME=\"VirtualNumaEnabled\" TYPE=\"boolean\"><VALUE>true</VALUE></PROPERTY>\n"
        L"  <PROPERTY.ARRAY NAME=\"BootOrder\" TYPE=\"uint16\">\n"
        L"    <VALUE.ARRAY><VALUE>2</VALUE><VALUE>1</VALUE></VALUE.ARRAY>\n"
        L"  </PROPERTY.ARRAY>\n"
        L"</INSTANCE>\n");
    EXPECT_EQ(minimal.instance,
              (CimInstance{L"Msvm_VirtualSystemSettingData",
                           {},
                           {scalar(L"ElementName", CimType::String, L"vm & co"),
                            scalar(L"VirtualNumaEnabled", CimType::Boolean, L"TRUE"),
                            array(L"BootOrder", CimType::Uint16, std::vector<std::wstring>{L"2", L"1"})}}));
    // The declaration is ignored: the text arrives as a wide string, whatever encoding it names.
    const ReadResult exact = readInstance(
        LR"(<?xml version="1.0" encoding="UTF-16"?><INSTANCE CLASSNAME="Grüße">)"
        LR"(<PROPERTY NAME="A" TYPE="string"><VALUE>  two  </VALUE></PROPERTY>)"
        LR"(<PROPERTY NAME="B" TYPE="string"><VALUE/></PROPERTY>)"
        LR"(<PROPERTY NAME="C" TYPE="string"><VALUE>&#x65E5;&#26412;&lt;&gt;&quot;&apos;</VALUE></PROPERTY>)"
        LR"(<PROPERTY NAME="D" TYPE="string"><VALUE><![CDATA[<raw & text>]]></VALUE></PROPERTY>)"
        LR"(<PROPERTY NAME="E" PROPAGATED="false" TYPE="string"><QUALIFIER NAME="Key" TYPE="boolean">)"
        LR"(<VALUE>true</VALUE></QUALIFIER><VALUE>q</VALUE></PROPERTY></INSTANCE>)");
    EXPECT_EQ(exact.instance,
              (CimInstance{L"Grüße",
                           {},
                           {scalar(L"A", CimType::String, L"  two  "), scalar(L"B", CimType::String, L""),
                            scalar(L"C", CimType::String, L"日本<>\"'"),
                            scalar(L"D", CimType::String, L"<raw & text>"), scalar(L"E", CimType::String, L"q")}}));
}

TEST(CimXml, RefusesWhatIsNoInstanceAndSaysWhy) {
    const auto in = [](const std::wstring& body) { return L"<INSTANCE CLASSNAME=\"C\">" + body + L"</INSTANCE>"; };
    // clang-format off
    const std::pair<std::wstring, const char*> refused[] = {
        {L"", "not well-formed"}, {in(L"<PROPERTY>"), "not well-formed"},
        {in(LR"(<PROPERTY NAME="P" TYPE="string"><VALUE>&nbsp;</VALUE></PROPERTY>)"), "not well-formed"},
        {LR"(<!DOCTYPE INSTANCE [<!ENTITY x "boom">]><INSTANCE CLASSNAME="C"><PROPERTY NAME="P" TYPE="string">)" LR"(<VALUE>&x;</VALUE></PROPERTY></INSTANCE>)", "document type declarations"},
        {LR"(<!DOCTYPE INSTANCE [<!ENTITY % ext SYSTEM "http://127.0.0.1:1/x.dtd"> %ext;]><INSTANCE CLASSNAME="C"/>)", "document type declarations are not accepted"},
        {LR"(<CLASS NAME="C"/>)", "root element is 'CLASS'"}, {L"<INSTANCE/>", "INSTANCE without CLASSNAME"},
        {LR"(<INSTANCE CLASSNAME=""/>)", "empty CLASSNAME"},
        {in(LR"(<METHOD NAME="M"/>)"), "INSTANCE contains 'METHOD'"},
        {in(LR"(<PROPERTY.REFERENCE NAME="R"/>)"), "reference properties are not supported"},
        {in(LR"(<PROPERTY TYPE="string"/>)"), "PROPERTY without NAME"},
        {in(LR"(<PROPERTY NAME="P"/>)"), "'P' without TYPE"},
        {in(LR"(<PROPERTY NAME="P" TYPE="reference"/>)"), "unknown TYPE 'reference'"},
        {in(LR"(<PROPERTY NAME="P" TYPE="string" PROPAGATED="yes"/>)"), "PROPAGATED='yes'"},
        {in(LR"(<PROPERTY NAME="P" TYPE="boolean"><VALUE>1</VALUE></PROPERTY>)"), "boolean property 'P' has value '1'"},
        {in(LR"(<PROPERTY NAME="P" TYPE="string"><VALUE.ARRAY><VALUE>a</VALUE></VALUE.ARRAY></PROPERTY>)"), "scalar property 'P' has a VALUE.ARRAY"},
        {in(LR"(<PROPERTY.ARRAY NAME="P" TYPE="string"><VALUE>a</VALUE></PROPERTY.ARRAY>)"), "array property 'P' has a bare VALUE"},
        {in(LR"(<PROPERTY NAME="P" TYPE="string"><VALUE>a</VALUE><VALUE>b</VALUE></PROPERTY>)"), "more than one value"},
        {in(LR"(<PROPERTY.ARRAY NAME="P" TYPE="string"><VALUE.ARRAY><VALUE.NULL/></VALUE.ARRAY></PROPERTY.ARRAY>)"), "NULL element"},
        {in(LR"(<PROPERTY NAME="P" TYPE="string"><VALUE><b>x</b></VALUE></PROPERTY>)"), "contains element 'b'"},
        {in(LR"(<PROPERTY NAME="Name" TYPE="string"/><PROPERTY NAME="Name" TYPE="string"/>)"), "duplicate property 'Name'"},
        {in(LR"(<PROPERTY NAME="Name" TYPE="string"/><PROPERTY.ARRAY NAME="NAME" TYPE="string"/>)"), "duplicate property 'NAME'"}};
    // clang-format on
    for (const auto& [document, reason] : refused) {
        const ReadResult result = readInstance(document);
        EXPECT_FALSE(result.instance) << toUtf8(document);
        EXPECT_NE(result.error.find(reason), std::string::npos)
            << toUtf8(document) << "\nrefused for: " << result.error;
    }
}

// The writer's tests lean on the validator: it has to refuse what the DTD forbids or they prove nothing.
TEST(CimXml, TheValidatorRefusesWhatTheDtdForbids) {
    EXPECT_EQ(dtdErrors(LR"(<INSTANCE CLASSNAME="C"><PROPERTY NAME="P" TYPE="string"></PROPERTY></INSTANCE>)"), "");
    for (const wchar_t* document :
         {LR"(<INSTANCE CLASSNAME="C"><PROPERTY NAME="P"></PROPERTY></INSTANCE>)",
          LR"(<INSTANCE CLASSNAME="C"><PROPERTY NAME="P" TYPE="object"></PROPERTY></INSTANCE>)",
          LR"(<INSTANCE CLASSNAME="C"><PROPERTY NAME="P" TYPE="string"><VALUE.ARRAY/></PROPERTY></INSTANCE>)",
          LR"(<INSTANCE><PROPERTY NAME="P" TYPE="string"></PROPERTY></INSTANCE>)",
          LR"(<INSTANCE CLASSNAME="C"><PROPERTY NAME="P" PROPAGATED="yes" TYPE="string"></PROPERTY></INSTANCE>)"})
        EXPECT_NE(dtdErrors(document), "") << toUtf8(document);
}

TEST(CimXml, TypeNamesAndUtf8GoBothWays) {
    for (int i = 0; i <= static_cast<int>(CimType::Char16); ++i)
        EXPECT_EQ(cimTypeFromName(cimTypeName(static_cast<CimType>(i))), static_cast<CimType>(i));
    EXPECT_EQ(cimTypeFromName(L"String"), CimType::String);
    EXPECT_EQ(cimTypeFromName(L"reference"), CimType::Reference);
    EXPECT_EQ(cimTypeFromName(L"uint"), std::nullopt);

    const std::wstring everyPlane = L"A\u00e9\u65e5\U0001F600\U0010FFFF";
    EXPECT_EQ(toUtf8(everyPlane), "A\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF");
    EXPECT_EQ(fromUtf8(toUtf8(everyPlane)), everyPlane);
    EXPECT_EQ(toUtf8(std::wstring{static_cast<wchar_t>(0xD800), L'x', static_cast<wchar_t>(0x110000)}),
              "\xEF\xBF\xBDx\xEF\xBF\xBD");
    // One U+FFFD for each maximal invalid subpart: a stray, overlong, surrogate, truncated, too large.
    // clang-format off
    const std::pair<const char*, const wchar_t*> malformed[] = {
        {"a\x80" "b", L"a\xFFFD" L"b"}, {"\xC0\xAF", L"\xFFFD\xFFFD"}, {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD"},
        {"\xE6\x97", L"\xFFFD"}, {"\xE6\x97!", L"\xFFFD!"}, {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD"}};
    // clang-format on
    for (const auto& [bytes, wide] : malformed) EXPECT_EQ(fromUtf8(bytes), wide) << bytes;
}

}  // namespace
}  // namespace HyperVSim::cimxml::test
