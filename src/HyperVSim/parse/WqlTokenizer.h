// Splits a WQL text into tokens. The braces of an association query are one token holding the raw path, since
// an object path has its own quoting rules and may contain blanks and braces inside its quoted values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Common/Utf8.h"

namespace HyperVSim::wql {

enum class TokenKind { Name, String, Integer, Symbol, Braced, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::wstring text;  // the name, the unescaped string, the symbol (= <> != < > <= >= ( ) * ,) or the raw path
    std::int64_t integer = 0;
    std::size_t offset = 0;  // where the token starts in the query text
};

struct TokenizeResult {
    std::vector<Token> tokens;  // ends with an End token when error is empty
    std::string error;
};

TokenizeResult tokenize(std::wstring_view text);

// For error messages, which are narrow strings.
using Common::toUtf8;

}  // namespace HyperVSim::wql
