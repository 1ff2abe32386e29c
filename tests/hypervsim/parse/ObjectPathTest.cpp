#include "parse/ObjectPath.h"

#include <gtest/gtest.h>

namespace HyperVSim {
namespace {

using Keys = std::vector<std::pair<std::wstring, std::wstring>>;

ObjectPath parsed(std::wstring_view text) {
    auto path = parseObjectPath(text);
    EXPECT_TRUE(path.has_value()) << std::wstring(text);
    return path.value_or(ObjectPath{});
}

TEST(ObjectPath, ReadsAFullPathAsTheHostPrintsIt) {
    const std::wstring text =
        LR"(\\HVSIM01\root\virtualization\v2:Msvm_ComputerSystem.CreationClassName="Msvm_ComputerSystem",)"
        LR"(Name="BAA72B74-BBD6-4F0B-88B0-4E3C8242C817")";
    const ObjectPath path = parsed(text);
    EXPECT_EQ(path.server, L"HVSIM01");
    EXPECT_EQ(path.nameSpace, L"root\\virtualization\\v2");
    EXPECT_EQ(path.className, L"Msvm_ComputerSystem");
    EXPECT_EQ(path.keys, (Keys{{L"CreationClassName", L"Msvm_ComputerSystem"},
                               {L"Name", L"BAA72B74-BBD6-4F0B-88B0-4E3C8242C817"}}));
    EXPECT_FALSE(path.singleton);
    EXPECT_EQ(path.full(L"HVSIM01", L"root\\virtualization\\v2"), text);
}

TEST(ObjectPath, UndoesDoubledBackslashesAndWritesThemBackDoubled) {
    const std::wstring relative =
        LR"(Msvm_ResourceAllocationSettingData.InstanceID="Microsoft:BAA72B74\\83F8638B-8DCA-4152-9EDA-2CA8B33039B4\\0")";
    const ObjectPath path = parsed(relative);
    ASSERT_EQ(path.keys.size(), 1u);
    EXPECT_EQ(path.keys[0].second, L"Microsoft:BAA72B74\\83F8638B-8DCA-4152-9EDA-2CA8B33039B4\\0");
    EXPECT_EQ(path.relative(), relative);
    EXPECT_EQ(parsed(path.relative()).keys, path.keys);
}

TEST(ObjectPath, AcceptsTheOtherWaysOfWritingTheSamePath) {
    // Forward slashes (as clients send job paths), single quotes, a quote escaped inside a value.
    const ObjectPath slashes = parsed(LR"(//./root/virtualization/v2:Msvm_ConcreteJob.InstanceID='7B2A')");
    EXPECT_EQ(slashes.server, L".");
    EXPECT_EQ(slashes.nameSpace, L"root\\virtualization\\v2");
    EXPECT_EQ(slashes.keys, (Keys{{L"InstanceID", L"7B2A"}}));

    EXPECT_EQ(parsed(LR"(C.K='it\'s')").keys, (Keys{{L"K", L"it's"}}));
    EXPECT_EQ(parsed(LR"(C.K="say \"hi\"")").keys, (Keys{{L"K", L"say \"hi\""}}));
    EXPECT_EQ(parsed(LR"(C.K="a\'b")").keys, (Keys{{L"K", L"a'b"}}));
    EXPECT_EQ(parsed(LR"(C.K="two words, one comma")").keys, (Keys{{L"K", L"two words, one comma"}}));
    EXPECT_EQ(parsed(L"\\\\localhost\\root:C.K=\"v\"").server, L"localhost");

    const ObjectPath withNamespaceOnly = parsed(LR"(root\cimv2:C.K="v")");
    EXPECT_EQ(withNamespaceOnly.server, L"");
    EXPECT_EQ(withNamespaceOnly.nameSpace, L"root\\cimv2");

    const ObjectPath numeric = parsed(L"C.Slot=-12,Name=\"x\"");
    EXPECT_EQ(numeric.keys, (Keys{{L"Slot", L"-12"}, {L"Name", L"x"}}));
}

TEST(ObjectPath, ReadsClassAndSingletonPaths) {
    const ObjectPath classPath = parsed(L"Msvm_VirtualSystemManagementService");
    EXPECT_EQ(classPath.className, L"Msvm_VirtualSystemManagementService");
    EXPECT_TRUE(classPath.keys.empty());
    EXPECT_FALSE(classPath.singleton);
    EXPECT_EQ(classPath.relative(), L"Msvm_VirtualSystemManagementService");

    const ObjectPath singleton = parsed(L"\\\\HVSIM01\\root\\cimv2:__Win32Provider=@");
    EXPECT_TRUE(singleton.singleton);
    EXPECT_EQ(singleton.relative(), L"__Win32Provider=@");
    EXPECT_NE(singleton.identity(), parsed(L"__Win32Provider").identity());
}

TEST(ObjectPath, RelativeSortsKeysIgnoringCaseAndQuotesEveryValue) {
    const ObjectPath path = parsed(LR"(Msvm_Memory.SystemName='A1',deviceID='Microsoft:X\\0',CreationClassName=7)");
    EXPECT_EQ(path.relative(), LR"(Msvm_Memory.CreationClassName="7",deviceID="Microsoft:X\\0",SystemName="A1")");
    EXPECT_EQ(parsed(LR"(C.K='q"uote')").relative(), LR"(C.K="q\"uote")");
}

TEST(ObjectPath, IdentityIgnoresQuoteStyleCaseKeyOrderAndLocation) {
    const std::wstring reference = parsed(
                                       LR"(Msvm_ComputerSystem.CreationClassName="Msvm_ComputerSystem",)"
                                       LR"(Name="BAA72B74-BBD6-4F0B-88B0-4E3C8242C817")")
                                       .identity();
    EXPECT_EQ(parsed(LR"(\\HVSIM01\root\virtualization\v2:MSVM_COMPUTERSYSTEM.name='baa72b74-bbd6-4f0b-88b0-)"
                     LR"(4e3c8242c817',creationclassname='msvm_computersystem')")
                  .identity(),
              reference);
    EXPECT_NE(parsed(LR"(Msvm_ComputerSystem.CreationClassName="Msvm_ComputerSystem",Name="other")").identity(),
              reference);
    EXPECT_NE(parsed(LR"(Msvm_Other.CreationClassName="Msvm_ComputerSystem",)"
                     LR"(Name="BAA72B74-BBD6-4F0B-88B0-4E3C8242C817")")
                  .identity(),
              reference);
    // A value that only differs in an escaped character is another object.
    EXPECT_NE(parsed(LR"(C.K="a\\b")").identity(), parsed(LR"(C.K="a\"b")").identity());
}

TEST(ObjectPath, RejectsMalformedText) {
    const wchar_t* malformed[] = {
        L"",
        L" C.K=\"v\"",
        L"C.K = \"v\"",
        L"C. K=\"v\"",
        L"C.K=\"v\" ",
        L"\\\\HVSIM01\\root\\virtualization\\v2:.K=\"v\"",
        L"\\\\HVSIM01\\root\\virtualization\\v2:",
        L"\\\\HVSIM01\\root:",
        L"\\\\\\root:C",
        L"\\\\HVSIM01:C",
        L"\\\\HVSIM01\\root\\\\v2:C",
        L"root\\:C",
        L"C.K=\"v",
        L"C.K='v\\'",
        L"C.",
        L"C.K=\"v\",",
        L"C.K=\"v\"x",
        L"C.K=\"v\"\"w\"",
        L"C.K",
        L"C.K=",
        L"C.K=abc",
        L"C.K=\"v\",k=\"w\"",
        L"C=\"v\"",
        L"C=@x",
        L"9C.K=\"v\"",
    };
    for (const wchar_t* text : malformed) {
        EXPECT_FALSE(parseObjectPath(text).has_value()) << text;
    }
}

}  // namespace
}  // namespace HyperVSim
