// The LIKE operator: % any run, _ one character, [abc] / [a-z] one of a set, [^abc] none of a set. Case is
// ignored. A backslash has no meaning to the pattern; string escapes are undone by the tokenizer before.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace HyperVSim::wql {

class LikePattern {
public:
    // nullopt for a pattern with an unterminated or empty [set].
    static std::optional<LikePattern> compile(std::wstring_view pattern);
    bool matches(std::wstring_view text) const;

private:
    struct Range {
        wchar_t first, last;
    };
    struct Element {
        enum class Kind { AnyRun, AnyOne, Literal, Set } kind;
        wchar_t character = 0;
        std::vector<Range> ranges;
        bool negated = false;
        bool accepts(wchar_t c) const;
    };
    std::vector<Element> elements_;
};

}  // namespace HyperVSim::wql
