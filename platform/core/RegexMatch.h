#pragma once
// One match of a core::Regex: the whole match and each capture group, with
// their places in the searched text in bytes and in UTF-16 units.

#include <optional>
#include <string>
#include <vector>

#include "core/TextRange.h"

namespace core {

struct RegexGroup {
    TextRange utf8;   // bytes of the searched text
    TextRange utf16;  // UTF-16 units of the searched text
    std::string text;
};

struct RegexMatch {
    // [0] is the whole match, then one entry per capture group; nullopt for
    // a group that took no part in the match.
    std::vector<std::optional<RegexGroup>> groups;

    // The text of a group; empty when the group took no part or is out of range.
    [[nodiscard]] std::string text(size_t group = 0) const {
        return group < groups.size() && groups[group] ? groups[group]->text : std::string();
    }
    [[nodiscard]] const RegexGroup& whole() const { return *groups.front(); }
};

}  // namespace core
