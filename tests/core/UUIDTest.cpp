#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "core/Random.h"
#include "core/UUID.h"

using core::UUID;

namespace {

class RandomScope {
public:
    explicit RandomScope(std::shared_ptr<core::Random> random) { core::Random::install(random); }
    ~RandomScope() { core::Random::install(nullptr); }
    RandomScope(const RandomScope&) = delete;
    RandomScope& operator=(const RandomScope&) = delete;
};

TEST(UUIDTest, RandomOnesAreVersionFourFromTheCurrentSource) {
    {
        // One draw per byte, its low 8 bits; the version and variant bits set.
        RandomScope scope(std::make_shared<core::ScriptedRandom>(
            std::vector<std::uint32_t>{0x1FF, 0x2AB, 0xCD, 0xEF}));
        EXPECT_EQ(UUID::random().string(), "FFABCDEF-FFAB-4DEF-BFAB-CDEFFFABCDEF");
    }
    {
        RandomScope scope(std::make_shared<core::ScriptedRandom>(std::vector<std::uint32_t>{}));
        EXPECT_EQ(UUID::random().string(), "00000000-0000-4000-8000-000000000000");
    }
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const std::string text = UUID::random().string();
        ASSERT_EQ(text.size(), 36u);
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;
        EXPECT_EQ(text.find_first_of("abcdef"), std::string::npos) << text;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST(UUIDTest, TextRoundTripsAndMalformedTextIsRefused) {
    const auto parsed = UUID::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->string(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(parsed->bytes()[0], 0xE6);
    EXPECT_EQ(UUID::fromString(parsed->string()), parsed);
    EXPECT_EQ(UUID().string(), "00000000-0000-0000-0000-000000000000");
    for (const char* bad :
         {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5",
          "E621E1F8-C36C-495A-93FC-0C247A3E6E5FF", "E621E1F8-C36C-495A-93FC+0C247A3E6E5F",
          "G621E1F8-C36C-495A-93FC-0C247A3E6E5F", "E621E1F-8C36C-495A-93FC-0C247A3E6E5F"})
        EXPECT_EQ(UUID::fromString(bad), std::nullopt) << bad;
}

}  // namespace
