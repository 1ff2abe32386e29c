#include <gtest/gtest.h>

#include "parse/Wql.h"

namespace HyperVSim::wql {
namespace {

template <typename T>
T parsedAs(std::wstring_view text) {
    ParseResult result = parse(text);
    EXPECT_TRUE(result.query.has_value()) << result.error;
    if (!result.query || !std::holds_alternative<T>(*result.query)) {
        ADD_FAILURE() << "query parsed to another form";
        return T{};
    }
    return std::move(std::get<T>(*result.query));
}

const Comparison& comparisonOf(const ExprPtr& expr) {
    static const Comparison none{};
    if (expr == nullptr || !std::holds_alternative<Comparison>(expr->node)) {
        ADD_FAILURE() << "not a comparison";
        return none;
    }
    return std::get<Comparison>(expr->node);
}

const std::wstring fullMachinePath =
    LR"(\\HVSIM01\root\virtualization\v2:Msvm_ComputerSystem.CreationClassName="Msvm_ComputerSystem",)"
    LR"(Name="BAA72B74-BBD6-4F0B-88B0-4E3C8242C817")";

TEST(WqlParse, ClassQueriesOfTheLibrary) {
    const SelectQuery all = parsedAs<SelectQuery>(L"select * from Msvm_VirtualEthernetSwitch");
    EXPECT_EQ(all.className, L"Msvm_VirtualEthernetSwitch");
    EXPECT_EQ(all.where, nullptr);
    EXPECT_EQ(parsedAs<SelectQuery>(L"SELECT\t*\r\nFROM\nMsvm_Memory").className, L"Msvm_Memory");
    // A property list is read and ignored.
    EXPECT_EQ(parsedAs<SelectQuery>(L"select Name, ElementName from Msvm_Memory").className, L"Msvm_Memory");
}

TEST(WqlParse, PoolQueriesOfTheLibrary) {
    const wchar_t* subtypes[] = {L"Microsoft:Hyper-V:Synthetic Ethernet Port",
                                 L"Microsoft:Hyper-V:Synthetic SCSI Controller",
                                 L"Microsoft:Hyper-V:Synthetic Disk Drive", L"Microsoft:Hyper-V:Virtual Hard Disk"};
    for (const wchar_t* subtype : subtypes) {
        const SelectQuery query =
            parsedAs<SelectQuery>(std::wstring(L"select * from Msvm_ResourcePool where ") + L"ResourceSubType = '" +
                                  subtype + L"' and Primordial = True");
        EXPECT_EQ(query.className, L"Msvm_ResourcePool");
        ASSERT_NE(query.where, nullptr);
        ASSERT_TRUE(std::holds_alternative<And>(query.where->node));
        const And& both = std::get<And>(query.where->node);
        const Comparison& left = comparisonOf(both.left);
        EXPECT_EQ(left.property, L"ResourceSubType");
        EXPECT_EQ(left.op, Comparison::Op::Equal);
        EXPECT_EQ(std::get<std::wstring>(left.literal.value), subtype);
        const Comparison& right = comparisonOf(both.right);
        EXPECT_EQ(right.property, L"Primordial");
        EXPECT_EQ(std::get<bool>(right.literal.value), true);
    }
    const SelectQuery byType =
        parsedAs<SelectQuery>(L"select * from Msvm_ResourcePool where ResourceType = 33 and Primordial = True");
    ASSERT_NE(byType.where, nullptr);
    EXPECT_EQ(std::get<std::int64_t>(comparisonOf(std::get<And>(byType.where->node).left).literal.value), 33);
}

TEST(WqlParse, AssociationQueriesOfTheLibrary) {
    const AssociatorsQuery settings = parsedAs<AssociatorsQuery>(
        L"Associators of {" + fullMachinePath + L"} where ResultClass = Msvm_VirtualSystemSettingData");
    EXPECT_EQ(settings.sourcePath, fullMachinePath);
    EXPECT_EQ(settings.resultClass, L"Msvm_VirtualSystemSettingData");
    EXPECT_EQ(settings.assocClass, L"");
    EXPECT_FALSE(settings.classDefsOnly);

    const std::wstring settingsPath =
        LR"(\\HVSIM01\root\virtualization\v2:Msvm_VirtualSystemSettingData.InstanceID="Microsoft:BAA72B74-BBD6-4F0B-88B0-4E3C8242C817")";
    for (const wchar_t* resultClass :
         {L"Msvm_MemorySettingData", L"Msvm_ProcessorSettingData", L"Msvm_ResourceAllocationSettingData"}) {
        const AssociatorsQuery query = parsedAs<AssociatorsQuery>(L"Associators of {" + settingsPath +
                                                                  L"} where ResultClass = " + resultClass);
        EXPECT_EQ(query.sourcePath, settingsPath);
        EXPECT_EQ(query.resultClass, resultClass);
    }

    const std::wstring poolPath =
        LR"(\\HVSIM01\root\virtualization\v2:Msvm_ResourcePool.InstanceID="Microsoft:Definition\\5B2B3B0E\\Default")";
    const AssociatorsQuery capabilities = parsedAs<AssociatorsQuery>(
        L"Associators of {" + poolPath +
        L"} where ResultClass = Msvm_AllocationCapabilities AssocClass = Msvm_ElementCapabilities");
    EXPECT_EQ(capabilities.sourcePath, poolPath);
    EXPECT_EQ(capabilities.resultClass, L"Msvm_AllocationCapabilities");
    EXPECT_EQ(capabilities.assocClass, L"Msvm_ElementCapabilities");

    const ReferencesQuery defines = parsedAs<ReferencesQuery>(
        L"References of {" + poolPath + L"} where ResultClass = Msvm_SettingsDefineCapabilities");
    EXPECT_EQ(defines.sourcePath, poolPath);
    EXPECT_EQ(defines.resultClass, L"Msvm_SettingsDefineCapabilities");
}

TEST(WqlParse, AssociationQueryForms) {
    // Braces and blanks inside quoted values, both quote styles, no blank before the brace.
    const AssociatorsQuery tricky = parsedAs<AssociatorsQuery>(
        LR"(ASSOCIATORS OF{C.A='x } y',B="it's {ok}"}WHERE AssocClass=A1 ResultClass=R1 Role=Antecedent )"
        LR"(ResultRole=Dependent RequiredQualifier=Q1 RequiredAssocQualifier=Q2 SchemaOnly)");
    EXPECT_EQ(tricky.sourcePath, LR"(C.A='x } y',B="it's {ok}")");
    EXPECT_EQ(tricky.assocClass, L"A1");
    EXPECT_EQ(tricky.resultClass, L"R1");
    EXPECT_EQ(tricky.role, L"Antecedent");
    EXPECT_EQ(tricky.resultRole, L"Dependent");
    EXPECT_EQ(tricky.requiredQualifier, L"Q1");
    EXPECT_EQ(tricky.requiredAssocQualifier, L"Q2");
    EXPECT_TRUE(tricky.schemaOnly);

    const AssociatorsQuery bare = parsedAs<AssociatorsQuery>(L"associators of { C.K=\"v\" }");
    EXPECT_EQ(bare.sourcePath, L"C.K=\"v\"");
    EXPECT_EQ(bare.resultClass, L"");

    EXPECT_TRUE(parsedAs<AssociatorsQuery>(L"Associators of {C.K=1} where ClassDefsOnly").classDefsOnly);
    const ReferencesQuery refs =
        parsedAs<ReferencesQuery>(L"references of {C.K='a\\'b'} where Role = Dependent ClassDefsOnly");
    EXPECT_EQ(refs.sourcePath, L"C.K='a\\'b'");
    EXPECT_EQ(refs.role, L"Dependent");
    EXPECT_TRUE(refs.classDefsOnly);
}

TEST(WqlParse, WhereClauseStructure) {
    // AND binds tighter than OR; NOT applies to the next operand only.
    const SelectQuery query = parsedAs<SelectQuery>(L"select * from C where A = 1 or not B = 2 and C = 3");
    ASSERT_TRUE(std::holds_alternative<Or>(query.where->node));
    const Or& either = std::get<Or>(query.where->node);
    EXPECT_EQ(comparisonOf(either.left).property, L"A");
    ASSERT_TRUE(std::holds_alternative<And>(either.right->node));
    const And& both = std::get<And>(either.right->node);
    ASSERT_TRUE(std::holds_alternative<Not>(both.left->node));
    EXPECT_EQ(comparisonOf(std::get<Not>(both.left->node).operand).property, L"B");
    EXPECT_EQ(comparisonOf(both.right).property, L"C");

    const SelectQuery grouped = parsedAs<SelectQuery>(L"select * from C where (A = 1 or B = 2) and C = 3");
    EXPECT_TRUE(std::holds_alternative<And>(grouped.where->node));

    const SelectQuery mirrored = parsedAs<SelectQuery>(L"select * from C where 5 < Size");
    EXPECT_EQ(comparisonOf(mirrored.where).op, Comparison::Op::Greater);
    EXPECT_EQ(comparisonOf(mirrored.where).property, L"Size");
}

TEST(WqlParse, OperatorsAndLiterals) {
    using Op = Comparison::Op;
    const std::pair<const wchar_t*, Op> operators[] = {
        {L"=", Op::Equal},   {L"<>", Op::NotEqual},  {L"!=", Op::NotEqual},     {L"<", Op::Less},
        {L">", Op::Greater}, {L"<=", Op::LessEqual}, {L">=", Op::GreaterEqual}, {L"like", Op::Like},
    };
    for (const auto& [symbol, op] : operators) {
        const SelectQuery query =
            parsedAs<SelectQuery>(std::wstring(L"select * from C where P ") + symbol + L" 'x'");
        EXPECT_EQ(comparisonOf(query.where).op, op) << symbol;
    }
    EXPECT_EQ(comparisonOf(parsedAs<SelectQuery>(L"select * from C where P is null").where).op, Op::IsNull);
    EXPECT_EQ(comparisonOf(parsedAs<SelectQuery>(L"select * from C where P IS NOT NULL").where).op, Op::IsNotNull);

    auto literalOf = [](std::wstring_view condition) {
        return comparisonOf(
                   parsedAs<SelectQuery>(std::wstring(L"select * from C where ") + std::wstring(condition)).where)
            .literal.value;
    };
    EXPECT_EQ(std::get<std::int64_t>(literalOf(L"P = -42")), -42);
    EXPECT_EQ(std::get<std::int64_t>(literalOf(L"P = -9223372036854775808")), INT64_MIN);
    EXPECT_EQ(std::get<bool>(literalOf(L"P = false")), false);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(literalOf(L"P = NULL")));
    EXPECT_EQ(std::get<std::wstring>(literalOf(LR"(P = "a\"b\\c\'d")")), L"a\"b\\c'd");
    EXPECT_EQ(std::get<std::wstring>(literalOf(LR"(P = 'it\'s')")), L"it's");
    // A backslash that escapes nothing stays in the text.
    EXPECT_EQ(std::get<std::wstring>(literalOf(LR"(P like '%\Default')")), L"%\\Default");
    EXPECT_EQ(std::get<std::wstring>(literalOf(LR"(P like '%\\Default')")), L"%\\Default");
}

TEST(WqlParse, RejectsSyntaxErrors) {
    const wchar_t* invalid[] = {
        L"",
        L"   \r\n",
        L"select * from ",
        L"select from C",
        L"select * C",
        L"select * from C where",
        L"select * from C where A =",
        L"select * from C where A = 'open",
        L"select * from C where A = \"open\\\"",
        L"select * from C where A 'x'",
        L"select * from C where (A = 1",
        L"select * from C where A = 1)",
        L"select * from C where A = 1 and",
        L"select * from C where A = 1 B = 2",
        L"select * from C where A is 1",
        L"select * from C where A like 5",
        L"select * from C where A like '[abc'",
        L"select * from C where A = 99999999999999999999",
        L"select * from C where A = 12abc",
        L"select * from C where and = 1",
        L"select * from C extra",
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
        L"References of {C.K=1} {C.K=2}",
    };
    for (const wchar_t* text : invalid) {
        const ParseResult result = parse(text);
        EXPECT_FALSE(result.query.has_value()) << text;
        EXPECT_FALSE(result.error.empty()) << text;
    }
}

TEST(WqlParse, RefusesWhereClausesDeepEnoughToExhaustTheStack) {
    std::wstring chain = L"select * from C where A = 1";
    for (int i = 0; i < 999; ++i) chain += L" and A = 1";
    EXPECT_TRUE(parse(chain).query.has_value());
    EXPECT_FALSE(parse(chain + L" and A = 1").query.has_value());
    std::wstring notChain;
    for (int i = 0; i < 100000; ++i) notChain += L"not ";
    EXPECT_FALSE(parse(L"select * from C where " + std::wstring(100000, L'(') + L"A = 1").query.has_value());
    EXPECT_FALSE(parse(L"select * from C where " + notChain + L"A = 1").query.has_value());
}

}  // namespace
}  // namespace HyperVSim::wql
