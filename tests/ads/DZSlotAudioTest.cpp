// The slot's audio and orientation events: what the "volume" payload
// holds, the owner's say over audio categories, and listening to interface
// orientation changes for the slot's MRAID creative.

#include <gtest/gtest.h>

#include "DeviceSignalsTesting.h"
#include "HandlerTesting.h"
#include "ads/core/app/DZMobileAds.h"
#include "ads/foundation/DZDevice.h"
#include "core/NotificationCenter.h"
#include "ui/Application.h"

namespace {

using namespace handlertesting;
using ads::DZSlot;

// A device over a profile of that system version and audio route, with its
// dynamic facts read.
std::shared_ptr<ads::DZDevice> deviceWith(const std::string& systemVersion,
                                          std::vector<ui::AudioPort> route) {
    ui::DeviceProfile profile = ui::DeviceProfile::current();
    profile.systemVersion = systemVersion;
    profile.audio.route = std::move(route);
    profile.audio.outputVolume = 0.3f;
    profile.audio.secondaryAudioShouldBeSilenced = true;
    ui::DeviceProfile::overrideForTesting(profile);
    ui::AudioSession::shared().resetForTesting();
    auto device = ads::DZDevice::create(std::make_shared<testsupport::FakeDeviceHost>());
    device->updateDynamicParameters();
    return device;
}

TEST(DZSlotAudioTest, TheVolumePayloadHasASilenceHintOnlyWhenTheDeviceGivesOne) {
    const ui::DeviceProfile previous = ui::DeviceProfile::current();
    ads::DZMobileAds::resetForTesting();
    ads::DZMobileAds::sharedInstance().setApplicationVolume(1.7f);
    ads::DZMobileAds::sharedInstance().setApplicationMuted(true);

    // A system too old to hint leaves the hint out; no route still lists none.
    const auto old = deviceWith("7.1", {});
    const core::Dictionary payload = DZSlot::volumeNotificationPayload(*old);
    EXPECT_EQ(payload.size(), 5u);
    EXPECT_EQ(payload["app_volume"], core::Value(1.0));
    EXPECT_EQ(payload["app_muted"], core::Value("1"));
    EXPECT_EQ(payload["device_volume"], core::Value(0.3));
    EXPECT_EQ(payload["port_names"], core::Value(core::Array{}));
    EXPECT_EQ(payload["is_other_audio_playing"], core::Value(0));
    EXPECT_FALSE(payload.contains("should_silence_audio"));

    const auto current = deviceWith("12.4", {{ui::AudioSession::PortHeadphones, "Headphones"}});
    const core::Dictionary hinted = DZSlot::volumeNotificationPayload(*current);
    EXPECT_EQ(hinted.size(), 6u);
    EXPECT_EQ(hinted["port_names"], core::Value(core::Array{"dz_port_h"}));
    EXPECT_EQ(hinted["should_silence_audio"], core::Value(1));

    ui::DeviceProfile::overrideForTesting(previous);
    ui::AudioSession::shared().resetForTesting();
    ads::DZMobileAds::resetForTesting();
}

TEST(DZSlotAudioTest, TheOwnerDecidesAudioCategoriesAndYesWithoutOne) {
    SlotPage page;
    ASSERT_TRUE(page.slot);
    page.owner->allowsCategories = false;
    EXPECT_FALSE(page.slot->shouldChangeAudioSessionCategoryTo("PlayAndRecord"));
    EXPECT_EQ(page.owner->categoriesAsked, std::vector<std::string>{"PlayAndRecord"});
    page.slot->setSlotDelegate({});
    EXPECT_TRUE(page.slot->shouldChangeAudioSessionCategoryTo("PlayAndRecord"));
}

class DZSlotOrientationTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(page.slot);
        token_ = core::NotificationCenter::defaultCenter().addObserver(
            DZSlot::kCreativeOrientationChangedNotification, page.slot.get(), nullptr,
            [this](const core::Notification&) { ++posted; });
    }
    void TearDown() override {
        core::NotificationCenter::defaultCenter().removeObserver(token_);
        ui::Application::shared().rotateInterface(1);
    }
    // The slot's MRAID creative following its orientation notification.
    void observeAsTheCreative() {
        page.slot->addCreativeOrientationChangeObserver(
            page.slot, [this, weak = std::weak_ptr<DZSlot>(page.slot)] {
                ++pushes_;
                if (const auto slot = weak.lock()) slot->notifyOrientationToMRAIDCreative();
            });
    }
    [[nodiscard]] size_t pushes() const { return pushes_; }

    SlotPage page;
    int posted = 0;

private:
    core::NotificationCenter::Token token_;
    size_t pushes_ = 0;
};

TEST_F(DZSlotOrientationTest, BeginningTwiceListensOnceAndPostsOnce) {
    page.slot->beginListeningToDeviceOrientationChangeEvent();
    page.slot->beginListeningToDeviceOrientationChangeEvent();
    EXPECT_TRUE(page.slot->isListeningToDeviceOrientationChangeEvent());
    EXPECT_EQ(posted, 1);
    ui::Application::shared().rotateInterface(3);
    EXPECT_EQ(posted, 2);
    // The turn back is one post too.
    ui::Application::shared().rotateInterface(1);
    EXPECT_EQ(posted, 3);
}

TEST_F(DZSlotOrientationTest, EndingRemovesTheCreativesObservationButNoOtherObserver) {
    // Ending before beginning does nothing, the creative's observation included.
    observeAsTheCreative();
    page.slot->endListeningToDeviceOrientationChangeEvent();
    page.slot->didChangeDeviceOrientation();
    EXPECT_EQ(pushes(), 1u);

    int foreign = 0;
    const auto other = std::make_shared<int>(0);
    page.slot->addCreativeOrientationChangeObserver(other, [&foreign] { ++foreign; });
    page.slot->beginListeningToDeviceOrientationChangeEvent();
    EXPECT_EQ(pushes(), 2u);
    ui::Application::shared().rotateInterface(4);
    EXPECT_EQ(pushes(), 3u);

    page.slot->endListeningToDeviceOrientationChangeEvent();
    EXPECT_FALSE(page.slot->isListeningToDeviceOrientationChangeEvent());
    ui::Application::shared().rotateInterface(1);
    page.slot->didChangeDeviceOrientation();
    EXPECT_EQ(pushes(), 3u);
    // The notification itself goes on, and other observers keep hearing it.
    EXPECT_EQ(posted, 4);
    EXPECT_EQ(foreign, 3);
}

}  // namespace
