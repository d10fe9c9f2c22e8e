#pragma once
// Which characters the content tokeniser treats as tokens of their own
// (CJK ideographs, kana, Hangul and their relatives) and which build words
// (letters, marks and digits); the server may replace either set with
// ranges of its own.
//
// Threading: the sets are read and replaced only on the object's serial
// queue "com.dozuza.vuraz.character-sets" (reads synchronous, updates
// asynchronous), so any thread may call any member.

#include <memory>
#include <optional>
#include <string_view>

#include "core/CharacterSet.h"
#include "core/Queue.h"
#include "core/Value.h"

namespace ads {

class DZCharacterSets {
public:
    static constexpr std::string_view kCharacterDelimitedRangeKey =
        "/dozuza/ads/character_delimited_unicode_range";
    static constexpr std::string_view kSpaceDelimitedRangeKey =
        "/dozuza/ads/space_delimited_unicode_range";

    [[nodiscard]] static DZCharacterSets& sharedInstance();

    [[nodiscard]] core::CharacterSet characterDelimitedSet() const;
    [[nodiscard]] core::CharacterSet spaceDelimitedSet() const;
    // Re-reads both server ranges from the standard user defaults: an
    // absent key keeps the current set, a malformed one restores the
    // default.
    void updateCharacterSets();

    [[nodiscard]] static const core::CharacterSet& defaultCharacterDelimitedSet();
    [[nodiscard]] static const core::CharacterSet& defaultSpaceDelimitedSet();
    // The set made of a JSON text of [location, length] pairs; nullopt when
    // the text is not such an array or a pair lies outside Unicode.
    [[nodiscard]] static std::optional<core::CharacterSet>
    setFromRangeText(const core::Value& text);

    DZCharacterSets();

private:
    std::shared_ptr<core::Queue> lockQueue_;
    core::CharacterSet characterDelimitedSet_;
    core::CharacterSet spaceDelimitedSet_;
};

}  // namespace ads
