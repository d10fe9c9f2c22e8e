#include "ads/foundation/DZCharacterSets.h"

#include <array>
#include <utility>

#include "ads/foundation/DZThreading.h"
#include "core/JSON.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

constexpr std::array<std::pair<char32_t, char32_t>, 18> kDefaultRanges{{
    {0x4E00, 0x9FCC},
    {0x3400, 0x4DB5},
    {0x20000, 0x2A6D6},
    {0x3300, 0x33FF},
    {0xF900, 0xFAFF},
    {0x2F800, 0x2FA1F},
    {0x3100, 0x312F},
    {0x31A0, 0x31BF},
    {0x3040, 0x309F},
    {0x30A0, 0x30FA},
    {0x30FC, 0x30FF},
    {0x3200, 0x32FF},
    {0xFF66, 0xFF9D},
    {0xFFA1, 0xFFDC},
    {0x1B000, 0x1B0FF},
    {0x31F0, 0x31FF},
    {0xAC00, 0xD7AF},
    {0x1100, 0x11FF},
}};

constexpr std::int64_t kLastCodePoint = 0x10FFFF;

}  // namespace

DZCharacterSets& DZCharacterSets::sharedInstance() {
    static DZCharacterSets* instance = [] {
        auto* sets = new DZCharacterSets();
        sets->updateCharacterSets();
        return sets;
    }();
    return *instance;
}

DZCharacterSets::DZCharacterSets()
    : lockQueue_(DZCreateQueueWithQoS(DZQueueLabel("character-sets"), DZQoSDefault)),
      characterDelimitedSet_(defaultCharacterDelimitedSet()),
      spaceDelimitedSet_(defaultSpaceDelimitedSet()) {}

const core::CharacterSet& DZCharacterSets::defaultCharacterDelimitedSet() {
    static const core::CharacterSet set = [] {
        core::CharacterSet result;
        for (const auto& [first, last] : kDefaultRanges) {
            result = result.unionWith(core::CharacterSet::fromRange(first, last));
        }
        return result;
    }();
    return set;
}

const core::CharacterSet& DZCharacterSets::defaultSpaceDelimitedSet() {
    return core::CharacterSet::alphanumeric();
}

std::optional<core::CharacterSet> DZCharacterSets::setFromRangeText(const core::Value& text) {
    const std::string* json = text.string();
    if (!json) return std::nullopt;
    const auto parsed = core::JSON::parse(*json);
    if (!parsed || !parsed->isArray()) return std::nullopt;
    core::CharacterSet result;
    for (const core::Value& pair : *parsed->array()) {
        if (!pair.isArray() || pair.size() != 2 || !pair[0].isNumber() || !pair[1].isNumber()) {
            return std::nullopt;
        }
        const std::int64_t location = pair[0].intValue();
        const std::int64_t length = pair[1].intValue();
        if (location < 0 || length < 0 || location > kLastCodePoint ||
            length > kLastCodePoint + 1 - location) {
            return std::nullopt;
        }
        if (length == 0) continue;
        result = result.unionWith(core::CharacterSet::fromRange(
            static_cast<char32_t>(location), static_cast<char32_t>(location + length - 1)));
    }
    return result;
}

core::CharacterSet DZCharacterSets::characterDelimitedSet() const {
    core::CharacterSet copy;
    lockQueue_->sync([&] { copy = characterDelimitedSet_; });
    return copy;
}

core::CharacterSet DZCharacterSets::spaceDelimitedSet() const {
    core::CharacterSet copy;
    lockQueue_->sync([&] { copy = spaceDelimitedSet_; });
    return copy;
}

void DZCharacterSets::updateCharacterSets() {
    const auto defaults = core::UserDefaults::standard();
    const core::Value characterValue = defaults->objectForKey(kCharacterDelimitedRangeKey);
    const core::Value spaceValue = defaults->objectForKey(kSpaceDelimitedRangeKey);
    lockQueue_->async([this, characterValue, spaceValue] {
        if (!characterValue.isNull()) {
            characterDelimitedSet_ =
                setFromRangeText(characterValue).value_or(defaultCharacterDelimitedSet());
        }
        if (!spaceValue.isNull()) {
            spaceDelimitedSet_ = setFromRangeText(spaceValue).value_or(defaultSpaceDelimitedSet());
        }
    });
}

}  // namespace ads
