#pragma once
// The text one traversal of the app's views found, condensed: the text
// is cut into paragraphs and tokens, the word shingles with the highest
// rolling hashes are kept, and their hashes make a short fingerprint text.
// The score favours long and recent content; serving the fingerprint costs
// score, so that the next request tends to carry another one.
//
// Threading: one queue at a time (content hashing runs every update, the
// deduction included, on its own serial queue).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ads/foundation/DZBinaryHeap.h"
#include "ads/foundation/DZShingleHashTuple.h"
#include "core/CharacterSet.h"
#include "core/UserDefaults.h"

namespace ads {

// The tunables of a content, each replaceable by a server constant.
struct DZContentSettings {
    std::int64_t contentAgeWeight = 1;
    std::int64_t contentLengthWeight = 1;
    std::uint64_t maximumShingleCount = 10;
    std::uint64_t minimumParagraphLength = 6;
    std::uint64_t shingleLength = 6;

    // The defaults above, each replaced by its "/dozuza/ads/..." constant
    // when the store holds one. A shingle length below 1 counts as 1.
    [[nodiscard]] static DZContentSettings fromUserDefaults(const core::UserDefaults& defaults);
};

class DZContent {
public:
    static constexpr std::int64_t kServedPenalty = 100;

    // Settings from the standard user defaults.
    explicit DZContent(std::uint64_t sequenceNumber);
    DZContent(std::uint64_t sequenceNumber, const DZContentSettings& settings);

    // Adds one view's text (see the file comment); an empty text does
    // nothing. Tokenises with the shared character sets.
    void updateContentWithText(std::string_view text);
    void updateContentWithText(std::string_view text, const core::CharacterSet& characterDelimited,
                               const core::CharacterSet& spaceDelimited);

    // Offers every shingle of one paragraph's tokens to the heap.
    void selectShinglesFromTokens(const std::vector<std::string>& tokens);
    // Rolls the hash of the first shingle (baseHash) along the tokens,
    // offering each further shingle of the shingle length.
    void applyRollingHashToTokens(const std::vector<std::string>& tokens, std::uint64_t baseHash);
    void updateHeapWithHash(std::uint64_t hash, const std::vector<std::string>& shingle);
    // The fingerprint text of the current heap: "" when it is empty.
    [[nodiscard]] std::string shingleHash() const;
    void deductServedPenalty();

    [[nodiscard]] const std::string& fingerprint() const { return fingerprint_; }
    [[nodiscard]] std::int64_t score() const { return score_; }
    [[nodiscard]] std::uint64_t sequenceNumber() const { return sequenceNumber_; }
    [[nodiscard]] std::uint64_t contentTotalLength() const { return contentTotalLength_; }
    // The kept shingles, smallest first.
    [[nodiscard]] std::vector<DZShingleHashTuple> shingles() const;

    // The tokens of one paragraph (already lowercased), one UTF-16 unit at
    // a time: character-delimited characters are tokens of their own,
    // space-delimited ones build words, anything else (surrogate halves
    // included) separates.
    [[nodiscard]] static std::vector<std::string>
    tokensOfParagraph(std::string_view paragraph, const core::CharacterSet& characterDelimited,
                      const core::CharacterSet& spaceDelimited);
    // (MurmurHash of the token as a signed number + 0x7FFFFFFF) mod M, in
    // unsigned 64-bit arithmetic.
    [[nodiscard]] static std::uint64_t tokenValue(std::string_view token);

private:
    DZContentSettings settings_;
    std::uint64_t contentTotalLength_ = 0;
    DZBinaryHeap<DZShingleHashTuple> heap_;
    std::string fingerprint_;
    std::int64_t score_ = 0;
    std::uint64_t sequenceNumber_;
};

}  // namespace ads
