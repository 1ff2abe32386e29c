// WQL as text -> result: the query each text parses to (printed back with its where clause in parentheses),
// the texts refused, and whether a where clause matches an instance.
#include <gtest/gtest.h>

#include <map>

#include "parse/CaseFold.h"
#include "parse/Wql.h"

namespace HyperVSim::wql {
namespace {

std::wstring printed(const Literal& literal) {
    if (const auto* text = std::get_if<std::wstring>(&literal.value)) return L"'" + *text + L"'";
    if (const auto* number = std::get_if<std::int64_t>(&literal.value)) return std::to_wstring(*number);
    if (const auto* flag = std::get_if<bool>(&literal.value)) return *flag ? L"true" : L"false";
    return L"null";
}

std::wstring printed(const Expr& expr) {
    static const wchar_t* const ops[] = {L"=",  L"<>",   L"<",       L">",          L"<=",
                                         L">=", L"like", L"is null", L"is not null"};
    if (const auto* both = std::get_if<And>(&expr.node))
        return L"(" + printed(*both->left) + L" and " + printed(*both->right) + L")";
    if (const auto* either = std::get_if<Or>(&expr.node))
        return L"(" + printed(*either->left) + L" or " + printed(*either->right) + L")";
    if (const auto* negated = std::get_if<Not>(&expr.node)) return L"not " + printed(*negated->operand);
    const auto& comparison = std::get<Comparison>(expr.node);
    const std::wstring head = comparison.property + L" " + ops[static_cast<int>(comparison.op)];
    return comparison.op >= Comparison::Op::IsNull ? head : head + L" " + printed(comparison.literal);
}

std::wstring printed(const Query& query) {
    if (const auto* select = std::get_if<SelectQuery>(&query))
        return L"select " + select->className + (select->where ? L" where " + printed(*select->where) : L"");
    std::wstring text;
    const auto keyword = [&](const wchar_t* name, const std::wstring& value) {
        if (!value.empty()) text += std::wstring(L" ") + name + L"=" + value;
    };
    const auto flags = [&](bool classDefsOnly, bool schemaOnly) {
        text += std::wstring(classDefsOnly ? L" ClassDefsOnly" : L"") + (schemaOnly ? L" SchemaOnly" : L"");
    };
    if (const auto* associators = std::get_if<AssociatorsQuery>(&query)) {
        text = L"associators {" + associators->sourcePath + L"}";
        keyword(L"ResultClass", associators->resultClass), keyword(L"AssocClass", associators->assocClass);
        keyword(L"Role", associators->role), keyword(L"ResultRole", associators->resultRole);
        keyword(L"RequiredQualifier", associators->requiredQualifier);
        keyword(L"RequiredAssocQualifier", associators->requiredAssocQualifier);
        flags(associators->classDefsOnly, associators->schemaOnly);
        return text;
    }
    const auto& references = std::get<ReferencesQuery>(query);
    text = L"references {" + references.sourcePath + L"}";
    keyword(L"ResultClass", references.resultClass), keyword(L"Role", references.role);
    keyword(L"RequiredQualifier", references.requiredQualifier);
    flags(references.classDefsOnly, references.schemaOnly);
    return text;
}

const std::pair<const wchar_t*, const wchar_t*> queries[] = {
    {L"select * from Msvm_VirtualEthernetSwitch", L"select Msvm_VirtualEthernetSwitch"},
    {L"SELECT\t*\r\nFROM\nMsvm_Memory", L"select Msvm_Memory"},
    {L"select Name, ElementName from Msvm_Memory", L"select Msvm_Memory"},
    {L"select * from Msvm_ResourcePool where ResourceSubType = 'Microsoft:Hyper-V:Synthetic Disk Drive' and "
     L"Primordial = True",
     L"select Msvm_ResourcePool where (ResourceSubType = 'Microsoft:Hyper-V:Synthetic Disk Drive' and "
     L"Primordial = true)"},
    {L"select * from Msvm_ResourcePool where ResourceType = 33 and Primordial = True",
     L"select Msvm_ResourcePool where (ResourceType = 33 and Primordial = true)"},
    {L"select * from C where A = 1 or not B = 2 and C = 3", L"select C where (A = 1 or (not B = 2 and C = 3))"},
    {L"select * from C where (A = 1 or B = 2) and C = 3", L"select C where ((A = 1 or B = 2) and C = 3)"},
    {L"select * from C where 5 < Size", L"select C where Size > 5"},
    {L"select * from C where P <> 'x' or P != 'x'", L"select C where (P <> 'x' or P <> 'x')"},
    {L"select * from C where P <= 'x' or P >= -42", L"select C where (P <= 'x' or P >= -42)"},
    {L"select * from C where P like 'x' or P is null or P IS NOT NULL",
     L"select C where ((P like 'x' or P is null) or P is not null)"},
    {L"select * from C where P = -9223372036854775808 and P = false and P = NULL",
     L"select C where ((P = -9223372036854775808 and P = false) and P = null)"},
    {LR"(select * from C where P = "a\"b\\c\'d" or P = 'it\'s')",
     LR"(select C where (P = 'a"b\c'd' or P = 'it's'))"},
    // A backslash that escapes nothing stays.
    {LR"(select * from C where P like '%\Default' or P like '%\\Default')",
     LR"(select C where (P like '%\Default' or P like '%\Default'))"},
    {L"Associators of {\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.Name=\"A\"} where ResultClass = "
     L"Msvm_VirtualSystemSettingData",
     L"associators {\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.Name=\"A\"} "
     L"ResultClass=Msvm_VirtualSystemSettingData"},
    {L"Associators of {Msvm_ResourcePool.InstanceID=\"Microsoft:Definition\\\\5B2B\\\\Default\"} where ResultClass"
     L" = Msvm_AllocationCapabilities AssocClass = Msvm_ElementCapabilities",
     L"associators {Msvm_ResourcePool.InstanceID=\"Microsoft:Definition\\\\5B2B\\\\Default\"} "
     L"ResultClass=Msvm_AllocationCapabilities AssocClass=Msvm_ElementCapabilities"},
    {L"References of {C.K=\"v\"} where ResultClass = Msvm_SettingsDefineCapabilities",
     L"references {C.K=\"v\"} ResultClass=Msvm_SettingsDefineCapabilities"},
    {LR"(ASSOCIATORS OF{C.A='x } y',B="it's {ok}"}WHERE AssocClass=A1 ResultClass=R1 Role=Antecedent )"
     LR"(ResultRole=Dependent RequiredQualifier=Q1 RequiredAssocQualifier=Q2 SchemaOnly)",
     LR"(associators {C.A='x } y',B="it's {ok}"} ResultClass=R1 AssocClass=A1 Role=Antecedent )"
     LR"(ResultRole=Dependent RequiredQualifier=Q1 RequiredAssocQualifier=Q2 SchemaOnly)"},
    {L"associators of { C.K=\"v\" }", L"associators {C.K=\"v\"}"},
    {L"Associators of {C.K=1} where ClassDefsOnly", L"associators {C.K=1} ClassDefsOnly"},
    {L"references of {C.K='a\\'b'} where Role = Dependent ClassDefsOnly",
     L"references {C.K='a\\'b'} Role=Dependent ClassDefsOnly"},
};

TEST(Wql, ParsesEachFormOfQuery) {
    for (const auto& [text, expected] : queries) {
        const ParseResult result = parse(text);
        ASSERT_TRUE(result.query) << std::wstring(text) << ": " << result.error;
        EXPECT_EQ(printed(*result.query), expected);
    }
}

TEST(Wql, RefusesWhatIsNotAQueryOfItsSubset) {
    for (const wchar_t* text : {L"",
                                L"   \r\n",
                                L"select * from ",
                                L"select from C",
                                L"select * C",
                                L"select * from C where",
                                L"select * from C where A =",
                                L"select * from C where A = 'open",
                                L"select * from C where A = \"o\\\"",
                                L"select * from C where A 'x'",
                                L"select * from C where (A = 1",
                                L"select * from C where A = 1)",
                                L"select * from C where A = 1 and",
                                L"select * from C where A = 1 B = 2",
                                L"select * from C where A is 1",
                                L"select * from C where A like 5",
                                L"select * from C where A like '[abc'",
                                L"select * from C extra",
                                L"select * from C where A = 99999999999999999999",
                                L"select * from C where A = 12abc",
                                L"select * from C where and = 1",
                                L"select * from C; drop",
                                L"update C set A = 1",
                                L"Associators of {} where ResultClass = C",
                                L"Associators of {  } where ResultClass = C",
                                L"Associators {C.K=1}",
                                L"Associators of C.K=1",
                                L"Associators of {C.K='1}",
                                L"Associators of {C.K=1",
                                L"Associators of {C.K=1} where",
                                L"Associators of {C.K=1} where ResultClass",
                                L"Associators of {C.K=1} where ResultClass =",
                                L"Associators of {C.K=1} where ResultClass = 'C'",
                                L"Associators of {C.K=1} where Bogus = C",
                                L"Associators of {C.K=1} where ResultClass = A and AssocClass = B",
                                L"Associators of {C.K=1} where ResultClass = A ResultClass = B",
                                L"Associators of {C.K=1} where ClassDefsOnly ResultClass = A",
                                L"Associators of {C.K=1} where ClassDefsOnly SchemaOnly",
                                L"Associators of {C.K=1} ResultClass = A",
                                L"Associators of {C.K=1} where ResultClass = A garbage",
                                L"References of {} where ResultClass = C",
                                L"References of {C.K=1} where AssocClass = A",
                                L"References of {C.K=1} where ResultRole = A",
                                L"References of {C.K=1} where ResultClass = A ClassDefsOnly",
                                L"References of {C.K=1} where Role",
                                L"References of {C.K=1} {C.K=2}"}) {
        const ParseResult result = parse(text);
        EXPECT_FALSE(result.query) << std::wstring(text);
        EXPECT_NE(result.error, "") << std::wstring(text);
    }
}

TEST(Wql, RefusesWhereClausesDeepEnoughToExhaustTheStack) {
    std::wstring chain = L"select * from C where A = 1";
    for (int i = 0; i < 999; ++i) chain += L" and A = 1";
    EXPECT_TRUE(parse(chain).query);
    EXPECT_FALSE(parse(chain + L" and A = 1").query);
    std::wstring negations;
    for (int i = 0; i < 100000; ++i) negations += L"not ";
    EXPECT_FALSE(parse(L"select * from C where " + std::wstring(100000, L'(') + L"A = 1").query);
    EXPECT_FALSE(parse(L"select * from C where " + negations + L"A = 1").query);
}

TEST(Wql, WhereClausesMatchAsTheHostCompares) {
    const std::map<std::wstring, Literal> instance{
        {L"resourcesubtype", {L"Microsoft:Hyper-V:Synthetic Disk Drive"}},
        {L"primordial", {true}},
        {L"flag", {L"False"}},
        {L"resourcetype", {std::int64_t{33}}},
        {L"numberofblocks", {L"65536"}},
        {L"name", {L"abc"}},
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
    const std::pair<const wchar_t*, Match> conditions[] = {
        // Strings compare without case; numbers numerically, also against decimal text.
        {L"resourcesubtype = 'MICROSOFT:hyper-v:synthetic disk drive'", yes},
        {L"ResourceSubType = 'Microsoft:Hyper-V:Virtual Hard Disk'", no},
        {L"ResourceSubType <> 'Microsoft:Hyper-V:Virtual Hard Disk'", yes},
        {L"ResourceSubType != 'microsoft:hyper-v:synthetic disk drive'", no},
        {L"ResourceSubType > 'microsoft:hyper-v:synthetic a'", yes},
        {L"ResourceSubType < 'MICROSOFT:HYPER-V:SYNTHETIC A'", no},
        {L"ResourceSubType >= 'Microsoft:Hyper-V:Synthetic Disk Drive'", yes},
        {L"ResourceSubType <= 'Microsoft:Hyper-V:Synthetic Disk Drive'", yes},
        {L"Primordial = True", yes},
        {L"Primordial = FALSE", no},
        {L"Primordial <> false", yes},
        {L"Primordial = 1", yes},
        {L"Primordial = 0", no},
        {L"Primordial = 2", no},
        {L"Primordial = 'true'", yes},
        {L"Flag = false", yes},
        {L"ResourceType = 33", yes},
        {L"ResourceType = 31", no},
        {L"ResourceType > -5", yes},
        {L"ResourceType < 100", yes},
        {L"ResourceType = '33'", yes},
        {L"NumberOfBlocks > 9000", yes},
        {L"NumberOfBlocks = 65536", yes},
        {L"Name = 0", no},
        {L"Name <> 0", no},
        {LR"(InstanceID LIKE '%\Default')", yes},
        {LR"(InstanceID LIKE '%\\Default')", yes},
        {LR"(InstanceID LIKE '%\Minimum')", no},
        {LR"(InstanceID LIKE '%Definition_5B2B3B0E%')", yes},
        {L"InstanceID LIKE 'microsoft:definition%'", yes},
        {L"InstanceID LIKE 'Microsoft:Definition'", no},
        {L"ElementName LIKE 'net[_]adapter'", yes},
        {L"ElementName LIKE '[m-o]et_Adapter'", yes},
        {L"ElementName LIKE '[^n]et_Adapter'", no},
        {L"ElementName LIKE '[^x]et_Adapter'", yes},
        {L"ElementName LIKE 'Net_Adapte_'", yes},
        {L"ElementName LIKE 'Net_Adapter_'", no},
        {L"ElementName LIKE '%%%'", yes},
        {L"ElementName LIKE ''", no},
        // NULL matches IS NULL alone.
        {L"Parent IS NULL", yes},
        {L"Parent IS NOT NULL", no},
        {L"Address IS NULL", no},
        {L"Address IS NOT NULL", yes},
        {L"Parent = ''", no},
        {L"Parent <> ''", no},
        {L"Parent LIKE '%'", no},
        {L"Parent = NULL", no},
        {L"Address <> NULL", no},
        // AND binds before OR; NOT takes the next operand.
        {L"(Name = 'x' OR Name = 'abc') AND Address = '0'", yes},
        {L"(Name = 'x' OR Name = 'abc') AND Address = '1'", no},
        {L"Name = 'abc' OR Name = 'x' AND Address = '1'", yes},
        {L"NOT Address = '0'", no},
        {L"NOT Address = '1' AND Name = 'abc'", yes},
        {L"NOT (Address = '0' AND Name = 'x')", yes},
        {L"NOT NOT Address = '0'", yes},
        // A misspelt property is reported whatever the other operands say.
        {L"Bogus = 1", unknown},
        {L"Name = 'abc' OR Bogus = 1", unknown},
        {L"Name = 'x' AND Bogus IS NULL", unknown},
        {L"NOT Bogus LIKE 'a%'", unknown},
    };
    for (const auto& [condition, expected] : conditions) {
        const ParseResult result = parse(std::wstring(L"select * from C where ") + condition);
        ASSERT_TRUE(result.query) << std::wstring(condition);
        EXPECT_EQ(evaluate(*std::get<SelectQuery>(*result.query).where, lookup), expected)
            << std::wstring(condition);
    }
}

}  // namespace
}  // namespace HyperVSim::wql
