#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "FullScreenTesting.h"
#include "ads/presentation/fullscreen/DZIntermission.h"
#include "ads/presentation/fullscreen/DZIntermitting.h"
#include "core/OperationQueue.h"

namespace {

using fullscreentesting::drainMainQueue;
using fullscreentesting::EpisodeNotifications;
using fullscreentesting::FullScreenTest;
using fullscreentesting::waitFor;

// A participant that joins when asked to present and leaves in two steps:
// relinquishScreenWithCompletion starts to leave, finishLeaving ends it.
class Participant : public ads::DZIntermitting, public std::enable_shared_from_this<Participant> {
public:
    bool dismissable = true;
    int relinquishCalls = 0;

    bool presentFromViewController(const std::shared_ptr<ui::ViewController>&,
                                   std::function<void()>) override {
        return true;
    }
    bool shouldDismissOnApplicationEnteringForeground() override { return dismissable; }
    void relinquishScreenWithCompletion(std::function<void()>) override {
        ++relinquishCalls;
        if (intermission_) intermission_->participantWillRelinquishScreen(shared_from_this());
    }
    std::shared_ptr<ads::DZIntermission> intermission() const override { return intermission_; }

    void join(const std::shared_ptr<ads::DZIntermission>& intermission) {
        intermission_ = intermission;
        intermission_->addParticipant(shared_from_this());
    }
    void finishLeaving() {
        if (!intermission_) return;
        intermission_->participantDidRelinquishScreen(shared_from_this());
        intermission_.reset();
    }

private:
    std::shared_ptr<ads::DZIntermission> intermission_;
};

class DZIntermissionTest : public FullScreenTest {
protected:
    std::shared_ptr<ads::DZIntermission> make() {
        auto intermission = ads::DZIntermission::create(slot);
        slot->setIntermission(intermission);
        return intermission;
    }
    void enterForeground() {
        core::NotificationCenter::defaultCenter().post(
            ui::Application::WillEnterForegroundNotification, &ui::Application::shared());
    }
};

TEST_F(DZIntermissionTest, AnEpisodeBeginsWithTheFirstParticipantAndEndsWithTheLast) {
    EXPECT_EQ(ads::DZIntermission::create(nullptr), nullptr);
    EpisodeNotifications notifications;
    ui::Application::shared().setIdleTimerDisabled(false);
    auto intermission = make();
    auto interstitial = std::make_shared<Participant>();
    auto browser = std::make_shared<Participant>();

    interstitial->join(intermission);
    EXPECT_EQ(notifications.willPresent, 1);
    EXPECT_TRUE(ui::Application::shared().isIdleTimerDisabled());
    browser->join(intermission);
    EXPECT_EQ(notifications.willPresent, 1);
    EXPECT_EQ(owner->screenEvents, std::vector<std::string>{"present"});

    // The first to leave does not end the episode; the second active one
    // starting to leave is its will-end.
    interstitial->relinquishScreenWithCompletion(nullptr);
    interstitial->finishLeaving();
    EXPECT_EQ(owner->screenEvents, std::vector<std::string>{"present"});
    EXPECT_TRUE(ui::Application::shared().isIdleTimerDisabled());
    browser->relinquishScreenWithCompletion(nullptr);
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss"}));
    EXPECT_FALSE(ui::Application::shared().isIdleTimerDisabled());
    EXPECT_EQ(notifications.didDismiss, 0);
    browser->finishLeaving();
    EXPECT_EQ(notifications.didDismiss, 1);
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss", "dismiss"}));
    EXPECT_EQ(intermission->activeParticipantsCount(), 0);
    EXPECT_EQ(intermission->deactivatingParticipantsCount(), 0);
}

TEST_F(DZIntermissionTest, JoiningWhileAnotherIsStillLeavingKeepsTheOneEpisode) {
    EpisodeNotifications notifications;
    auto intermission = make();
    auto interstitial = std::make_shared<Participant>();
    auto browser = std::make_shared<Participant>();
    interstitial->join(intermission);
    interstitial->relinquishScreenWithCompletion(nullptr);
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss"}));

    // The browser takes the screen before the interstitial is gone.
    browser->join(intermission);
    EXPECT_EQ(notifications.willPresent, 1);
    EXPECT_EQ(std::count(owner->screenEvents.begin(), owner->screenEvents.end(), "present"), 1);
    interstitial->finishLeaving();
    EXPECT_EQ(notifications.didDismiss, 0) << "the browser still has the screen";
    EXPECT_EQ(intermission->activeParticipantsCount(), 1);

    browser->relinquishScreenWithCompletion(nullptr);
    browser->finishLeaving();
    EXPECT_EQ(notifications.willPresent, 1);
    EXPECT_EQ(notifications.didDismiss, 1);
    EXPECT_EQ(std::count(owner->screenEvents.begin(), owner->screenEvents.end(), "present"), 1);
    ASSERT_FALSE(owner->screenEvents.empty());
    EXPECT_EQ(owner->screenEvents.back(), "dismiss");
}

TEST_F(DZIntermissionTest, AFreedParticipantStillEndsTheEpisode) {
    EpisodeNotifications notifications;
    auto intermission = make();
    auto kept = std::make_shared<Participant>();
    auto freed = std::make_shared<Participant>();
    freed->join(intermission);
    kept->join(intermission);
    freed.reset();
    // The next participant operation finds it gone.
    kept->relinquishScreenWithCompletion(nullptr);
    EXPECT_EQ(intermission->activeParticipantsCount(), 0);
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss"}));
    kept->finishLeaving();
    EXPECT_EQ(notifications.didDismiss, 1);

    // A participant freed while on screen, then the intermission's own
    // release, closes the episode too.
    auto lone = std::make_shared<Participant>();
    lone->join(intermission);
    EXPECT_EQ(notifications.willPresent, 2);
    lone.reset();
    intermission.reset();
    EXPECT_EQ(notifications.didDismiss, 2);
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss", "dismiss",
                                                             "present", "willDismiss", "dismiss"}));
    EXPECT_FALSE(ui::Application::shared().isIdleTimerDisabled());
}

TEST_F(DZIntermissionTest, TheStatusBarComesBackOnlyWhenAParticipantHidIt) {
    auto& application = ui::Application::shared();
    application.setStatusBarHidden(false);
    auto intermission = make();
    auto participant = std::make_shared<Participant>();
    participant->join(intermission);
    // Hidden by someone else: left as it is.
    application.setStatusBarHidden(true);
    participant->relinquishScreenWithCompletion(nullptr);
    participant->finishLeaving();
    EXPECT_TRUE(application.isStatusBarHidden());

    application.setStatusBarHidden(false);
    participant->join(intermission);
    intermission->participantWillOverrideStatusBarVisibility(participant.get());
    application.setStatusBarHidden(true);
    participant->relinquishScreenWithCompletion(nullptr);
    EXPECT_FALSE(application.isStatusBarHidden());
    participant->finishLeaving();
}

TEST_F(DZIntermissionTest, OnReturnToTheForegroundParticipantsLeaveOneAfterAnother) {
    auto intermission = make();
    auto first = std::make_shared<Participant>();
    auto second = std::make_shared<Participant>();
    auto staying = std::make_shared<Participant>();
    staying->dismissable = false;
    first->join(intermission);
    staying->join(intermission);
    second->join(intermission);

    enterForeground();
    // The topmost leaves first; the next waits until it has left.
    ASSERT_TRUE(waitFor([&] { return second->relinquishCalls == 1; }));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(first->relinquishCalls, 0);
    EXPECT_TRUE(intermission->deactivationQueue()->isSuspended());
    second->finishLeaving();
    ASSERT_TRUE(waitFor([&] { return first->relinquishCalls == 1; }));
    first->finishLeaving();
    EXPECT_EQ(staying->relinquishCalls, 0);
    EXPECT_EQ(intermission->activeParticipantsCount(), 1);
}

TEST_F(DZIntermissionTest, AParticipantThatLeftMeanwhileIsSkipped) {
    auto intermission = make();
    auto first = std::make_shared<Participant>();
    auto second = std::make_shared<Participant>();
    first->join(intermission);
    second->join(intermission);
    enterForeground();
    ASSERT_TRUE(waitFor([&] { return second->relinquishCalls == 1; }));
    // The first leaves by other means while the second is still leaving.
    intermission->participantWillRelinquishScreen(first);
    first->finishLeaving();
    second->finishLeaving();
    ASSERT_TRUE(waitFor([&] { return intermission->deactivationQueue()->operationCount() == 0; }));
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(first->relinquishCalls, 0);
    EXPECT_EQ(owner->screenEvents, (std::vector<std::string>{"present", "willDismiss", "dismiss"}));
}

}  // namespace
