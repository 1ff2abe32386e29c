#include <gtest/gtest.h>

#include <map>

#include "parse/CaseFold.h"
#include "parse/Wql.h"

namespace HyperVSim::wql {
namespace {

// An instance as the evaluator sees it; names are looked up ignoring case, as the host does.
class Instance {
public:
    Instance& with(std::wstring name, Literal value) {
        properties_[foldCase(name)] = std::move(value);
        return *this;
    }

    Match matches(std::wstring_view condition) const {
        ParseResult result = parse(std::wstring(L"select * from C where ") + std::wstring(condition));
        if (!result.query) {
            ADD_FAILURE() << result.error;
            return Match::UnknownProperty;
        }
        const SelectQuery& query = std::get<SelectQuery>(*result.query);
        return evaluate(*query.where, [this](std::wstring_view name) -> std::optional<Literal> {
            const auto found = properties_.find(foldCase(name));
            if (found == properties_.end()) return std::nullopt;
            return found->second;
        });
    }

private:
    std::map<std::wstring, Literal> properties_;
};

constexpr Match Yes = Match::Yes;
constexpr Match No = Match::No;

TEST(WqlEvaluate, StringsCompareIgnoringCase) {
    Instance pool;
    pool.with(L"ResourceSubType", Literal{L"Microsoft:Hyper-V:Synthetic Disk Drive"});
    EXPECT_EQ(pool.matches(L"resourcesubtype = 'MICROSOFT:hyper-v:synthetic disk drive'"), Yes);
    EXPECT_EQ(pool.matches(L"ResourceSubType = 'Microsoft:Hyper-V:Virtual Hard Disk'"), No);
    EXPECT_EQ(pool.matches(L"ResourceSubType <> 'Microsoft:Hyper-V:Virtual Hard Disk'"), Yes);
    EXPECT_EQ(pool.matches(L"ResourceSubType != 'microsoft:hyper-v:synthetic disk drive'"), No);
    EXPECT_EQ(pool.matches(L"ResourceSubType > 'microsoft:hyper-v:synthetic a'"), Yes);
    EXPECT_EQ(pool.matches(L"ResourceSubType < 'MICROSOFT:HYPER-V:SYNTHETIC A'"), No);
    EXPECT_EQ(pool.matches(L"ResourceSubType >= 'Microsoft:Hyper-V:Synthetic Disk Drive'"), Yes);
    EXPECT_EQ(pool.matches(L"ResourceSubType <= 'Microsoft:Hyper-V:Synthetic Disk Drive'"), Yes);
}

TEST(WqlEvaluate, BooleansAgainstTrueFalseAndOneZero) {
    Instance pool;
    pool.with(L"Primordial", Literal{true}).with(L"Flag", Literal{L"False"});
    EXPECT_EQ(pool.matches(L"Primordial = True"), Yes);
    EXPECT_EQ(pool.matches(L"Primordial = FALSE"), No);
    EXPECT_EQ(pool.matches(L"Primordial <> false"), Yes);
    EXPECT_EQ(pool.matches(L"Primordial = 1"), Yes);
    EXPECT_EQ(pool.matches(L"Primordial = 0"), No);
    EXPECT_EQ(pool.matches(L"Primordial = 2"), No);
    EXPECT_EQ(pool.matches(L"Primordial = 'true'"), Yes);
    EXPECT_EQ(pool.matches(L"Flag = false"), Yes);
}

TEST(WqlEvaluate, NumbersCompareNumericallyAlsoAgainstDecimalStrings) {
    Instance pool;
    pool.with(L"ResourceType", Literal{std::int64_t{33}})
        .with(L"NumberOfBlocks", Literal{L"65536"})
        .with(L"Name", Literal{L"abc"});
    EXPECT_EQ(pool.matches(L"ResourceType = 33"), Yes);
    EXPECT_EQ(pool.matches(L"ResourceType = 31"), No);
    EXPECT_EQ(pool.matches(L"ResourceType > -5"), Yes);
    EXPECT_EQ(pool.matches(L"ResourceType < 100"), Yes);
    EXPECT_EQ(pool.matches(L"ResourceType = '33'"), Yes);
    // Numerically 65536 > 9000 although the text "65536" sorts before "9000".
    EXPECT_EQ(pool.matches(L"NumberOfBlocks > 9000"), Yes);
    EXPECT_EQ(pool.matches(L"NumberOfBlocks = 65536"), Yes);
    EXPECT_EQ(pool.matches(L"Name = 0"), No);
    EXPECT_EQ(pool.matches(L"Name <> 0"), No);
}

TEST(WqlEvaluate, LikePatterns) {
    Instance rasd;
    rasd.with(L"InstanceID", Literal{L"Microsoft:Definition\\5B2B3B0E-1C4D\\Default"})
        .with(L"ElementName", Literal{L"Net_Adapter"});
    EXPECT_EQ(rasd.matches(LR"(InstanceID LIKE '%\Default')"), Yes);
    EXPECT_EQ(rasd.matches(LR"(InstanceID LIKE '%\\Default')"), Yes);
    EXPECT_EQ(rasd.matches(LR"(InstanceID LIKE '%\Minimum')"), No);
    EXPECT_EQ(rasd.matches(LR"(InstanceID LIKE '%Definition_5B2B3B0E%')"), Yes);
    EXPECT_EQ(rasd.matches(L"InstanceID LIKE 'microsoft:definition%'"), Yes);
    EXPECT_EQ(rasd.matches(L"InstanceID LIKE 'Microsoft:Definition'"), No);
    EXPECT_EQ(rasd.matches(L"ElementName LIKE 'net[_]adapter'"), Yes);
    EXPECT_EQ(rasd.matches(L"ElementName LIKE '[m-o]et_Adapter'"), Yes);
    EXPECT_EQ(rasd.matches(L"ElementName LIKE '[^n]et_Adapter'"), No);
    EXPECT_EQ(rasd.matches(L"ElementName LIKE '[^x]et_Adapter'"), Yes);
    EXPECT_EQ(rasd.matches(L"ElementName LIKE 'Net_Adapte_'"), Yes);
    EXPECT_EQ(rasd.matches(L"ElementName LIKE 'Net_Adapter_'"), No);
    EXPECT_EQ(rasd.matches(L"ElementName LIKE '%%%'"), Yes);
    EXPECT_EQ(rasd.matches(L"ElementName LIKE ''"), No);
}

TEST(WqlEvaluate, NullMatchesOnlyIsNull) {
    Instance drive;
    drive.with(L"Parent", Literal{}).with(L"Address", Literal{L"0"});
    EXPECT_EQ(drive.matches(L"Parent IS NULL"), Yes);
    EXPECT_EQ(drive.matches(L"Parent IS NOT NULL"), No);
    EXPECT_EQ(drive.matches(L"Address IS NULL"), No);
    EXPECT_EQ(drive.matches(L"Address IS NOT NULL"), Yes);
    for (const wchar_t* condition : {L"Parent = ''", L"Parent <> ''", L"Parent < 'z'", L"Parent LIKE '%'",
                                     L"Parent = NULL", L"Address = NULL", L"Address <> NULL"}) {
        EXPECT_EQ(drive.matches(condition), No) << condition;
    }
}

TEST(WqlEvaluate, AndOrNotAndParentheses) {
    Instance rasd;
    rasd.with(L"ResourceSubType", Literal{L"b"}).with(L"Parent", Literal{L"p"});
    EXPECT_EQ(rasd.matches(L"(ResourceSubType='a' OR ResourceSubType='b') AND Parent = 'p'"), Yes);
    EXPECT_EQ(rasd.matches(L"(ResourceSubType='a' OR ResourceSubType='b') AND Parent = 'q'"), No);
    // Without parentheses AND binds first: a OR (b AND q).
    EXPECT_EQ(rasd.matches(L"ResourceSubType='b' OR ResourceSubType='a' AND Parent = 'q'"), Yes);
    EXPECT_EQ(rasd.matches(L"(ResourceSubType='b' OR ResourceSubType='a') AND Parent = 'q'"), No);
    EXPECT_EQ(rasd.matches(L"NOT Parent = 'p'"), No);
    EXPECT_EQ(rasd.matches(L"NOT Parent = 'q' AND ResourceSubType = 'b'"), Yes);
    EXPECT_EQ(rasd.matches(L"NOT (Parent = 'p' AND ResourceSubType = 'a')"), Yes);
    EXPECT_EQ(rasd.matches(L"NOT NOT Parent = 'p'"), Yes);
}

TEST(WqlEvaluate, UnknownPropertyIsReportedWhateverTheOtherOperandsSay) {
    Instance machine;
    machine.with(L"ElementName", Literal{L"vm1"});
    EXPECT_EQ(machine.matches(L"Bogus = 1"), Match::UnknownProperty);
    EXPECT_EQ(machine.matches(L"ElementName = 'vm1' OR Bogus = 1"), Match::UnknownProperty);
    EXPECT_EQ(machine.matches(L"ElementName = 'x' AND Bogus IS NULL"), Match::UnknownProperty);
    EXPECT_EQ(machine.matches(L"NOT Bogus LIKE 'a%'"), Match::UnknownProperty);
}

}  // namespace
}  // namespace HyperVSim::wql
