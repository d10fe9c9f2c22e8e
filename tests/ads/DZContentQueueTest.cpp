#include <gtest/gtest.h>

#include "ads/foundation/DZCharacterSets.h"
#include "ads/foundation/DZContentQueue.h"
#include "core/UserDefaults.h"

using namespace ads;

namespace {

std::shared_ptr<DZContent> contentWith(std::uint64_t number, std::string_view text) {
    auto content = std::make_shared<DZContent>(number, DZContentSettings{});
    content->updateContentWithText(text);
    return content;
}

}  // namespace

TEST(DZContentQueue, DropsTheOldestWhenFullAndIgnoresZeroCapacity) {
    DZContentQueue queue(2);
    queue.enqueueContent(nullptr);
    queue.enqueueContent(contentWith(1, "first paragraph"));
    queue.enqueueContent(contentWith(2, "second paragraph"));
    queue.enqueueContent(contentWith(3, "third paragraph"));
    EXPECT_EQ(queue.sequenceNumbers(), (std::vector<std::uint64_t>{2, 3}));
    EXPECT_EQ(queue.contentWithSequenceNumber(1), nullptr);
    EXPECT_NE(queue.contentWithSequenceNumber(3), nullptr);

    DZContentQueue none(0);
    none.enqueueContent(contentWith(1, "first paragraph"));
    EXPECT_EQ(none.count(), 0u);
}

TEST(DZContentQueue, DeduplicationRemovesTheOlderOfEqualFingerprints) {
    DZContentQueue queue(10);
    const auto older = contentWith(1, "unchanged text on screen");
    const auto other = contentWith(2, "something else entirely");
    queue.enqueueContent(older);
    queue.enqueueContent(other);
    const auto newer = contentWith(3, "unchanged text on screen");
    queue.deduplicate(newer);
    queue.enqueueContent(newer);
    EXPECT_EQ(queue.sequenceNumbers(), (std::vector<std::uint64_t>{2, 3}));

    // Against itself nothing goes; a stored newer twin removes the given one.
    queue.deduplicate(newer);
    EXPECT_EQ(queue.count(), 2u);
    const auto late = contentWith(0, "something else entirely");
    queue.enqueueContent(late);
    queue.deduplicate(other);
    EXPECT_EQ(queue.sequenceNumbers(), (std::vector<std::uint64_t>{2, 3}));
}

TEST(DZContentQueue, ServesTheBestScoreAndAServedContentLosesItsLead) {
    DZContentQueue queue(10);
    EXPECT_EQ(queue.contentWithHighestScore(), nullptr);
    const auto big = contentWith(1, "a long paragraph of many words that scores well");
    const auto small = contentWith(2, "short one here");
    queue.enqueueContent(big);
    queue.enqueueContent(small);
    ASSERT_GT(big->score(), small->score());
    EXPECT_EQ(queue.contentWithHighestScore(), big);
    big->deductServedPenalty();
    ASSERT_LT(big->score(), small->score());
    EXPECT_EQ(queue.contentWithHighestScore(), small);
    small->deductServedPenalty();
    EXPECT_EQ(queue.contentWithHighestScore(), nullptr);  // no score above 0
}

TEST(DZContentQueue, EqualScoresBreakTowardsTheContentEnqueuedFirst) {
    for (const bool reversed : {false, true}) {
        DZContentQueue queue(10);
        // Same score: length 10 + age 5 against length 12 + age 3.
        const auto a = contentWith(5, "abcdefghij");
        const auto b = contentWith(3, "abcdefghijkl");
        ASSERT_EQ(a->score(), b->score());
        queue.enqueueContent(reversed ? b : a);
        queue.enqueueContent(reversed ? a : b);
        EXPECT_EQ(queue.contentWithHighestScore(), reversed ? b : a);
    }
}

TEST(DZCharacterSets, ServerRangesReplaceTheSetsAndMalformedOnesRestoreTheDefaults) {
    const auto defaults = core::UserDefaults::standard();
    DZCharacterSets sets;
    EXPECT_TRUE(sets.characterDelimitedSet().contains(U'\u3042'));
    EXPECT_FALSE(sets.characterDelimitedSet().contains(U'a'));
    EXPECT_TRUE(sets.spaceDelimitedSet().contains(U'\u00e9'));

    defaults->setString(std::string(DZCharacterSets::kCharacterDelimitedRangeKey), "[[97,3]]");
    defaults->setString(std::string(DZCharacterSets::kSpaceDelimitedRangeKey), "[[48,10]]");
    sets.updateCharacterSets();
    EXPECT_TRUE(sets.characterDelimitedSet().contains(U'c'));
    EXPECT_FALSE(sets.characterDelimitedSet().contains(U'd'));
    EXPECT_FALSE(sets.characterDelimitedSet().contains(U'\u3042'));
    EXPECT_TRUE(sets.spaceDelimitedSet().contains(U'7'));
    EXPECT_FALSE(sets.spaceDelimitedSet().contains(U'x'));

    // An absent key keeps the current set.
    defaults->removeObjectForKey(DZCharacterSets::kSpaceDelimitedRangeKey);
    for (const char* malformed :
         {"[[97,3],[1]]", "{\"a\":1}", "not json", "[[\"a\",1]]", "[[-1,3]]", "[[1114111,5]]"}) {
        defaults->setString(std::string(DZCharacterSets::kCharacterDelimitedRangeKey), malformed);
        sets.updateCharacterSets();
        EXPECT_TRUE(sets.characterDelimitedSet().contains(U'\u4e00')) << malformed;
        EXPECT_FALSE(sets.characterDelimitedSet().contains(U'a')) << malformed;
        EXPECT_TRUE(sets.spaceDelimitedSet().contains(U'7'));
        EXPECT_FALSE(sets.spaceDelimitedSet().contains(U'x'));
    }
    defaults->removeObjectForKey(DZCharacterSets::kCharacterDelimitedRangeKey);
}
