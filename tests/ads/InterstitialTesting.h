#pragma once
// Shared by the interstitial tests: a scripted full-screen presenter, a
// delegate that records what it hears, and the presenter factory installed
// for one test.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ads/core/slot/DZSlot.h"
#include "ads/presentation/rewarded/DZAdReward.h"
#include "ads/presentation/interstitial/DZInterstitial.h"
#include "ads/presentation/interstitial/DZInterstitialDelegate.h"
#include "ads/presentation/interstitial/DZInterstitialPresenting.h"
#include "ui/ViewController.h"

namespace interstitialtesting {

class ScriptedPresenter : public ads::DZInterstitialPresenting {
public:
    // What the next presents answer; throws a runtime error when set.
    bool accept = true;
    bool throws = false;
    std::uint64_t orientations = 0;
    bool overridesLock = false;

    std::vector<std::shared_ptr<ui::ViewController>> presentedFrom;
    std::shared_ptr<ads::DZSlot> slot;
    int closeButtonPositions = 0;

    void setSlot(const std::shared_ptr<ads::DZSlot>& given) override { slot = given; }
    std::uint64_t adOrientations() const override { return orientations; }
    void setAdOrientations(std::uint64_t mask) override { orientations = mask; }
    bool adOrientationsOverridesLockedOrientation() const override { return overridesLock; }
    void positionCloseButton() override { ++closeButtonPositions; }
    bool presentFromRootViewController(const std::shared_ptr<ui::ViewController>& root) override {
        if (throws) throw std::runtime_error("no screen");
        if (accept) presentedFrom.push_back(root);
        return accept;
    }
};

// Installs a factory that makes ScriptedPresenters (the last one made is
// `last`), and removes it afterwards.
class PresenterScope {
public:
    PresenterScope() {
        ads::DZInterstitial::setPresenterFactory([this](const std::shared_ptr<ads::DZSlot>&) {
            last = std::make_shared<ScriptedPresenter>();
            last->accept = accept;
            return last;
        });
    }
    ~PresenterScope() {
        ads::DZInterstitial::setPresenterFactory(ads::DZInterstitial::defaultPresenterFactory());
    }
    PresenterScope(const PresenterScope&) = delete;
    PresenterScope& operator=(const PresenterScope&) = delete;

    bool accept = true;
    std::shared_ptr<ScriptedPresenter> last;
};

class RecordingDelegate : public ads::DZInterstitialDelegate,
                          public ads::DZInterstitialRewardBasedVideoAdDelegate {
public:
    bool handlesFailure = false;
    // "receive", "fail <code>", "willPresent", "failPresent", "willDismiss",
    // "didDismiss", "leave", "videoStart", "reward <type>".
    std::vector<std::string> events;

    void interstitialDidReceiveAd(ads::DZInterstitial&) override { events.push_back("receive"); }
    void didFailToReceiveAdWithError(ads::DZInterstitial&,
                                     const ads::DZRequestError& error) override {
        events.push_back("fail " + std::to_string(error.code));
    }
    void interstitialWillPresentScreen(ads::DZInterstitial&) override {
        events.push_back("willPresent");
    }
    bool handlesFailureToPresent() const override { return handlesFailure; }
    void interstitialDidFailToPresentScreen(ads::DZInterstitial&) override {
        events.push_back("failPresent");
    }
    void interstitialWillDismissScreen(ads::DZInterstitial&) override {
        events.push_back("willDismiss");
    }
    void interstitialDidDismissScreen(ads::DZInterstitial&) override {
        events.push_back("didDismiss");
    }
    void interstitialWillLeaveApplication(ads::DZInterstitial&) override {
        events.push_back("leave");
    }
    void interstitialDidStartPlayingRewardBasedVideoAd(ads::DZInterstitial&) override {
        events.push_back("videoStart");
    }
    void didRewardUserWithReward(ads::DZInterstitial&,
                                 const std::shared_ptr<ads::DZAdReward>& reward) override {
        events.push_back("reward " + (reward ? reward->rewardType() : std::string("none")));
    }
};

}  // namespace interstitialtesting
