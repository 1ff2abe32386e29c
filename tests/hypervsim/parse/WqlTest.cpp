// WQL as text -> result: where clauses matched against an instance as the host compares (which also settles
// how they parse: precedence, operators, literals and their escapes), the parts of associators and references
// queries, and the texts refused.
#include <gtest/gtest.h>

#include <map>

#include "parse/CaseFold.h"
#include "parse/Wql.h"

namespace HyperVSim::wql {
namespace {

TEST(Wql, ReadsTheClassAndThePartsOfAssociatorsAndReferences) {
    const std::pair<const wchar_t*, const wchar_t*> selects[] = {
        {L"select * from Msvm_VirtualEthernetSwitch", L"Msvm_VirtualEthernetSwitch"},
        {L"SELECT\t*\r\nFROM\nMsvm_Memory", L"Msvm_Memory"},
        {L"select Name, ElementName from Msvm_Memory", L"Msvm_Memory"}};
    for (const auto& [text, className] : selects)
        EXPECT_EQ(std::get<SelectQuery>(*parse(text).query).className, className);

    const auto parts = [](const std::wstring& text) {
        const ParseResult result = parse(text);
        if (!result.query) return L"refused: " + std::wstring(result.error.begin(), result.error.end());
        if (const auto* references = std::get_if<ReferencesQuery>(&*result.query))
            return L"references {" + references->sourcePath + L"} " + references->resultClass + L"|" +
                   references->role + L"|" + references->requiredQualifier +
                   (references->classDefsOnly ? L"|ClassDefsOnly" : L"");
        const auto& q = std::get<AssociatorsQuery>(*result.query);
        return L"associators {" + q.sourcePath + L"} " + q.resultClass + L"|" + q.assocClass + L"|" + q.role +
               L"|" + q.resultRole + L"|" + q.requiredQualifier + L"|" + q.requiredAssocQualifier +
               (q.classDefsOnly ? L"|ClassDefsOnly" : L"") + (q.schemaOnly ? L"|SchemaOnly" : L"");
    };
    const std::pair<const wchar_t*, const wchar_t*> queries[] = {
        {L"Associators of {\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.Name=\"A\"} where ResultClass "
         L"= "
         L"Msvm_VirtualSystemSettingData",
         L"associators {\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.Name=\"A\"} "
         L"Msvm_VirtualSystemSettingData|||||"},
        {L"Associators of {P.K=\"D\\\\5B\"} where ResultClass = Msvm_AllocationCapabilities AssocClass = "
         L"Msvm_ElementCapabilities",
         L"associators {P.K=\"D\\\\5B\"} Msvm_AllocationCapabilities|Msvm_ElementCapabilities||||"},
        {LR"(ASSOCIATORS OF{C.A='x } y',B="it's {ok}"}WHERE AssocClass=A1 ResultClass=R1 Role=Antecedent )"
         LR"(ResultRole=Dependent RequiredQualifier=Q1 RequiredAssocQualifier=Q2 SchemaOnly)",
         LR"(associators {C.A='x } y',B="it's {ok}"} R1|A1|Antecedent|Dependent|Q1|Q2|SchemaOnly)"},
        {L"associators of { C.K=\"v\" } where ClassDefsOnly", L"associators {C.K=\"v\"} ||||||ClassDefsOnly"},
        {L"References of {C.K=\"v\"} where ResultClass = Msvm_SettingsDefineCapabilities",
         L"references {C.K=\"v\"} Msvm_SettingsDefineCapabilities||"},
        {L"references of {C.K='a\\'b'} where Role = Dependent RequiredQualifier = Q ClassDefsOnly",
         L"references {C.K='a\\'b'} |Dependent|Q|ClassDefsOnly"}};
    for (const auto& [text, expected] : queries) EXPECT_EQ(parts(text), expected);
}

TEST(Wql, RefusesWhatIsNotAQueryOfItsSubset) {
    // clang-format off
    const wchar_t* const refused[] = {
        L"", L"   \r\n", L"select * from ", L"select from C", L"select * C", L"select * from C where",
        L"select * from C where A =", L"select * from C where A = 'open", L"select * from C where A = \"o\\\"",
        L"select * from C where A 'x'", L"select * from C where (A = 1", L"select * from C where A = 1)",
        L"select * from C where A = 1 B = 2", L"select * from C where A is 1", L"select * from C where A like 5",
        L"select * from C where A like '[abc'", L"select * from C extra", L"select * from C where A = 12abc",
        L"select * from C where A = 99999999999999999999", L"select * from C where and = 1", L"update C set A = 1",
        L"Associators of {  } where ResultClass = C", L"Associators {C.K=1}", L"Associators of C.K=1",
        L"Associators of {C.K='1}", L"Associators of {C.K=1} where ResultClass =",
        L"Associators of {C.K=1} where ResultClass = 'C'", L"Associators of {C.K=1} where Bogus = C",
        L"Associators of {C.K=1} where ResultClass = A and AssocClass = B",
        L"Associators of {C.K=1} where ResultClass = A ResultClass = B",
        L"Associators of {C.K=1} where ClassDefsOnly SchemaOnly", L"Associators of {C.K=1} ResultClass = A",
        L"References of {C.K=1} where AssocClass = A",
        L"References of {C.K=1} where ResultClass = A ClassDefsOnly", L"References of {C.K=1} {C.K=2}"};
    // clang-format on
    for (const wchar_t* text : refused) {
        const ParseResult result = parse(text);
        EXPECT_FALSE(result.query || result.error.empty()) << std::wstring(text);
    }
    std::wstring chain = L"select * from C where A = 1", negations;
    for (int i = 0; i < 999; ++i) chain += L" and A = 1";
    EXPECT_TRUE(parse(chain).query);
    EXPECT_FALSE(parse(chain + L" and A = 1").query);  // deep enough to exhaust the stack
    for (int i = 0; i < 100000; ++i) negations += L"not ";
    EXPECT_FALSE(parse(L"select * from C where " + std::wstring(100000, L'(') + L"A = 1").query);
    EXPECT_FALSE(parse(L"select * from C where " + negations + L"A = 1").query);
}

// Strings compare without case, numbers numerically (also against decimal text); NULL matches IS NULL alone;
// AND binds before OR, NOT takes the next operand; a misspelt property is reported whatever the rest says.
TEST(Wql, WhereClausesMatchAsTheHostCompares) {
    const std::map<std::wstring, Literal> instance{
        {L"resourcesubtype", {L"Microsoft:Hyper-V:Synthetic Disk Drive"}},
        {L"primordial", {true}},
        {L"flag", {L"False"}},
        {L"resourcetype", {std::int64_t{33}}},
        {L"numberofblocks", {L"65536"}},
        {L"name", {L"abc"}},
        {L"quoted", {L"it's \"q\" \\x"}},
        {L"instanceid", {L"Microsoft:Definition\\5B2B3B0E-1C4D\\Default"}},
        {L"elementname", {L"Net_Adapter"}},
        {L"parent", {}},
        {L"address", {L"0"}},
    };
    const auto lookup = [&](std::wstring_view name) -> std::optional<Literal> {
        const auto found = instance.find(foldCase(name));
        return found == instance.end() ? std::nullopt : std::optional<Literal>(found->second);
    };
    constexpr Match yes = Match::Yes, no = Match::No, unknown = Match::UnknownProperty;
    // clang-format off
    const std::pair<const wchar_t*, Match> conditions[] = {
        {L"resourcesubtype = 'MICROSOFT:hyper-v:synthetic disk drive'", yes},
        {L"ResourceSubType = 'Microsoft:Hyper-V:Virtual Hard Disk'", no},
        {L"ResourceSubType <> 'Microsoft:Hyper-V:Virtual Hard Disk'", yes},
        {L"ResourceSubType != 'microsoft:hyper-v:synthetic disk drive'", no},
        {L"ResourceSubType > 'microsoft:hyper-v:synthetic a'", yes},
        {L"ResourceSubType < 'MICROSOFT:HYPER-V:SYNTHETIC A'", no},
        {L"ResourceSubType >= 'Microsoft:Hyper-V:Synthetic Disk Drive'", yes},
        {L"ResourceSubType <= 'Microsoft:Hyper-V:Synthetic Disk Drive'", yes}, {L"Primordial = True", yes},
        {L"Primordial = FALSE", no}, {L"Primordial <> false", yes}, {L"Primordial = 1", yes},
        {L"Primordial = 0", no}, {L"Primordial = 2", no}, {L"Primordial = 'true'", yes}, {L"Flag = false", yes},
        {L"ResourceType = 33", yes}, {L"ResourceType = 31", no}, {L"ResourceType > -5", yes},
        {L"ResourceType < 100", yes}, {L"ResourceType = '33'", yes}, {L"NumberOfBlocks > 9000", yes},
        {L"NumberOfBlocks = 65536", yes}, {L"Name = 0", no}, {L"Name <> 0", no},
        {LR"(InstanceID LIKE '%\Default')", yes}, {LR"(InstanceID LIKE '%\\Default')", yes},
        {LR"(InstanceID LIKE '%\Minimum')", no}, {LR"(InstanceID LIKE '%Definition_5B2B3B0E%')", yes},
        {L"InstanceID LIKE 'microsoft:definition%'", yes}, {L"InstanceID LIKE 'Microsoft:Definition'", no},
        {L"ElementName LIKE 'net[_]adapter'", yes}, {L"ElementName LIKE '[m-o]et_Adapter'", yes},
        {L"ElementName LIKE '[^n]et_Adapter'", no}, {L"ElementName LIKE '[^x]et_Adapter'", yes},
        {L"ElementName LIKE 'Net_Adapte_'", yes}, {L"ElementName LIKE 'Net_Adapter_'", no},
        {L"ElementName LIKE '%%%'", yes}, {L"ElementName LIKE ''", no}, {LR"(Quoted = 'it\'s "q" \\x')", yes},
        {LR"(Quoted = "it's \"q\" \x")", yes}, {L"100 > ResourceType", yes}, {L"-5 >= ResourceType", no},
        {L"Parent IS NULL", yes}, {L"Parent IS NOT NULL", no}, {L"Address IS NULL", no},
        {L"Address IS NOT NULL", yes}, {L"Parent = ''", no}, {L"Parent <> ''", no}, {L"Parent LIKE '%'", no},
        {L"Parent = NULL", no}, {L"Address <> NULL", no}, {L"(Name = 'x' OR Name = 'abc') AND Address = '0'", yes},
        {L"(Name = 'x' OR Name = 'abc') AND Address = '1'", no},
        {L"Name = 'abc' OR Name = 'x' AND Address = '1'", yes}, {L"NOT Address = '0'", no},
        {L"NOT Address = '1' AND Name = 'abc'", yes}, {L"NOT (Address = '0' AND Name = 'x')", yes},
        {L"NOT NOT Address = '0'", yes}, {L"Bogus = 1", unknown}, {L"Name = 'abc' OR Bogus = 1", unknown},
        {L"Name = 'x' AND Bogus IS NULL", unknown}, {L"NOT Bogus LIKE 'a%'", unknown}};
    // clang-format on
    for (const auto& [condition, expected] : conditions) {
        const ParseResult result = parse(std::wstring(L"select * from C where ") + condition);
        ASSERT_TRUE(result.query) << std::wstring(condition);
        EXPECT_EQ(evaluate(*std::get<SelectQuery>(*result.query).where, lookup), expected)
            << std::wstring(condition);
    }
}

}  // namespace
}  // namespace HyperVSim::wql
