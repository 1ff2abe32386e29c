#include <gtest/gtest.h>

#include <algorithm>

#include "CimXml.h"
#include "DtdValidator.h"
#include "Samples.h"
#include "Text.h"

namespace HyperVSim::cimxml::test {
namespace {

// What reading back yields: the same instance with its properties in written (alphabetical) order.
CimInstance sortedByName(CimInstance instance) {
    std::stable_sort(instance.properties.begin(), instance.properties.end(),
                     [](const CimProperty& a, const CimProperty& b) { return lessIgnoringCase(a.name, b.name); });
    return instance;
}

void expectRoundTrip(const CimInstance& instance) {
    const std::wstring text = writeInstance(instance);
    EXPECT_EQ(dtdErrors(text), "");
    const ReadResult result = readInstance(text);
    ASSERT_TRUE(result.instance.has_value()) << result.error;
    EXPECT_EQ(*result.instance, sortedByName(instance));
    EXPECT_EQ(writeInstance(*result.instance), text);
}

TEST(CimXmlRoundTrip, SettingsObjectWithSystemProperties) {
    expectRoundTrip(memorySettings());
}

TEST(CimXmlRoundTrip, AwkwardValues) {
    expectRoundTrip(CimInstance{
        L"Msvm_Test",
        {},
        {scalar(L"Markup", CimType::String, L"<a href=\"x\">&amp;</a> ]]> 'q'"),
         scalar(L"Whitespace", CimType::String, L" \t line1\r\nline2\n "),
         scalar(L"NonAscii", CimType::String, L"Grüße 日本 😀"), scalar(L"Empty", CimType::String, L""),
         scalar(L"Null", CimType::Uint32, std::nullopt, L"Msvm_Test", true),
         scalar(L"Flag", CimType::Boolean, L"TRUE"), scalar(L"Letter", CimType::Char16, L"x"),
         scalar(L"Negative", CimType::Sint64, L"-9223372036854775808"),
         scalar(L"Huge", CimType::Uint64, L"18446744073709551615"), scalar(L"Ratio", CimType::Real64, L"0.25"),
         scalar(L"When", CimType::Datetime, L"20240101120000.000000+000"),
         array(L"EmptyList", CimType::String, std::vector<std::wstring>{}),
         array(L"NullList", CimType::Sint16, std::nullopt),
         array(L"Paths", CimType::String,
               std::vector<std::wstring>{L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch."
                                         L"CreationClassName=\"Msvm_VirtualEthernetSwitch\",Name=\"GUID\"",
                                         L""})}});
}

}  // namespace
}  // namespace HyperVSim::cimxml::test
