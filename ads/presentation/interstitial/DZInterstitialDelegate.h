#pragma once
// What a publisher hears from an interstitial. Every operation is
// optional (an empty default); the caller behaves differently when the
// delegate lacks interstitialDidFailToPresentScreen, which a delegate
// declares with handlesFailureToPresent(). Main thread, except the click
// and the audio-session question, which come where the slot calls them.
//
// A delegate may also adopt DZInterstitialAdClickDelegate and
// DZInterstitialRewardBasedVideoAdDelegate; the interstitial looks for them.

#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZError.h"

namespace ads {

class DZAdReward;
class DZInterstitial;
class ZODCustomRenderedAd;

class DZInterstitialDelegate {
public:
    virtual ~DZInterstitialDelegate() = default;
    virtual void interstitialDidReceiveAd(DZInterstitial& interstitial) { (void)interstitial; }
    virtual void didFailToReceiveAdWithError(DZInterstitial& interstitial,
                                             const DZRequestError& error) {
        (void)interstitial, (void)error;
    }
    virtual void interstitialWillPresentScreen(DZInterstitial& interstitial) { (void)interstitial; }
    [[nodiscard]] virtual bool handlesFailureToPresent() const { return false; }
    virtual void interstitialDidFailToPresentScreen(DZInterstitial& interstitial) {
        (void)interstitial;
    }
    virtual void interstitialWillDismissScreen(DZInterstitial& interstitial) { (void)interstitial; }
    virtual void interstitialDidDismissScreen(DZInterstitial& interstitial) { (void)interstitial; }
    virtual void interstitialWillLeaveApplication(DZInterstitial& interstitial) {
        (void)interstitial;
    }
    // nullopt: no answer (the change goes ahead).
    [[nodiscard]] virtual std::optional<bool>
    shouldChangeAudioSessionToCategory(DZInterstitial& interstitial, const std::string& category) {
        (void)interstitial, (void)category;
        return std::nullopt;
    }
};

class DZInterstitialAdClickDelegate {
public:
    virtual ~DZInterstitialAdClickDelegate() = default;
    virtual void interstitialDidReceiveAdClick(DZInterstitial& interstitial) = 0;
};

class DZInterstitialRewardBasedVideoAdDelegate {
public:
    virtual ~DZInterstitialRewardBasedVideoAdDelegate() = default;
    virtual void interstitialDidStartPlayingRewardBasedVideoAd(DZInterstitial& interstitial) {
        (void)interstitial;
    }
    virtual void didRewardUserWithReward(DZInterstitial& interstitial,
                                         const std::shared_ptr<DZAdReward>& reward) {
        (void)interstitial, (void)reward;
    }
};

// Publishers that draw custom-rendered interstitials themselves.
class ZODCustomRenderedInterstitialDelegate {
public:
    virtual ~ZODCustomRenderedInterstitialDelegate() = default;
    // False: the delegate does not take custom-rendered ads.
    [[nodiscard]] virtual bool receivesCustomRenderedAds() const { return true; }
    virtual void didReceiveCustomRenderedAd(DZInterstitial& interstitial,
                                            const std::shared_ptr<ZODCustomRenderedAd>& ad) = 0;
};

}  // namespace ads
