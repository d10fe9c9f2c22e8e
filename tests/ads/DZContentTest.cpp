#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ads/foundation/DZBinaryHeap.h"
#include "ads/foundation/DZCharacterSets.h"
#include "ads/foundation/DZContent.h"
#include "ads/foundation/DZMurmurHash.h"
#include "core/UserDefaults.h"

using namespace ads;

namespace {

std::vector<std::string> tokens(std::string_view paragraph) {
    return DZContent::tokensOfParagraph(paragraph, DZCharacterSets::defaultCharacterDelimitedSet(),
                                        DZCharacterSets::defaultSpaceDelimitedSet());
}

std::string fingerprintOf(std::string_view text, std::uint64_t sequenceNumber = 1) {
    DZContent content(sequenceNumber, DZContentSettings{});
    content.updateContentWithText(text);
    return content.fingerprint();
}

std::uint32_t murmur(std::string_view text, std::uint32_t seed) {
    return DZMurmurHash3(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                         seed);
}

}  // namespace

TEST(DZMurmurHash, MatchesThePublishedHashForEveryTailLength) {
    EXPECT_EQ(murmur("", 0), 0u);
    EXPECT_EQ(murmur("", 1), 0x514E28B7u);
    EXPECT_EQ(murmur("a", 0), 0x3C2569B2u);
    EXPECT_EQ(murmur("ab", 0), 0x9BBFD75Fu);
    EXPECT_EQ(murmur("abc", 0), 0xB3DD93FAu);
    EXPECT_EQ(murmur("abcd", 0), 0x43ED676Au);
    EXPECT_EQ(murmur("Hello, world!", 1234), 0xFAF6CDB3u);
    EXPECT_EQ(murmur("The quick brown fox jumps over the lazy dog", 0x9747b28c), 0x2FA826CDu);
    // Ill-formed UTF-8 hashes as U+FFFD.
    EXPECT_EQ(DZMurmurHashOfString("a\xff"), DZMurmurHashOfString("a\xef\xbf\xbd"));
}

TEST(DZMurmurHash, ModularPowerAndTokenValuesStayBelowTheModulus) {
    EXPECT_EQ(DZModularPower(kDZShingleHashBase, 0), 1u);
    EXPECT_EQ(DZModularPower(kDZShingleHashBase, 1), kDZShingleHashBase);
    std::uint64_t expected = 1;
    for (int i = 0; i < 5; ++i) expected = expected * kDZShingleHashBase % kDZShingleHashModulus;
    EXPECT_EQ(DZModularPower(kDZShingleHashBase, 5), expected);
    for (const char* token : {"a", "the", "fox", "\xe3\x81\x82"}) {
        const auto s = static_cast<std::int32_t>(DZMurmurHashOfString(token));
        const std::int64_t shifted = std::int64_t{s} + 0x7FFFFFFF;
        EXPECT_EQ(DZContent::tokenValue(token),
                  static_cast<std::uint64_t>(shifted) % kDZShingleHashModulus);
    }
}

TEST(DZContent, FingerprintGoldens) {
    EXPECT_EQ(fingerprintOf("abcdef"), "qzr4Vg==");
    EXPECT_EQ(fingerprintOf("the quick brown fox jumps over the lazy dog"),
              "CVKL52qMYV_9iRMRHJHZ9w==");
    // Lowercased with en_US before tokenising; punctuation separates.
    EXPECT_EQ(fingerprintOf("The QUICK brown fox, jumps over the lazy dog."),
              "CVKL52qMYV_9iRMRHJHZ9w==");
}

TEST(DZContent, TokenisesKanaAndIdeographsOneByOneAndSplitsLatinFromThem) {
    EXPECT_EQ(tokens("\xe3\x81\x93\xe3\x82\x93\xe3\x81\xab\xe3\x81\xa1\xe3\x81\xaf"),
              (std::vector<std::string>{"\xe3\x81\x93", "\xe3\x82\x93", "\xe3\x81\xab",
                                        "\xe3\x81\xa1", "\xe3\x81\xaf"}));
    EXPECT_EQ(tokens("abc\xe6\x97\xa5\xe6\x9c\xac"
                     "def \xe3\x82\xab\xe3\x83\x8a"),
              (std::vector<std::string>{"abc", "\xe6\x97\xa5", "\xe6\x9c\xac", "def",
                                        "\xe3\x82\xab", "\xe3\x83\x8a"}));
    // Digits and accented letters build words; a character outside the
    // basic plane (an emoji) separates them.
    EXPECT_EQ(tokens("caf\xc3\xa9 42x\xf0\x9f\x98\x80y"),
              (std::vector<std::string>{"caf\xc3\xa9", "42x", "y"}));
    EXPECT_TRUE(tokens(" ,. ").empty());
}

TEST(DZContent, ShinglesPerParagraph) {
    DZContent seven(1, DZContentSettings{});
    seven.updateContentWithText("a b c d e f g");
    const auto shingles = seven.shingles();
    ASSERT_EQ(shingles.size(), 2u);
    for (const auto& tuple : shingles) EXPECT_EQ(tuple.shingle().size(), 6u);
    std::set<std::vector<std::string>> got{shingles[0].shingle(), shingles[1].shingle()};
    EXPECT_EQ(got, (std::set<std::vector<std::string>>{{"a", "b", "c", "d", "e", "f"},
                                                       {"b", "c", "d", "e", "f", "g"}}));

    // The rolled hash of the second shingle equals the hash computed afresh.
    DZContent fresh(1, DZContentSettings{});
    fresh.updateContentWithText("b c d e f g");
    ASSERT_EQ(fresh.shingles().size(), 1u);
    const auto rolled = std::find_if(shingles.begin(), shingles.end(), [](const auto& tuple) {
        return !tuple.shingle().empty() && tuple.shingle().front() == "b";
    });
    ASSERT_NE(rolled, shingles.end());
    EXPECT_EQ(rolled->hashValue(), fresh.shingles()[0].hashValue());

    DZContent single(1, DZContentSettings{});
    single.updateContentWithText("abcdefgh");
    ASSERT_EQ(single.shingles().size(), 1u);
    EXPECT_EQ(single.shingles()[0].shingle(), std::vector<std::string>{"abcdefgh"});
}

TEST(DZContent, KeepsTheTenHighestFullLengthShingles) {
    std::string paragraph;
    for (int i = 0; i < 40; ++i) paragraph += "w" + std::to_string(i) + " ";
    const auto words = tokens(paragraph);
    ASSERT_EQ(words.size(), 40u);

    DZContent everything(1, DZContentSettings{.maximumShingleCount = 1000});
    everything.updateContentWithText(paragraph);
    auto all = everything.shingles();
    ASSERT_EQ(all.size(), 35u);

    DZContent content(1, DZContentSettings{});
    // A short paragraph first: its shingle of three tokens must be displaced.
    content.updateContentWithText("x1 x2 x3\n" + paragraph);
    const auto kept = content.shingles();
    ASSERT_EQ(kept.size(), 10u);
    std::vector<std::uint64_t> top;
    for (const auto& tuple : all) top.push_back(tuple.hashValue());
    std::sort(top.rbegin(), top.rend());
    top.resize(10);
    std::sort(top.begin(), top.end());
    std::vector<std::uint64_t> keptHashes;
    for (const auto& tuple : kept) {
        EXPECT_EQ(tuple.shingle().size(), 6u);
        keptHashes.push_back(tuple.hashValue());
    }
    EXPECT_EQ(keptHashes, top);
    EXPECT_EQ(content.fingerprint().size(), 56u);
}

TEST(DZContent, RepeatedShinglesAreKeptOnce) {
    DZContent content(1, DZContentSettings{});
    content.updateContentWithText("one two three four five six\none two three four five six");
    EXPECT_EQ(content.shingles().size(), 1u);
    EXPECT_EQ(content.contentTotalLength(), 54u);
}

TEST(DZContent, ScoreGrowsWithLengthAndAgeAndOnlyAHigherScoreRefreshesTheFingerprint) {
    DZContent content(7, DZContentSettings{});
    content.updateContentWithText("short\ntiny");
    EXPECT_EQ(content.score(), 7);  // the age term alone
    EXPECT_EQ(content.fingerprint(), "");

    content.updateContentWithText("abcdef");
    EXPECT_EQ(content.score(), 13);
    EXPECT_EQ(content.fingerprint(), "qzr4Vg==");

    content.updateContentWithText("");
    content.updateContentWithText("x");
    EXPECT_EQ(content.score(), 13);

    // Length is counted in UTF-16 units: an emoji counts 2, "é" 1.
    DZContent units(0, DZContentSettings{});
    units.updateContentWithText("\xf0\x9f\x98\x80\xf0\x9f\x98\x80\xf0\x9f\x98\x80");
    EXPECT_EQ(units.contentTotalLength(), 6u);
    DZContent accents(0, DZContentSettings{});
    accents.updateContentWithText("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9");
    EXPECT_EQ(accents.contentTotalLength(), 0u);

    content.deductServedPenalty();
    EXPECT_EQ(content.score(), -87);
}

TEST(DZContent, SettingsComeFromServerConstants) {
    auto defaults = core::UserDefaults::create("content-settings");
    EXPECT_EQ(DZContentSettings::fromUserDefaults(*defaults).shingleLength, 6u);
    defaults->setInteger("/dozuza/ads/shingle_length", 2);
    defaults->setInteger("/dozuza/ads/maximum_shingle_count", 3);
    defaults->setInteger("/dozuza/ads/minimum_paragraph_length", 1);
    defaults->setInteger("/dozuza/ads/content_length_weight", 10);
    defaults->setInteger("/dozuza/ads/content_age_weight", 0);
    const auto settings = DZContentSettings::fromUserDefaults(*defaults);
    DZContent content(5, settings);
    content.updateContentWithText("a b c d e");
    EXPECT_EQ(content.score(), 90);
    EXPECT_EQ(content.shingles().size(), 3u);
    for (const auto& tuple : content.shingles()) EXPECT_EQ(tuple.shingle().size(), 2u);

    defaults->setInteger("/dozuza/ads/shingle_length", 0);
    EXPECT_EQ(DZContentSettings::fromUserDefaults(*defaults).shingleLength, 1u);
}

TEST(DZBinaryHeap, KeepsTheMinimumOnTopAndSortsAscending) {
    DZBinaryHeap<int> heap;
    EXPECT_EQ(heap.minimum(), nullptr);
    EXPECT_FALSE(heap.sortedObjects());
    EXPECT_FALSE(heap.removedMinimum());
    for (int value : {5, 3, 9, 1, 7}) heap.addObject(value);
    ASSERT_TRUE(heap.minimum());
    EXPECT_EQ(*heap.minimum(), 1);
    EXPECT_TRUE(heap.containsObject(9));
    EXPECT_FALSE(heap.containsObject(4));
    const auto removed = heap.removedMinimum();
    ASSERT_TRUE(removed);
    EXPECT_EQ(*removed, 1);
    ASSERT_TRUE(heap.sortedObjects());
    EXPECT_EQ(*heap.sortedObjects(), (std::vector<int>{3, 5, 7, 9}));
    EXPECT_EQ(heap.count(), 4u);

    DZBinaryHeap<int> reversed([](const int& a, const int& b) { return a > b ? -1 : a < b; });
    for (int value : {5, 3, 9}) reversed.addObject(value);
    EXPECT_EQ(*reversed.minimum(), 9);
}
