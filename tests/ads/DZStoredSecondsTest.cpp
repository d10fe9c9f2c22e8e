// Durations the server sets as constants: text read for its number, and
// anything that is no finite number of seconds from 0 to the bound counts
// as absent.

#include <gtest/gtest.h>

#include <limits>

#include "ads/foundation/DZStoredSeconds.h"
#include "core/UserDefaults.h"

namespace {

constexpr const char* kKey = "/dozuza/ads/test_stored_seconds";

TEST(DZStoredSecondsTest, ReadsFiniteSecondsWithinTheBound) {
    const auto defaults = core::UserDefaults::standard();
    struct Case {
        core::Value stored;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {core::Value(), std::nullopt},
        {core::Value(""), std::nullopt},
        {core::Value("0.25"), 0.25},
        {core::Value("0"), 0.0},
        {core::Value("2.5s"), 2.5},
        {core::Value("60"), 60.0},
        {core::Value("60.5"), std::nullopt},
        {core::Value("-1"), std::nullopt},
        {core::Value("1e400"), std::nullopt},
        {core::Value(0.5), 0.5},
        {core::Value(std::numeric_limits<double>::quiet_NaN()), std::nullopt},
        {core::Value(std::numeric_limits<double>::infinity()), std::nullopt},
        {core::Value(true), std::nullopt},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.stored.isNull() ? std::string("absent") : test.stored.stringValue());
        defaults->setObject(kKey, test.stored);
        EXPECT_EQ(ads::DZStoredSeconds(kKey, 60), test.expected);
    }
    defaults->removeObjectForKey(kKey);
}

}  // namespace
