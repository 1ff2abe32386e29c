#include <charconv>
#include <compare>

#include "CaseFold.h"
#include "Wql.h"
#include "WqlLike.h"

namespace HyperVSim::wql {
namespace {

using Op = Comparison::Op;

std::optional<std::int64_t> decimalValue(std::wstring_view text) {
    std::string narrow;
    for (wchar_t c : text) {
        if (!((c >= L'0' && c <= L'9') || c == L'-' || c == L'+')) return std::nullopt;
        narrow += static_cast<char>(c);
    }
    if (!narrow.empty() && narrow[0] == '+') narrow.erase(0, 1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
    if (error != std::errc() || end != narrow.data() + narrow.size() || narrow.empty()) return std::nullopt;
    return value;
}

std::optional<bool> booleanValue(const Literal& literal) {
    if (const bool* b = std::get_if<bool>(&literal.value)) return *b;
    if (const std::int64_t* n = std::get_if<std::int64_t>(&literal.value)) {
        if (*n == 0 || *n == 1) return *n == 1;
        return std::nullopt;
    }
    if (const std::wstring* s = std::get_if<std::wstring>(&literal.value)) {
        if (equalsIgnoreCase(*s, L"true")) return true;
        if (equalsIgnoreCase(*s, L"false")) return false;
    }
    return std::nullopt;
}

std::optional<std::int64_t> numericValue(const Literal& literal) {
    if (const std::int64_t* n = std::get_if<std::int64_t>(&literal.value)) return *n;
    if (const std::wstring* s = std::get_if<std::wstring>(&literal.value)) return decimalValue(*s);
    return std::nullopt;
}

bool holds(std::strong_ordering order, Op op) {
    switch (op) {
        case Op::Equal:
            return order == 0;
        case Op::NotEqual:
            return order != 0;
        case Op::Less:
            return order < 0;
        case Op::Greater:
            return order > 0;
        case Op::LessEqual:
            return order <= 0;
        case Op::GreaterEqual:
            return order >= 0;
        default:
            return false;
    }
}

// Which rule applies is decided by the more specific of the two types: a boolean on either side makes it a
// truth comparison, a number a numeric one, and only two strings compare as text.
std::optional<std::strong_ordering> order(const Literal& property, const Literal& constant) {
    const bool eitherBoolean =
        std::holds_alternative<bool>(property.value) || std::holds_alternative<bool>(constant.value);
    if (eitherBoolean) {
        const auto a = booleanValue(property);
        const auto b = booleanValue(constant);
        if (!a || !b) return std::nullopt;
        return *a <=> *b;
    }
    const bool eitherNumber = std::holds_alternative<std::int64_t>(property.value) ||
                              std::holds_alternative<std::int64_t>(constant.value);
    if (eitherNumber) {
        const auto a = numericValue(property);
        const auto b = numericValue(constant);
        if (!a || !b) return std::nullopt;
        return *a <=> *b;
    }
    const int result =
        compareIgnoreCase(std::get<std::wstring>(property.value), std::get<std::wstring>(constant.value));
    return result <=> 0;
}

bool like(const Literal& property, const Literal& pattern) {
    const auto* patternText = std::get_if<std::wstring>(&pattern.value);
    if (patternText == nullptr) return false;
    const auto compiled = LikePattern::compile(*patternText);
    if (!compiled) return false;
    if (const auto* text = std::get_if<std::wstring>(&property.value)) return compiled->matches(*text);
    if (const auto* number = std::get_if<std::int64_t>(&property.value)) {
        const std::string digits = std::to_string(*number);
        return compiled->matches(std::wstring(digits.begin(), digits.end()));
    }
    return false;
}

bool compare(const Literal& property, const Comparison& comparison) {
    const bool propertyIsNull = std::holds_alternative<std::monostate>(property.value);
    if (comparison.op == Op::IsNull) return propertyIsNull;
    if (comparison.op == Op::IsNotNull) return !propertyIsNull;
    if (propertyIsNull || std::holds_alternative<std::monostate>(comparison.literal.value)) return false;
    if (comparison.op == Op::Like) return like(property, comparison.literal);
    const auto result = order(property, comparison.literal);
    return result && holds(*result, comparison.op);
}

struct Outcome {
    bool value = false;
    bool unknownProperty = false;
};

class Evaluator {
public:
    explicit Evaluator(const PropertyLookup& lookup) : lookup_(lookup) {}

    Outcome operator()(const Comparison& comparison) const {
        const std::optional<Literal> property = lookup_(comparison.property);
        if (!property) return {false, true};
        return {compare(*property, comparison), false};
    }
    Outcome operator()(const And& node) const {
        const Outcome l = visit(*node.left), r = visit(*node.right);
        return {l.value && r.value, l.unknownProperty || r.unknownProperty};
    }
    Outcome operator()(const Or& node) const {
        const Outcome l = visit(*node.left), r = visit(*node.right);
        return {l.value || r.value, l.unknownProperty || r.unknownProperty};
    }
    Outcome operator()(const Not& node) const {
        const Outcome inner = visit(*node.operand);
        return {!inner.value, inner.unknownProperty};
    }
    Outcome visit(const Expr& expr) const { return std::visit(*this, expr.node); }

private:
    const PropertyLookup& lookup_;
};

}  // namespace

Match evaluate(const Expr& where, const PropertyLookup& lookup) {
    const Outcome outcome = Evaluator(lookup).visit(where);
    if (outcome.unknownProperty) return Match::UnknownProperty;
    return outcome.value ? Match::Yes : Match::No;
}

}  // namespace HyperVSim::wql
