#include <gtest/gtest.h>

#include <unordered_set>

#include "DeviceSignalsTesting.h"
#include "ads/core/request/DZAdSize.h"
#include "ads/core/request/DZAdType.h"
#include "ads/foundation/DZDevice.h"

using namespace ads;

namespace {

// A device of the given idiom and portrait screen, with its static facts
// cached as start-up caches them.
class ScreenScope {
public:
    ScreenScope(ui::UserInterfaceIdiom idiom, gfx::Size screen, gfx::Size keyWindow)
        : profile_(profileFor(idiom, screen)) {
        auto host = std::make_shared<testsupport::FakeDeviceHost>();
        host->windowSize = keyWindow;
        device_ = DZDevice::create(host);
        device_->cacheStaticParameters();
    }
    [[nodiscard]] const DZDevice& device() const { return *device_; }

private:
    static ui::DeviceProfile profileFor(ui::UserInterfaceIdiom idiom, gfx::Size screen) {
        ui::DeviceProfile profile;
        profile.idiom = idiom;
        profile.screenSize = screen;
        return profile;
    }
    testsupport::DeviceProfileOverride profile_;
    std::shared_ptr<DZDevice> device_;
};

}  // namespace

TEST(DZAdSize, ResolutionFollowsTheIdiomAndScreen) {
    const struct {
        ui::UserInterfaceIdiom idiom;
        DZAdSize size;
        gfx::Size expected;
    } table[] = {
        {ui::UserInterfaceIdiom::Phone, kDZAdSizeSmartBannerPortrait, {375, 50}},
        {ui::UserInterfaceIdiom::Phone, kDZAdSizeSmartBannerLandscape, {667, 32}},
        {ui::UserInterfaceIdiom::Phone, kDZAdSizeSmartBannerSkinnyPortrait, {375, 50}},
        {ui::UserInterfaceIdiom::Phone, kDZAdSizeSmartBannerSkinnyLandscape, {667, 32}},
        {ui::UserInterfaceIdiom::Pad, kDZAdSizeSmartBannerPortrait, {375, 90}},
        {ui::UserInterfaceIdiom::Pad, kDZAdSizeSmartBannerLandscape, {667, 90}},
        {ui::UserInterfaceIdiom::Pad, kDZAdSizeSmartBannerSkinnyPortrait, {375, 66}},
        {ui::UserInterfaceIdiom::Pad, kDZAdSizeSmartBannerSkinnyLandscape, {667, 66}},
        {ui::UserInterfaceIdiom::Unspecified, kDZAdSizeSmartBannerPortrait, {0, 0}},
        {ui::UserInterfaceIdiom::Phone, {{0, 70}, 0x03}, {375, 70}},
        {ui::UserInterfaceIdiom::Phone, {{0, 70}, 0x02}, {0, 0}},
        {ui::UserInterfaceIdiom::Phone, kDZAdSizeFluid, {320, 1}},
        {ui::UserInterfaceIdiom::Phone, DZAdSizeFluidWithCGSize({300, 200}), {300, 200}},
        {ui::UserInterfaceIdiom::Phone, kDZAdSizeMediumRectangle, {300, 250}},
        {ui::UserInterfaceIdiom::Phone, {{100, 100}, 0}, {0, 0}},
        {ui::UserInterfaceIdiom::Phone, {{100, 100}, 0x01}, {100, 100}},
        {ui::UserInterfaceIdiom::Phone, {{100, 100}, 0x40}, {0, 0}},
    };
    for (const auto& row : table) {
        ScreenScope screen(row.idiom, {375, 667}, {320, 480});
        EXPECT_EQ(DZAdSizeResolvedCGSize(row.size, screen.device()), row.expected)
            << DZAdSizeDescription(row.size) << " on idiom " << static_cast<int>(row.idiom);
    }
}

TEST(DZAdSize, ValidationChecksBothOrientations) {
    ScreenScope screen(ui::UserInterfaceIdiom::Phone, {375, 667}, {375, 667});
    Error error;
    EXPECT_FALSE(DZAdSizeValidate(kDZAdSizeInvalid, screen.device(), &error));
    EXPECT_EQ(error.code, kDZErrorInvalidArgument);
    EXPECT_EQ(error.message, "Invalid ad size.");

    EXPECT_TRUE(DZAdSizeValidate(kDZAdSizeFluid, screen.device(), nullptr));
    EXPECT_TRUE(DZAdSizeValidate({{100, 100}, 0}, screen.device(), nullptr));
    EXPECT_TRUE(DZAdSizeValidate({{600, 300}, 0x01}, screen.device(), nullptr));
    EXPECT_TRUE(DZAdSizeValidate(kDZAdSizeSmartBannerLandscape, screen.device(), nullptr));

    EXPECT_FALSE(DZAdSizeValidate({{10000, 50}, 0x01}, screen.device(), &error));
    EXPECT_EQ(error.code, kDZErrorInvalidArgument);
    EXPECT_EQ(error.message,
              "Not enough space to show ad with custom size, {10000, 50}. Please use a size that "
              "fits the current screen bounds of {375, 667}.");
    EXPECT_FALSE(DZAdSizeValidate(kDZAdSizeLeaderboard, screen.device(), nullptr));
}

TEST(DZAdSize, MatchingDescriptionsAndParsing) {
    EXPECT_TRUE(DZAdSizesEqual(DZAdSizeMatchKnownSize({320, 50}), kDZAdSizeBanner));
    EXPECT_TRUE(DZAdSizesEqual(DZAdSizeMatchKnownSize({-1, -1}), kDZAdSizeInvalid));
    EXPECT_TRUE(DZAdSizesEqual(DZAdSizeMatchKnownSize({321, 50}), {{321, 50}, 0x01}));

    EXPECT_EQ(DZAdSizeDescription(kDZAdSizeBanner), "kDZAdSizeBanner");
    EXPECT_EQ(DZAdSizeDescription(kDZAdSizeSmartBannerSkinnyLandscape),
              "kDZAdSizeSmartBannerSkinnyLandscape");
    EXPECT_EQ(DZAdSizeDescription(kDZAdSizeInvalid), "kDZAdSizeInvalid");
    EXPECT_EQ(DZAdSizeDescription({{300, 50}, 0x01}), "Custom DZAdSize: {300, 50}");
    EXPECT_EQ(DZAdSizeDescription({{0, 70}, 0x03}), "Full width DZAdSize with height: 70.000000");
    EXPECT_EQ(DZAdSizeDescription(DZAdSizeFluidWithCGSize({300, 200})),
              "Fluid DZAdSize: {300, 200}");
    EXPECT_EQ(DZAdSizeDescription({{5, 6}, 0x40}), "DZAdSize: {5, 6}, 40");

    EXPECT_EQ(DZAdSizeRequestString("320x50"), (gfx::Size{320, 50}));
    EXPECT_EQ(DZAdSizeRequestString("300x250"), (gfx::Size{300, 250}));
    EXPECT_EQ(DZAdSizeRequestString("320"), (gfx::Size{}));
    EXPECT_EQ(DZAdSizeRequestString("wide"), (gfx::Size{}));
    EXPECT_EQ(DZAdSizeRequestString(""), (gfx::Size{}));
    // Only whole sizes from 0 to the bound parse.
    EXPECT_EQ(DZAdSizeRequestString("1e3x50"), (gfx::Size{1000, 50}));
    EXPECT_EQ(DZAdSizeRequestString("100000x1"), (gfx::Size{100000, 1}));
    for (const char* text :
         {"-320x-50", "-320x50", "infxnan", "1e308x1e308", "320.5x50.25", "100001x50", "320x1e-9"})
        EXPECT_EQ(DZAdSizeRequestString(text), (gfx::Size{})) << text;
}

TEST(DZAdSize, BoxingKeepsTheRecordAndRefusesOtherValues) {
    const DZAdSize custom{{300.5, 50}, 0x11};
    const DZBoxedValue boxed = DZAdSizeBoxedValue(custom);
    EXPECT_EQ(boxed.typeEncoding, "{DZAdSize={CGSize=dd}Q}");
    EXPECT_TRUE(DZAdSizesEqual(DZAdSizeUnboxedValue(boxed), custom));

    DZBoxedValue plainSize{"{CGSize=dd}", core::Data(16)};
    EXPECT_TRUE(DZAdSizesEqual(DZAdSizeUnboxedValue(plainSize), kDZAdSizeInvalid));
    DZBoxedValue truncated = boxed;
    truncated.bytes.resize(8);
    EXPECT_TRUE(DZAdSizesEqual(DZAdSizeUnboxedValue(truncated), kDZAdSizeInvalid));
    EXPECT_TRUE(DZAdSizesEqual(DZAdSizeUnboxedValue(std::nullopt), kDZAdSizeInvalid));
}

TEST(DZAdType, EqualityHashAndValidity) {
    ScreenScope screen(ui::UserInterfaceIdiom::Phone, {375, 667}, {375, 667});
    const auto first = DZAdType::interstitialAdType();
    const auto second = DZAdType::interstitialAdType();
    EXPECT_EQ(*first, *second);
    EXPECT_EQ(first->hash(), 1u);
    EXPECT_TRUE(first->isValid());

    const auto banner = DZAdType::bannerAdTypeForSize(kDZAdSizeBanner);
    const DZAdType matched(DZAdSizeMatchKnownSize({320, 50}));
    EXPECT_EQ(*banner, matched);
    EXPECT_EQ(banner->hash(), matched.hash());
    EXPECT_NE(*banner, DZAdType({{320, 50}, 0x01}));

    // Interstitials and rewarded video share the invalid size but are
    // different kinds: equal types must hash alike.
    const auto rewarded = DZAdType::rewardBasedVideoAdType();
    EXPECT_NE(*first, *rewarded);
    EXPECT_NE(*first, DZAdType(kDZAdSizeInvalid));
    EXPECT_FALSE(rewarded->isValid());
    std::unordered_set<DZAdType> types{*first, *rewarded, *banner, matched};
    EXPECT_EQ(types.size(), 3u);

    EXPECT_EQ(first->description(), "DZAdType interstitial type");
    EXPECT_EQ(banner->description(), "DZAdType banner with size: kDZAdSizeBanner");
}
