#pragma once
// A compiled regular expression (ICU syntax: lookbehind, named groups,
// Unicode properties) over UTF-8 text. Matching runs on the UTF-16 form of
// the text, as on the phone platform, and reports ranges in both units.
//
// A Regex is immutable and may be used from several threads at once; every
// call makes its own matcher. Bytes that are not UTF-8 match as U+FFFD, and
// ranges still index the caller's bytes.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/RegexMatch.h"

namespace core {

struct RegexOptions {
    bool caseInsensitive = false;
    bool multiline = false;  // ^ and $ match at line ends
    bool dotAll = false;     // . matches line terminators
};

class Regex {
  public:
    // nullptr for a bad pattern, with the reason and its byte offset in `error`.
    [[nodiscard]] static std::shared_ptr<Regex> create(std::string_view pattern,
                                                       const RegexOptions& options = {},
                                                       std::string* error = nullptr);
    ~Regex();

    [[nodiscard]] const std::string& pattern() const { return pattern_; }
    [[nodiscard]] size_t numberOfCaptureGroups() const;

    [[nodiscard]] std::optional<RegexMatch> firstMatch(std::string_view text) const;
    [[nodiscard]] std::vector<RegexMatch> matches(std::string_view text) const;
    [[nodiscard]] size_t numberOfMatches(std::string_view text) const;

    // Replaces every match by a template: "$0" is the match, "$1"... a group
    // (as many digits as name an existing group), "\" makes the next
    // character literal ("\$", "\\"). Absent groups expand to nothing.
    [[nodiscard]] std::string replaceAll(std::string_view text,
                                         std::string_view replacementTemplate) const;
    [[nodiscard]] std::string replace(
        std::string_view text,
        const std::function<std::string(const RegexMatch&)>& replacement) const;

    // The template expanded for one match.
    [[nodiscard]] static std::string expandTemplate(std::string_view replacementTemplate,
                                                    const RegexMatch& match);

  private:
    struct Impl;
    Regex(std::string pattern, std::unique_ptr<Impl> impl);

    // Calls `visit` for each match in order until it answers false.
    void scan(std::string_view text, const std::function<bool(const RegexMatch&)>& visit) const;

    std::string pattern_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace core
