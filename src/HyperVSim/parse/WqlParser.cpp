#include <array>
#include <utility>

#include "CaseFold.h"
#include "Wql.h"
#include "WqlLike.h"
#include "WqlTokenizer.h"

namespace HyperVSim::wql {
namespace {

// Names that cannot be a property, so that "where and = 1" is refused rather than read as a comparison.
constexpr std::array reservedWords{L"and", L"or", L"not", L"like", L"is", L"null", L"true", L"false"};

bool isReserved(std::wstring_view name) {
    for (std::wstring_view word : reservedWords) {
        if (equalsIgnoreCase(name, word)) return true;
    }
    return false;
}

struct ParseError {
    std::string message;
};

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    Query query() {
        if (peek().kind == TokenKind::End) fail("empty query");
        Query result = [&]() -> Query {
            if (takeKeyword(L"select")) return select();
            if (takeKeyword(L"associators")) return associators();
            if (takeKeyword(L"references")) return references();
            fail("expected SELECT, ASSOCIATORS OF or REFERENCES OF");
        }();
        if (peek().kind != TokenKind::End) fail("unexpected '" + toUtf8(peek().text) + "'");
        return result;
    }

private:
    [[noreturn]] void fail(const std::string& message) const {
        throw ParseError{message + " at offset " + std::to_string(peek().offset)};
    }

    const Token& peek() const { return tokens_[pos_]; }
    const Token& advance() {
        const Token& token = tokens_[pos_];
        if (token.kind != TokenKind::End) ++pos_;
        return token;
    }

    bool isKeyword(std::wstring_view word) const {
        return peek().kind == TokenKind::Name && equalsIgnoreCase(peek().text, word);
    }
    bool takeKeyword(std::wstring_view word) {
        if (!isKeyword(word)) return false;
        advance();
        return true;
    }
    void expectKeyword(std::wstring_view word) {
        if (!takeKeyword(word)) fail("expected " + toUtf8(word));
    }
    bool isSymbol(std::wstring_view symbol) const {
        return peek().kind == TokenKind::Symbol && peek().text == symbol;
    }
    bool takeSymbol(std::wstring_view symbol) {
        if (!isSymbol(symbol)) return false;
        advance();
        return true;
    }
    void expectSymbol(std::wstring_view symbol) {
        if (!takeSymbol(symbol)) fail("expected '" + toUtf8(symbol) + "'");
    }
    std::wstring expectName(const char* what) {
        if (peek().kind != TokenKind::Name || isReserved(peek().text)) fail(std::string("expected ") + what);
        return advance().text;
    }

    SelectQuery select() {
        // A property list is accepted and ignored: every answer carries all properties, which is a superset of
        // what the list asks for.
        if (!takeSymbol(L"*")) {
            do expectName("a property name or *");
            while (takeSymbol(L","));
        }
        expectKeyword(L"from");
        SelectQuery query;
        query.className = expectName("a class name");
        if (takeKeyword(L"where")) query.where = disjunction();
        return query;
    }

    ExprPtr disjunction() {
        ExprPtr left = conjunction();
        while (takeKeyword(L"or")) {
            ExprPtr right = conjunction();
            left = std::make_unique<Expr>(Expr{Or{std::move(left), std::move(right)}});
        }
        return left;
    }

    ExprPtr conjunction() {
        ExprPtr left = negation();
        while (takeKeyword(L"and")) {
            ExprPtr right = negation();
            left = std::make_unique<Expr>(Expr{And{std::move(left), std::move(right)}});
        }
        return left;
    }

    ExprPtr negation() {
        // Bounds both the recursion here and the depth of the tree that evaluation and destruction walk, so that
        // no query text can exhaust the stack.
        if (++operands_ > maxOperands) fail("where clause too long");
        if (takeKeyword(L"not")) return std::make_unique<Expr>(Expr{Not{negation()}});
        if (takeSymbol(L"(")) {
            ExprPtr inner = disjunction();
            expectSymbol(L")");
            return inner;
        }
        return std::make_unique<Expr>(Expr{comparison()});
    }

    Comparison comparison() {
        if (peek().kind == TokenKind::Name && !isReserved(peek().text)) return propertyFirst();
        // A constant on the left ("5 < Size") reads as the mirrored comparison.
        Literal literal = constant();
        const Comparison::Op op = relationalOperator();
        if (op == Comparison::Op::Like) fail("LIKE needs the property on the left");
        return Comparison{expectName("a property name"), mirrored(op), std::move(literal)};
    }

    Comparison propertyFirst() {
        Comparison result;
        result.property = advance().text;
        if (takeKeyword(L"is")) {
            result.op = takeKeyword(L"not") ? Comparison::Op::IsNotNull : Comparison::Op::IsNull;
            expectKeyword(L"null");
            return result;
        }
        result.op = relationalOperator();
        if (result.op == Comparison::Op::Like) {
            if (peek().kind != TokenKind::String) fail("LIKE needs a string pattern");
            if (!LikePattern::compile(peek().text)) fail("malformed [ ] in LIKE pattern");
        }
        result.literal = constant();
        return result;
    }

    Comparison::Op relationalOperator() {
        using Op = Comparison::Op;
        static constexpr std::pair<std::wstring_view, Op> symbols[] = {
            {L"=", Op::Equal},   {L"<>", Op::NotEqual},  {L"!=", Op::NotEqual},     {L"<", Op::Less},
            {L">", Op::Greater}, {L"<=", Op::LessEqual}, {L">=", Op::GreaterEqual},
        };
        for (const auto& [symbol, op] : symbols) {
            if (takeSymbol(symbol)) return op;
        }
        if (takeKeyword(L"like")) return Op::Like;
        fail("expected a comparison operator");
    }

    static Comparison::Op mirrored(Comparison::Op op) {
        using Op = Comparison::Op;
        switch (op) {
            case Op::Less:
                return Op::Greater;
            case Op::Greater:
                return Op::Less;
            case Op::LessEqual:
                return Op::GreaterEqual;
            case Op::GreaterEqual:
                return Op::LessEqual;
            default:
                return op;
        }
    }

    Literal constant() {
        const Token& token = peek();
        if (token.kind == TokenKind::String) return Literal{advance().text};
        if (token.kind == TokenKind::Integer) return Literal{advance().integer};
        if (takeKeyword(L"true")) return Literal{true};
        if (takeKeyword(L"false")) return Literal{false};
        if (takeKeyword(L"null")) return Literal{};
        fail("expected a string, a number, TRUE, FALSE or NULL");
    }

    std::wstring sourcePath() {
        expectKeyword(L"of");
        if (peek().kind != TokenKind::Braced) fail("expected {object path}");
        const std::wstring& raw = advance().text;
        const auto first = raw.find_first_not_of(L" \t\r\n");
        if (first == std::wstring::npos) fail("empty object path in { }");
        const auto last = raw.find_last_not_of(L" \t\r\n");
        return raw.substr(first, last - first + 1);
    }

    // Reads "Keyword = Name" or a bare flag keyword into the matching slot; each keyword at most once.
    struct Slot {
        std::wstring_view keyword;
        std::wstring* value;
        bool* flag;
    };
    template <std::size_t N>
    void keywords(const std::array<Slot, N>& slots) {
        if (!takeKeyword(L"where")) return;
        if (peek().kind == TokenKind::End) fail("expected a keyword after WHERE");
        std::array<bool, N> seen{};
        while (peek().kind != TokenKind::End) {
            std::size_t i = 0;
            while (i < N && !isKeyword(slots[i].keyword)) ++i;
            if (i == N) fail("unknown keyword '" + toUtf8(peek().text) + "'");
            if (seen[i]) fail("keyword " + toUtf8(slots[i].keyword) + " given twice");
            seen[i] = true;
            advance();
            if (slots[i].flag != nullptr) {
                *slots[i].flag = true;
            } else {
                expectSymbol(L"=");
                *slots[i].value = expectName("a name after =");
            }
        }
    }

    void checkFlags(bool classDefsOnly, bool schemaOnly, const std::wstring& resultClass) const {
        if (classDefsOnly && !resultClass.empty()) fail("ClassDefsOnly cannot be combined with ResultClass");
        if (classDefsOnly && schemaOnly) fail("ClassDefsOnly cannot be combined with SchemaOnly");
    }

    AssociatorsQuery associators() {
        AssociatorsQuery query;
        query.sourcePath = sourcePath();
        keywords(std::array<Slot, 8>{{
            {L"AssocClass", &query.assocClass, nullptr},
            {L"ResultClass", &query.resultClass, nullptr},
            {L"Role", &query.role, nullptr},
            {L"ResultRole", &query.resultRole, nullptr},
            {L"RequiredQualifier", &query.requiredQualifier, nullptr},
            {L"RequiredAssocQualifier", &query.requiredAssocQualifier, nullptr},
            {L"ClassDefsOnly", nullptr, &query.classDefsOnly},
            {L"SchemaOnly", nullptr, &query.schemaOnly},
        }});
        checkFlags(query.classDefsOnly, query.schemaOnly, query.resultClass);
        return query;
    }

    ReferencesQuery references() {
        ReferencesQuery query;
        query.sourcePath = sourcePath();
        keywords(std::array<Slot, 5>{{
            {L"ResultClass", &query.resultClass, nullptr},
            {L"Role", &query.role, nullptr},
            {L"RequiredQualifier", &query.requiredQualifier, nullptr},
            {L"ClassDefsOnly", nullptr, &query.classDefsOnly},
            {L"SchemaOnly", nullptr, &query.schemaOnly},
        }});
        checkFlags(query.classDefsOnly, query.schemaOnly, query.resultClass);
        return query;
    }

    static constexpr int maxOperands = 1000;

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int operands_ = 0;
};

}  // namespace

ParseResult parse(std::wstring_view text) {
    TokenizeResult tokens = tokenize(text);
    if (!tokens.error.empty()) return ParseResult{std::nullopt, std::move(tokens.error)};
    try {
        return ParseResult{Parser(std::move(tokens.tokens)).query(), {}};
    } catch (const ParseError& error) {
        return ParseResult{std::nullopt, error.message};
    }
}

}  // namespace HyperVSim::wql
