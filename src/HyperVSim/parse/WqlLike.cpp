#include "WqlLike.h"

#include <algorithm>

#include "CaseFold.h"

namespace HyperVSim::wql {

std::optional<LikePattern> LikePattern::compile(std::wstring_view pattern) {
    LikePattern compiled;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        Element element{};
        const wchar_t c = pattern[i];
        if (c == L'%') {
            element.kind = Element::Kind::AnyRun;
        } else if (c == L'_') {
            element.kind = Element::Kind::AnyOne;
        } else if (c == L'[') {
            element.kind = Element::Kind::Set;
            std::size_t j = i + 1;
            if (j < pattern.size() && pattern[j] == L'^') {
                element.negated = true;
                ++j;
            }
            while (j < pattern.size() && pattern[j] != L']') {
                const wchar_t first = foldCase(pattern[j]);
                if (j + 2 < pattern.size() && pattern[j + 1] == L'-' && pattern[j + 2] != L']') {
                    const wchar_t last = foldCase(pattern[j + 2]);
                    element.ranges.push_back({std::min(first, last), std::max(first, last)});
                    j += 3;
                } else {
                    element.ranges.push_back({first, first});
                    ++j;
                }
            }
            if (j >= pattern.size() || element.ranges.empty()) return std::nullopt;
            i = j;
        } else {
            element.kind = Element::Kind::Literal;
            element.character = foldCase(c);
        }
        compiled.elements_.push_back(std::move(element));
    }
    return compiled;
}

bool LikePattern::Element::accepts(wchar_t c) const {
    switch (kind) {
        case Kind::AnyRun:
        case Kind::AnyOne:
            return true;
        case Kind::Literal:
            return character == foldCase(c);
        case Kind::Set: {
            const wchar_t folded = foldCase(c);
            const bool inSet = std::any_of(ranges.begin(), ranges.end(), [folded](const Range& range) {
                return folded >= range.first && folded <= range.last;
            });
            return inSet != negated;
        }
    }
    return false;
}

bool LikePattern::matches(std::wstring_view text) const {
    // reachable[j]: the elements consumed so far can match text[0, j). Quadratic at worst, never exponential,
    // whatever a query author puts into the pattern.
    std::vector<char> reachable(text.size() + 1, 0);
    reachable[0] = 1;
    for (const Element& element : elements_) {
        std::vector<char> next(text.size() + 1, 0);
        if (element.kind == Element::Kind::AnyRun) {
            char any = 0;
            for (std::size_t j = 0; j <= text.size(); ++j) {
                any = static_cast<char>(any | reachable[j]);
                next[j] = any;
            }
        } else {
            for (std::size_t j = 0; j < text.size(); ++j) {
                if (reachable[j] && element.accepts(text[j])) next[j + 1] = 1;
            }
        }
        reachable = std::move(next);
    }
    return reachable[text.size()] != 0;
}

}  // namespace HyperVSim::wql
