// Video settings from the page's dictionary over the server's.

#include "ads/video/DZVideoConfiguration.h"

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "core/JSON.h"

namespace {

using ads::DZVideoConfiguration;

class DZVideoConfigurationTest : public testing::Test {
protected:
    adwebtesting::ConstantsScope constants;
};

TEST_F(DZVideoConfigurationTest, AnEmptyDictionaryLeavesBufferingToThePlatformWithoutLimits) {
    const auto configuration = DZVideoConfiguration::create();
    EXPECT_TRUE(configuration->enableAVPlayerPlaybackBuffering());
    EXPECT_TRUE(configuration->videoBufferShouldIgnoreCanPlayThrough());
    EXPECT_FALSE(configuration->enableAdvanceBufferingControl());
    EXPECT_FALSE(configuration->enableInMemoryVideoBuffer());
    EXPECT_EQ(configuration->precacheMaxBufferBytes(), -1);
    EXPECT_EQ(configuration->videoAssetLoaderMaxContentSizeInBytes(), -1);
    EXPECT_EQ(configuration->videoAssetMaxLoadableChunkSizeInBytes(), -1);
    EXPECT_EQ(configuration->assetLoadingPlayerItemNoBufferUpdateMaxContentSize(), -1);
    EXPECT_EQ(configuration->assetLoadingPlayerItemMaxDataLoadingFailedAttempts(), -1);
    EXPECT_EQ(configuration->assetLoadingPlayerItemMaxContentLoadingFailedAttempts(), 1);
    for (const double interval :
         {configuration->minBufferTimeInterval(), configuration->maxBufferTimeInterval(),
          configuration->bufferForPlaybackTimeInterval(),
          configuration->bufferForPlaybackAfterRebufferTimeInterval(),
          configuration->videoAssetLoaderMaxDownloadWaitTimeInterval(),
          configuration->assetLoadingPlayerItemRefreshInterval(),
          configuration->precacheUpdateCheckIntervals()})
        EXPECT_EQ(interval, 0);
}

TEST_F(DZVideoConfigurationTest, TheDependentDefaultsFollowWhichKeysArePresent) {
    struct Row {
        core::Dictionary dictionary;
        bool platformBuffering;
        bool ignoreCanPlayThrough;
        bool advanceControl;
    };
    const Row rows[] = {
        {{{"bufferForPlaybackMs", 2500}}, false, false, false},
        {{{"maxBufferMs", "8000"}}, true, true, true},
        {{{"minBufferMs", 1000}, {"bufferForPlaybackMs", 1}}, false, false, true},
        {{{"bufferForPlaybackMs", 1}, {"maxBufferMs", 1}}, false, true, true},
        // Given values win over the derived ones; a dictionary value is no value.
        {{{"bufferForPlaybackMs", 1}, {"enableAVPlayerPlaybackBuffering", "1"},
          {"videoBufferShouldIgnoreCanPlayThrough", "0"}, {"enableAdvanceBufferingControl", true}},
         true, false, true},
        {{{"enableAVPlayerPlaybackBuffering", core::Dictionary{}}}, true, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(core::JSON::write(core::Value(row.dictionary)).value_or(""));
        const auto configuration = DZVideoConfiguration::create(row.dictionary);
        EXPECT_EQ(configuration->enableAVPlayerPlaybackBuffering(), row.platformBuffering);
        EXPECT_EQ(configuration->videoBufferShouldIgnoreCanPlayThrough(), row.ignoreCanPlayThrough);
        EXPECT_EQ(configuration->enableAdvanceBufferingControl(), row.advanceControl);
    }
    const auto configuration = DZVideoConfiguration::create(
        {{"bufferForPlaybackMs", 2500}, {"videoAssetLoaderMaxDownloadWaitTimeMs", "1500"},
         {"maxBufferBytes", "4096"}, {"assetLoadingPlayerItemMaxContentLoadingFailedAttempts", 3}});
    EXPECT_DOUBLE_EQ(configuration->bufferForPlaybackTimeInterval(), 2.5);
    EXPECT_DOUBLE_EQ(configuration->videoAssetLoaderMaxDownloadWaitTimeInterval(), 1.5);
    EXPECT_EQ(configuration->precacheMaxBufferBytes(), 4096);
    EXPECT_EQ(configuration->assetLoadingPlayerItemMaxContentLoadingFailedAttempts(), 3);
}

TEST_F(DZVideoConfigurationTest, ThePageOverridesTheServerKeyByKey) {
    constants.set(DZVideoConfiguration::kServerConfigurationKey,
                  R"({"maxBufferBytes": 100, "minBufferMs": 500, "maxBufferMs": 9000})");
    const auto configuration =
        DZVideoConfiguration::create({{"maxBufferBytes", 200}, {"bufferForPlaybackMs", 100}});
    EXPECT_EQ(configuration->precacheMaxBufferBytes(), 200);
    EXPECT_DOUBLE_EQ(configuration->minBufferTimeInterval(), 0.5);
    EXPECT_DOUBLE_EQ(configuration->maxBufferTimeInterval(), 9);
    EXPECT_TRUE(configuration->enableAdvanceBufferingControl());

    constants.set(DZVideoConfiguration::kServerConfigurationKey, "{not json");
    EXPECT_EQ(DZVideoConfiguration::create()->precacheMaxBufferBytes(), -1);
}

TEST_F(DZVideoConfigurationTest, UpdatesChangeOnlyTheDynamicSettingsThatAreGiven) {
    const auto configuration = DZVideoConfiguration::create(
        {{"bufferForPlaybackMs", 2500}, {"bufferForPlaybackAfterRebufferMs", 500}});
    configuration->updateDynamicConfiguration(
        {{"bufferForPlaybackMs", 1000}, {"maxBufferMs", 4000}, {"enableInMemoryVideoBuffer", 1}});
    EXPECT_DOUBLE_EQ(configuration->bufferForPlaybackTimeInterval(), 1);
    EXPECT_DOUBLE_EQ(configuration->maxBufferTimeInterval(), 4);
    EXPECT_DOUBLE_EQ(configuration->bufferForPlaybackAfterRebufferTimeInterval(), 0.5);
    EXPECT_FALSE(configuration->enableInMemoryVideoBuffer());
    EXPECT_FALSE(configuration->enableAdvanceBufferingControl());
}

}  // namespace
