// Object paths as text -> what the host makes of them: server, namespace, the relative path it prints (keys
// sorted, every value double-quoted and escaped) and the first key's value; and which paths name one object.
#include <gtest/gtest.h>

#include "parse/ObjectPath.h"

namespace HyperVSim {
namespace {

const wchar_t* const machine =
    LR"(Msvm_ComputerSystem.CreationClassName="Msvm_ComputerSystem",Name="BAA72B74-BBD6-4F0B-88B0-4E3C8242C817")";

struct Parsed {
    const wchar_t* text;
    const wchar_t* server;
    const wchar_t* nameSpace;
    const wchar_t* relative;
    const wchar_t* firstValue;
};

const Parsed parsed[] = {
    {LR"(\\HVSIM01\root\virtualization\v2:Msvm_ComputerSystem.CreationClassName="Msvm_ComputerSystem",)"
     LR"(Name="BAA72B74-BBD6-4F0B-88B0-4E3C8242C817")",
     L"HVSIM01", L"root\\virtualization\\v2", machine, L"Msvm_ComputerSystem"},
    {LR"(Msvm_ResourceAllocationSettingData.InstanceID="Microsoft:BAA72B74\\83F8638B\\0")", L"", L"",
     LR"(Msvm_ResourceAllocationSettingData.InstanceID="Microsoft:BAA72B74\\83F8638B\\0")",
     L"Microsoft:BAA72B74\\83F8638B\\0"},
    {LR"(//./root/virtualization/v2:Msvm_ConcreteJob.InstanceID='7B2A')", L".", L"root\\virtualization\\v2",
     LR"(Msvm_ConcreteJob.InstanceID="7B2A")", L"7B2A"},
    {LR"(C.K='it\'s')", L"", L"", LR"(C.K="it's")", L"it's"},
    {LR"(C.K="say \"hi\"")", L"", L"", LR"(C.K="say \"hi\"")", L"say \"hi\""},
    {LR"(C.K="a\'b")", L"", L"", LR"(C.K="a'b")", L"a'b"},
    {LR"(C.K='q"uote')", L"", L"", LR"(C.K="q\"uote")", L"q\"uote"},
    {LR"(C.K="two words, one comma")", L"", L"", LR"(C.K="two words, one comma")", L"two words, one comma"},
    {LR"(\\localhost\root:C.K="v")", L"localhost", L"root", LR"(C.K="v")", L"v"},
    {LR"(root\cimv2:C.K="v")", L"", L"root\\cimv2", LR"(C.K="v")", L"v"},
    {LR"(C.Slot=-12,Name="x")", L"", L"", LR"(C.Name="x",Slot="-12")", L"-12"},
    {LR"(Msvm_Memory.SystemName='A1',deviceID='Microsoft:X\\0',CreationClassName=7)", L"", L"",
     LR"(Msvm_Memory.CreationClassName="7",deviceID="Microsoft:X\\0",SystemName="A1")", L"A1"},
    {L"Msvm_VirtualSystemManagementService", L"", L"", L"Msvm_VirtualSystemManagementService", nullptr},
    {LR"(\\HVSIM01\root\cimv2:__Win32Provider=@)", L"HVSIM01", L"root\\cimv2", L"__Win32Provider=@", nullptr},
};

TEST(ObjectPath, ReadsEachFormAndPrintsItsRelativePath) {
    for (const Parsed& row : parsed) {
        SCOPED_TRACE(std::wstring(row.text));
        const auto path = parseObjectPath(row.text);
        ASSERT_TRUE(path);
        EXPECT_EQ(path->server, row.server);
        EXPECT_EQ(path->nameSpace, row.nameSpace);
        EXPECT_EQ(path->relative(), row.relative);
        EXPECT_EQ(path->keys.empty() ? std::wstring(L"(none)") : path->keys[0].second,
                  row.firstValue ? row.firstValue : L"(none)");
        EXPECT_EQ(parseObjectPath(path->relative())->relative(), row.relative);
    }
    EXPECT_EQ(parseObjectPath(parsed[0].text)->full(L"HVSIM01", L"root\\virtualization\\v2"), parsed[0].text);
}

TEST(ObjectPath, RefusesMalformedText) {
    // clang-format off
    const wchar_t* const malformed[] = {
        L"", L" C.K=\"v\"", L"C.K = \"v\"", L"C. K=\"v\"", L"C.K=\"v\" ", L"\\\\HVSIM01\\root\\v2:.K=\"v\"",
        L"\\\\HVSIM01\\root\\virtualization\\v2:", L"\\\\HVSIM01\\root:", L"\\\\\\root:C", L"\\\\HVSIM01:C",
        L"\\\\HVSIM01\\root\\\\v2:C", L"root\\:C", L"C.K=\"v", L"C.K='v\\'", L"C.", L"C.K=\"v\",", L"C.K=\"v\"x",
        L"C.K=\"v\"\"w\"", L"C.K", L"C.K=", L"C.K=abc", L"C.K=\"v\",k=\"w\"", L"C=\"v\"", L"C=@x", L"9C.K=\"v\""};
    // clang-format on
    for (const wchar_t* text : malformed) EXPECT_FALSE(parseObjectPath(text)) << std::wstring(text);
}

TEST(ObjectPath, OneObjectWhateverTheQuotesCaseKeyOrderAndLocation) {
    const struct {
        const wchar_t *a, *b;
        bool same;
    } pairs[] = {
        {machine,
         LR"(\\HVSIM01\root\virtualization\v2:MSVM_COMPUTERSYSTEM.name='baa72b74-bbd6-4f0b-88b0-4e3c8242c817',)"
         LR"(creationclassname='msvm_computersystem')",
         true},
        {machine, LR"(Msvm_ComputerSystem.CreationClassName="Msvm_ComputerSystem",Name="other")", false},
        {machine,
         LR"(Msvm_Other.CreationClassName="Msvm_ComputerSystem",Name="BAA72B74-BBD6-4F0B-88B0-4E3C8242C817")",
         false},
        {LR"(C.K="a\\b")", LR"(C.K="a\"b")", false},
        {L"__Win32Provider=@", L"__Win32Provider", false},
    };
    for (const auto& [a, b, same] : pairs)
        EXPECT_EQ(parseObjectPath(a)->identity() == parseObjectPath(b)->identity(), same)
            << std::wstring(a) << L" ~ " << std::wstring(b);
}

}  // namespace
}  // namespace HyperVSim
