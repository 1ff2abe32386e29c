#include "WqlTokenizer.h"

#include <limits>

namespace HyperVSim::wql {
namespace {

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}
bool isNameStart(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_';
}
bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}
bool isNameChar(wchar_t c) {
    return isNameStart(c) || isDigit(c);
}

class Tokenizer {
public:
    explicit Tokenizer(std::wstring_view text) : text_(text) {}

    TokenizeResult run() {
        TokenizeResult result;
        for (;;) {
            while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
            Token token;
            token.offset = pos_;
            if (pos_ >= text_.size()) {
                result.tokens.push_back(std::move(token));
                return result;
            }
            if (!next(token)) {
                result.tokens.clear();
                result.error = error_;
                return result;
            }
            result.tokens.push_back(std::move(token));
        }
    }

private:
    bool fail(std::string message, std::size_t offset) {
        error_ = message + " at offset " + std::to_string(offset);
        return false;
    }

    bool next(Token& token) {
        const wchar_t c = text_[pos_];
        if (isNameStart(c)) return readName(token);
        if (isDigit(c) || (c == L'-' && pos_ + 1 < text_.size() && isDigit(text_[pos_ + 1]))) {
            return readInteger(token);
        }
        if (c == L'\'' || c == L'"') return readString(token);
        if (c == L'{') return readBraced(token);
        return readSymbol(token);
    }

    bool readName(Token& token) {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && isNameChar(text_[pos_])) ++pos_;
        token.kind = TokenKind::Name;
        token.text = text_.substr(start, pos_ - start);
        return true;
    }

    bool readInteger(Token& token) {
        const std::size_t start = pos_;
        const bool negative = text_[pos_] == L'-';
        if (negative) ++pos_;
        // Accumulating towards the negative end covers the most negative value without overflow.
        std::int64_t value = 0;
        constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
        while (pos_ < text_.size() && isDigit(text_[pos_])) {
            const int digit = text_[pos_] - L'0';
            if (value < (lowest + digit) / 10) return fail("integer out of range", start);
            value = value * 10 - digit;
            ++pos_;
        }
        if (pos_ < text_.size() && isNameChar(text_[pos_])) return fail("malformed number", start);
        if (!negative) {
            if (value == lowest) return fail("integer out of range", start);
            value = -value;
        }
        token.kind = TokenKind::Integer;
        token.integer = value;
        token.text = text_.substr(start, pos_ - start);
        return true;
    }

    bool readString(Token& token) {
        const std::size_t start = pos_;
        const wchar_t quote = text_[pos_++];
        while (pos_ < text_.size()) {
            const wchar_t c = text_[pos_++];
            if (c == quote) {
                token.kind = TokenKind::String;
                return true;
            }
            if (c == L'\\' && pos_ < text_.size()) {
                const wchar_t escaped = text_[pos_];
                // Only these three are escapes; any other backslash stays, so '%\Default' means what it says.
                if (escaped == L'\\' || escaped == L'\'' || escaped == L'"') {
                    token.text += escaped;
                    ++pos_;
                    continue;
                }
            }
            token.text += c;
        }
        return fail("unterminated string", start);
    }

    bool readBraced(Token& token) {
        const std::size_t start = pos_++;
        wchar_t quote = 0;
        while (pos_ < text_.size()) {
            const wchar_t c = text_[pos_++];
            if (quote != 0) {
                if (c == L'\\' && pos_ < text_.size()) {
                    token.text += c;
                    token.text += text_[pos_++];
                    continue;
                }
                if (c == quote) quote = 0;
            } else if (c == L'"' || c == L'\'') {
                quote = c;
            } else if (c == L'}') {
                token.kind = TokenKind::Braced;
                return true;
            }
            token.text += c;
        }
        return fail("unterminated {", start);
    }

    bool readSymbol(Token& token) {
        static constexpr std::wstring_view twoCharacter[] = {L"<>", L"!=", L"<=", L">="};
        for (std::wstring_view symbol : twoCharacter) {
            if (text_.substr(pos_, 2) == symbol) {
                token.kind = TokenKind::Symbol;
                token.text = symbol;
                pos_ += 2;
                return true;
            }
        }
        const wchar_t c = text_[pos_];
        if (std::wstring_view(L"=<>()*,").find(c) == std::wstring_view::npos) {
            return fail("unexpected character '" + toUtf8(std::wstring_view(&c, 1)) + "'", pos_);
        }
        token.kind = TokenKind::Symbol;
        token.text = c;
        ++pos_;
        return true;
    }

    std::wstring_view text_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

TokenizeResult tokenize(std::wstring_view text) {
    return Tokenizer(text).run();
}

}  // namespace HyperVSim::wql
