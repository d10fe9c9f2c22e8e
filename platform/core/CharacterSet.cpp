#include "core/CharacterSet.h"

#include <unicode/uniset.h>
#include <unicode/unistr.h>

#include <bitset>
#include <stdexcept>
#include <utility>

#include "core/Unicode.h"

namespace core {

struct CharacterSet::Impl {
    explicit Impl(icu::UnicodeSet s) : set(std::move(s)) {
        set.freeze();
        for (char32_t c = 0; c < ascii.size(); ++c)
            ascii[c] = set.contains(static_cast<UChar32>(c));
    }

    icu::UnicodeSet set;
    std::bitset<128> ascii;  // membership of ASCII without a search
};

namespace {

icu::UnicodeSet fromPattern(const char16_t* pattern) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeSet set(icu::UnicodeString(pattern), status);
    if (U_FAILURE(status)) throw std::logic_error("bad character set pattern");
    return set;
}

// ASCII letters and digits, "-._~", the sub-delimiters and `extra`.
icu::UnicodeSet urlSet(std::string_view extra) {
    icu::UnicodeSet set(u'A', u'Z');
    set.add(u'a', u'z').add(u'0', u'9');
    for (const char c : std::string_view("-._~!$&'()*+,;=")) set.add(static_cast<UChar32>(c));
    for (const char c : extra) set.add(static_cast<UChar32>(c));
    return set;
}

// A modifiable copy: copies of a frozen set stay frozen.
icu::UnicodeSet thawed(const icu::UnicodeSet& frozen) {
    const std::unique_ptr<icu::UnicodeSet> copy(frozen.cloneAsThawed());
    return *copy;
}

}  // namespace

CharacterSet::CharacterSet() : impl_(std::make_shared<const Impl>(icu::UnicodeSet())) {}

CharacterSet::CharacterSet(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}

CharacterSet CharacterSet::fromCharacters(std::string_view utf8) {
    icu::UnicodeSet set;
    for (size_t offset = 0; offset < utf8.size();) {
        set.add(static_cast<UChar32>(Unicode::nextCodePoint(utf8, offset)));
    }
    return CharacterSet(std::make_shared<const Impl>(std::move(set)));
}

CharacterSet CharacterSet::fromRange(char32_t first, char32_t last) {
    if (first > last || last > 0x10FFFF) return CharacterSet();
    icu::UnicodeSet set(static_cast<UChar32>(first), static_cast<UChar32>(last));
    return CharacterSet(std::make_shared<const Impl>(std::move(set)));
}

const CharacterSet& CharacterSet::whitespace() {
    static const CharacterSet set(std::make_shared<const Impl>(fromPattern(u"[\\u0009\\p{Zs}]")));
    return set;
}

const CharacterSet& CharacterSet::whitespaceAndNewline() {
    static const CharacterSet set(
        std::make_shared<const Impl>(fromPattern(u"[\\p{Z}\\u0009-\\u000D\\u0085]")));
    return set;
}

const CharacterSet& CharacterSet::newline() {
    static const CharacterSet set(
        std::make_shared<const Impl>(fromPattern(u"[\\u000A-\\u000D\\u0085\\u2028\\u2029]")));
    return set;
}

const CharacterSet& CharacterSet::alphanumeric() {
    static const CharacterSet set(
        std::make_shared<const Impl>(fromPattern(u"[\\p{L}\\p{M}\\p{N}]")));
    return set;
}

const CharacterSet& CharacterSet::letters() {
    static const CharacterSet set(std::make_shared<const Impl>(fromPattern(u"[\\p{L}\\p{M}]")));
    return set;
}

const CharacterSet& CharacterSet::decimalDigits() {
    static const CharacterSet set(std::make_shared<const Impl>(fromPattern(u"[\\p{Nd}]")));
    return set;
}

const CharacterSet& CharacterSet::punctuation() {
    static const CharacterSet set(std::make_shared<const Impl>(fromPattern(u"[\\p{P}]")));
    return set;
}

const CharacterSet& CharacterSet::printable() {
    static const CharacterSet set(
        std::make_shared<const Impl>(fromPattern(u"[\\p{L}\\p{M}\\p{N}\\p{P}\\p{S}\\p{Zs}]")));
    return set;
}

const CharacterSet& CharacterSet::urlQueryAllowed() {
    static const CharacterSet set(std::make_shared<const Impl>(urlSet(":@/?")));
    return set;
}

const CharacterSet& CharacterSet::urlFragmentAllowed() {
    static const CharacterSet set(std::make_shared<const Impl>(urlSet(":@/?")));
    return set;
}

const CharacterSet& CharacterSet::urlPathAllowed() {
    static const CharacterSet set(std::make_shared<const Impl>(urlSet(":@/")));
    return set;
}

const CharacterSet& CharacterSet::urlHostAllowed() {
    static const CharacterSet set(std::make_shared<const Impl>(urlSet(":[]")));
    return set;
}

const CharacterSet& CharacterSet::urlUserAllowed() {
    static const CharacterSet set(std::make_shared<const Impl>(urlSet("")));
    return set;
}

const CharacterSet& CharacterSet::urlPasswordAllowed() {
    static const CharacterSet set(std::make_shared<const Impl>(urlSet("")));
    return set;
}

bool CharacterSet::contains(char32_t c) const {
    if (c < impl_->ascii.size()) return impl_->ascii[c];
    return impl_->set.contains(static_cast<UChar32>(c));
}

CharacterSet CharacterSet::inverted() const {
    icu::UnicodeSet set = thawed(impl_->set);
    set.complement();
    return CharacterSet(std::make_shared<const Impl>(std::move(set)));
}

CharacterSet CharacterSet::unionWith(const CharacterSet& other) const {
    icu::UnicodeSet set = thawed(impl_->set);
    set.addAll(other.impl_->set);
    return CharacterSet(std::make_shared<const Impl>(std::move(set)));
}

CharacterSet CharacterSet::subtracting(const CharacterSet& other) const {
    icu::UnicodeSet set = thawed(impl_->set);
    set.removeAll(other.impl_->set);
    return CharacterSet(std::make_shared<const Impl>(std::move(set)));
}

std::string CharacterSet::trim(std::string_view text) const {
    size_t start = text.size();
    size_t end = 0;
    for (size_t offset = 0; offset < text.size();) {
        const size_t characterStart = offset;
        if (!contains(Unicode::nextCodePoint(text, offset))) {
            if (start == text.size()) start = characterStart;
            end = offset;
        }
    }
    if (start >= end) return {};
    return Unicode::sanitized(text.substr(start, end - start));
}

}  // namespace core
