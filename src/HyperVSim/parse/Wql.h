// The WQL subset the simulated host answers: select * from C [where ...], Associators of {path} [where ...]
// and References of {path} [where ...]. Parsing and evaluation know nothing about the classes served; the
// caller resolves class names, paths and property values.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace HyperVSim::wql {

struct Literal {
    std::variant<std::monostate /* NULL */, std::wstring, std::int64_t, bool> value;
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Comparison {
    enum class Op { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual, Like, IsNull, IsNotNull };
    std::wstring property;
    Op op = Op::Equal;
    Literal literal;  // NULL for IsNull and IsNotNull; always a string for Like
};
struct And {
    ExprPtr left, right;
};
struct Or {
    ExprPtr left, right;
};
struct Not {
    ExprPtr operand;
};
struct Expr {
    std::variant<Comparison, And, Or, Not> node;
};

struct SelectQuery {
    std::wstring className;
    ExprPtr where;  // null when the query has no where clause
};

// Keywords that were not written are empty strings / false.
struct AssociatorsQuery {
    std::wstring sourcePath;  // the text between the braces, surrounding blanks removed
    std::wstring resultClass, assocClass, role, resultRole;
    std::wstring requiredQualifier, requiredAssocQualifier;
    bool classDefsOnly = false, schemaOnly = false;
};
struct ReferencesQuery {
    std::wstring sourcePath;
    std::wstring resultClass, role;
    std::wstring requiredQualifier;
    bool classDefsOnly = false, schemaOnly = false;
};

using Query = std::variant<SelectQuery, AssociatorsQuery, ReferencesQuery>;

struct ParseResult {
    std::optional<Query> query;
    std::string error;  // why the text was refused, for messages; empty on success
};

ParseResult parse(std::wstring_view text);

// How a property looks to the where evaluator; nullopt means the class has no such property.
using PropertyLookup = std::function<std::optional<Literal>(std::wstring_view name)>;

enum class Match { Yes, No, UnknownProperty };

// Every comparison is evaluated, so a misspelt property is reported whatever the other operands yield.
Match evaluate(const Expr& where, const PropertyLookup& lookup);

}  // namespace HyperVSim::wql
