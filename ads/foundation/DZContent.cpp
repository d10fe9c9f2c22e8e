#include "ads/foundation/DZContent.h"

#include <algorithm>

#include "ads/foundation/DZCharacterSets.h"
#include "ads/foundation/DZMurmurHash.h"
#include "ads/foundation/DZStringEncoding.h"
#include "core/MD5.h"
#include "core/Unicode.h"

namespace ads {

namespace {

constexpr std::uint64_t M = kDZShingleHashModulus;
constexpr std::uint64_t B = kDZShingleHashBase;

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return lines;
}

bool isSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

// Signed 64-bit arithmetic that wraps instead of overflowing (server
// weights may be anything).
std::int64_t wrappingMultiplyAdd(std::int64_t a, std::uint64_t b, std::int64_t c, std::uint64_t d) {
    const std::uint64_t sum = static_cast<std::uint64_t>(a) * b + static_cast<std::uint64_t>(c) * d;
    return static_cast<std::int64_t>(sum);
}

std::uint8_t foldedTokenByte(const std::string& token) {
    const std::uint32_t h = DZMurmurHashOfString(token);
    return static_cast<std::uint8_t>(h ^ h >> 8 ^ h >> 16 ^ h >> 24);
}

}  // namespace

DZContentSettings DZContentSettings::fromUserDefaults(const core::UserDefaults& defaults) {
    DZContentSettings settings;
    const auto read = [&](std::string_view key, auto& field) {
        const core::Value value = defaults.objectForKey(key);
        if (!value.isNull()) {
            field = static_cast<std::remove_reference_t<decltype(field)>>(value.intValue());
        }
    };
    read("/dozuza/ads/content_age_weight", settings.contentAgeWeight);
    read("/dozuza/ads/content_length_weight", settings.contentLengthWeight);
    read("/dozuza/ads/maximum_shingle_count", settings.maximumShingleCount);
    read("/dozuza/ads/minimum_paragraph_length", settings.minimumParagraphLength);
    read("/dozuza/ads/shingle_length", settings.shingleLength);
    settings.shingleLength = std::max<std::uint64_t>(settings.shingleLength, 1);
    return settings;
}

DZContent::DZContent(std::uint64_t sequenceNumber)
    : DZContent(sequenceNumber,
                DZContentSettings::fromUserDefaults(*core::UserDefaults::standard())) {}

DZContent::DZContent(std::uint64_t sequenceNumber, const DZContentSettings& settings)
    : settings_(settings), heap_(&DZShingleHashTuple::compare), sequenceNumber_(sequenceNumber) {
    settings_.shingleLength = std::max<std::uint64_t>(settings_.shingleLength, 1);
}

void DZContent::updateContentWithText(std::string_view text) {
    const DZCharacterSets& sets = DZCharacterSets::sharedInstance();
    updateContentWithText(text, sets.characterDelimitedSet(), sets.spaceDelimitedSet());
}

void DZContent::updateContentWithText(std::string_view text,
                                      const core::CharacterSet& characterDelimited,
                                      const core::CharacterSet& spaceDelimited) {
    if (text.empty()) return;
    std::vector<std::string_view> kept;
    for (const std::string_view paragraph : splitLines(text)) {
        const size_t length = core::Unicode::utf16Length(paragraph);
        if (length < settings_.minimumParagraphLength) continue;
        kept.push_back(paragraph);
        contentTotalLength_ += length;
    }
    const std::int64_t score =
        wrappingMultiplyAdd(settings_.contentLengthWeight, contentTotalLength_,
                            settings_.contentAgeWeight, sequenceNumber_);
    if (score <= score_) return;
    score_ = score;
    for (const std::string_view paragraph : kept) {
        const std::string lowered = core::Unicode::toLower(paragraph, "en_US");
        selectShinglesFromTokens(tokensOfParagraph(lowered, characterDelimited, spaceDelimited));
    }
    fingerprint_ = shingleHash();
}

std::vector<std::string> DZContent::tokensOfParagraph(std::string_view paragraph,
                                                      const core::CharacterSet& characterDelimited,
                                                      const core::CharacterSet& spaceDelimited) {
    std::vector<std::string> tokens;
    std::u16string word;
    const auto flush = [&] {
        if (word.empty()) return;
        tokens.push_back(core::Unicode::toUTF8(word));
        word.clear();
    };
    for (const char16_t unit : core::Unicode::toUTF16(paragraph)) {
        if (isSurrogate(unit)) {
            flush();
        } else if (characterDelimited.contains(unit)) {
            flush();
            tokens.push_back(core::Unicode::toUTF8(std::u16string(1, unit)));
        } else if (spaceDelimited.contains(unit)) {
            word.push_back(unit);
        } else {
            flush();
        }
    }
    flush();
    return tokens;
}

std::uint64_t DZContent::tokenValue(std::string_view token) {
    const auto signedHash = static_cast<std::int32_t>(DZMurmurHashOfString(token));
    const std::uint64_t sum = static_cast<std::uint64_t>(static_cast<std::int64_t>(signedHash)) +
                              std::uint64_t{0x7FFFFFFF};
    return sum % M;
}

void DZContent::selectShinglesFromTokens(const std::vector<std::string>& tokens) {
    const size_t n = tokens.size();
    if (n == 0) return;
    const size_t length = static_cast<size_t>(std::min<std::uint64_t>(n, settings_.shingleLength));
    std::uint64_t h = tokenValue(tokens[0]);
    for (size_t i = 1; i < length; ++i) {
        h = h * B % M;
        h = (h + tokenValue(tokens[i])) % M;
    }
    updateHeapWithHash(h, std::vector<std::string>(tokens.begin(), tokens.begin() + length));
    if (n > settings_.shingleLength) applyRollingHashToTokens(tokens, h);
}

void DZContent::applyRollingHashToTokens(const std::vector<std::string>& tokens,
                                         std::uint64_t baseHash) {
    const size_t length = static_cast<size_t>(settings_.shingleLength);
    if (tokens.size() <= length) return;
    const std::uint64_t power = DZModularPower(B, length - 1);
    std::uint64_t h = baseHash;
    for (size_t i = 0; i + length < tokens.size(); ++i) {
        const std::uint64_t outgoing = power * tokenValue(tokens[i]) % M;
        h = ((h + M - outgoing) % M * B % M + tokenValue(tokens[i + length])) % M;
        updateHeapWithHash(
            h, std::vector<std::string>(tokens.begin() + static_cast<long>(i) + 1,
                                        tokens.begin() + static_cast<long>(i + length) + 1));
    }
}

void DZContent::updateHeapWithHash(std::uint64_t hash, const std::vector<std::string>& shingle) {
    const DZShingleHashTuple* minimum = heap_.minimum();
    if (heap_.count() >= settings_.maximumShingleCount && minimum && minimum->hashValue() >= hash) {
        return;
    }
    DZShingleHashTuple tuple(shingle, hash);
    if (heap_.containsObject(tuple)) return;
    heap_.addObject(std::move(tuple));
    if (heap_.count() > settings_.maximumShingleCount) (void)heap_.removedMinimum();
}

std::vector<DZShingleHashTuple> DZContent::shingles() const {
    return heap_.sortedObjects().value_or(std::vector<DZShingleHashTuple>{});
}

std::string DZContent::shingleHash() const {
    const auto sorted = heap_.sortedObjects();
    if (!sorted) return "";
    std::vector<std::uint8_t> bytes;
    for (const DZShingleHashTuple& tuple : *sorted) {
        std::vector<std::uint8_t> folded;
        for (const std::string& token : tuple.shingle()) folded.push_back(foldedTokenByte(token));
        const core::MD5::Digest digest = core::MD5::digest(folded);
        bytes.insert(bytes.end(), digest.begin(), digest.begin() + 4);
    }
    static const DZStringEncoding encoding = DZStringEncoding::rfc4648Base64WebsafeStringEncoding();
    return encoding.encode(bytes);
}

void DZContent::deductServedPenalty() {
    score_ = static_cast<std::int64_t>(static_cast<std::uint64_t>(score_) -
                                       static_cast<std::uint64_t>(kServedPenalty));
}

}  // namespace ads
