#include "core/Regex.h"

#include <unicode/parseerr.h>
#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>
#include <unicode/utypes.h>

#include "core/Unicode.h"

namespace core {

struct Regex::Impl {
    std::unique_ptr<icu::RegexPattern> pattern;
};

namespace {

// The searched text in UTF-16 with, for every unit, the byte offset of its
// character in the caller's text (plus one entry for the end).
struct SearchText {
    explicit SearchText(std::string_view utf8) {
        units.reserve(utf8.size());
        byteOffsets.reserve(utf8.size() + 1);
        for (size_t offset = 0; offset < utf8.size();) {
            const size_t start = offset;
            const char32_t c = Unicode::nextCodePoint(utf8, offset);
            if (c > 0xFFFF) {
                units.push_back(static_cast<char16_t>(U16_LEAD(c)));
                units.push_back(static_cast<char16_t>(U16_TRAIL(c)));
                byteOffsets.push_back(start);
            } else {
                units.push_back(static_cast<char16_t>(c));
            }
            byteOffsets.push_back(start);
        }
        byteOffsets.push_back(utf8.size());
    }

    std::u16string units;
    std::vector<size_t> byteOffsets;
};

uint32_t icuFlags(const RegexOptions& options) {
    uint32_t flags = 0;
    if (options.caseInsensitive) flags |= UREGEX_CASE_INSENSITIVE;
    if (options.multiline) flags |= UREGEX_MULTILINE;
    if (options.dotAll) flags |= UREGEX_DOTALL;
    return flags;
}

}  // namespace

Regex::Regex(std::string pattern, std::unique_ptr<Impl> impl)
    : pattern_(std::move(pattern)), impl_(std::move(impl)) {}

Regex::~Regex() = default;

std::shared_ptr<Regex> Regex::create(std::string_view pattern, const RegexOptions& options,
                                     std::string* error) {
    const std::u16string units = Unicode::toUTF16(pattern);
    UParseError parseError{};
    UErrorCode status = U_ZERO_ERROR;
    auto impl = std::make_unique<Impl>();
    impl->pattern.reset(icu::RegexPattern::compile(
        icu::UnicodeString(units.data(), static_cast<int32_t>(units.size())), icuFlags(options),
        parseError, status));
    if (U_FAILURE(status) || !impl->pattern) {
        if (error) {
            const size_t at = parseError.offset > 0 ? static_cast<size_t>(parseError.offset) : 0;
            *error = std::string(u_errorName(status)) + " in pattern at byte " +
                     std::to_string(Unicode::utf8Offset(pattern, at));
        }
        return nullptr;
    }
    return std::shared_ptr<Regex>(new Regex(std::string(pattern), std::move(impl)));
}

size_t Regex::numberOfCaptureGroups() const {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(impl_->pattern->matcher(status));
    return U_SUCCESS(status) ? static_cast<size_t>(matcher->groupCount()) : 0;
}

void Regex::scan(std::string_view text, const std::function<bool(const RegexMatch&)>& visit) const {
    const SearchText search(text);
    const icu::UnicodeString input(false, search.units.data(),
                                   static_cast<int32_t>(search.units.size()));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(impl_->pattern->matcher(input, status));
    if (U_FAILURE(status)) return;
    const int32_t groupCount = matcher->groupCount();
    while (matcher->find(status) && U_SUCCESS(status)) {
        RegexMatch match;
        match.groups.reserve(static_cast<size_t>(groupCount) + 1);
        for (int32_t group = 0; group <= groupCount; ++group) {
            const int32_t start = matcher->start(group, status);
            const int32_t end = matcher->end(group, status);
            if (U_FAILURE(status) || start < 0) {
                match.groups.emplace_back(std::nullopt);
                continue;
            }
            const size_t byteStart = search.byteOffsets[static_cast<size_t>(start)];
            const size_t byteEnd = search.byteOffsets[static_cast<size_t>(end)];
            match.groups.emplace_back(
                RegexGroup{{byteStart, byteEnd - byteStart},
                           {static_cast<size_t>(start), static_cast<size_t>(end - start)},
                           std::string(text.substr(byteStart, byteEnd - byteStart))});
        }
        if (!visit(match)) return;
    }
}

std::optional<RegexMatch> Regex::firstMatch(std::string_view text) const {
    std::optional<RegexMatch> first;
    scan(text, [&](const RegexMatch& match) {
        first = match;
        return false;
    });
    return first;
}

std::vector<RegexMatch> Regex::matches(std::string_view text) const {
    std::vector<RegexMatch> all;
    scan(text, [&](const RegexMatch& match) {
        all.push_back(match);
        return true;
    });
    return all;
}

size_t Regex::numberOfMatches(std::string_view text) const {
    size_t count = 0;
    scan(text, [&](const RegexMatch&) {
        ++count;
        return true;
    });
    return count;
}

std::string Regex::replace(std::string_view text,
                           const std::function<std::string(const RegexMatch&)>& replacement) const {
    std::string out;
    size_t copied = 0;
    scan(text, [&](const RegexMatch& match) {
        const TextRange range = match.whole().utf8;
        out.append(text.substr(copied, range.location - copied));
        out += replacement(match);
        copied = range.end();
        return true;
    });
    out.append(text.substr(copied));
    return out;
}

std::string Regex::replaceAll(std::string_view text, std::string_view replacementTemplate) const {
    return replace(
        text, [&](const RegexMatch& match) { return expandTemplate(replacementTemplate, match); });
}

std::string Regex::expandTemplate(std::string_view replacementTemplate, const RegexMatch& match) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::string out;
    for (size_t i = 0; i < replacementTemplate.size(); ++i) {
        const char c = replacementTemplate[i];
        const bool hasNext = i + 1 < replacementTemplate.size();
        if (c == '\\' && hasNext) {
            out += replacementTemplate[++i];
        } else if (c == '$' && hasNext && isDigit(replacementTemplate[i + 1])) {
            size_t group = static_cast<size_t>(replacementTemplate[++i] - '0');
            while (i + 1 < replacementTemplate.size() && isDigit(replacementTemplate[i + 1])) {
                const size_t longer =
                    group * 10 + static_cast<size_t>(replacementTemplate[i + 1] - '0');
                if (longer >= match.groups.size()) break;
                group = longer;
                ++i;
            }
            out += match.text(group);
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace core
