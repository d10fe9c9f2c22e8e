#pragma once
// Carries out an interstitial page's request for a delayed close. While
// the page has asked for one ("delay_page_close_start" from its ad view), a
// dismissal keeps the interstitial alive, moves its ad view into the SDK's
// placeholder window so the page keeps running off screen, and lets go on
// "delay_page_close_stop" or after the timeout (2 s, or
// "/dozuza/ads/dz:delay_page_close_timeout"), whichever comes first.
// Without such a request a dismissal invalidates the slot at once.
//
// The owner and its interstitial hold each other strongly while a
// presentation or a delayed close lasts; clearing the fields ends that.
// Main thread; the notification callbacks run where the ad view posts.

#include <memory>
#include <string_view>

namespace ui {
class View;
}

namespace ads {

class DZInterstitial;

class DZInterstitialOwner : public std::enable_shared_from_this<DZInterstitialOwner> {
public:
    static constexpr std::string_view kTimeoutKey = "/dozuza/ads/dz:delay_page_close_timeout";
    static constexpr double kDefaultTimeout = 2.0;

    // nullptr for no interstitial. Reads the timeout once.
    [[nodiscard]] static std::shared_ptr<DZInterstitialOwner>
    create(const std::shared_ptr<DZInterstitial>& interstitial);
    ~DZInterstitialOwner();
    DZInterstitialOwner(const DZInterstitialOwner&) = delete;
    DZInterstitialOwner& operator=(const DZInterstitialOwner&) = delete;

    void interstitialDidCreateSlot();
    void observeInterstitial(const std::shared_ptr<DZInterstitial>& interstitial);
    void interstitialWillBePresented();
    void interstitialDelayPageCloseStarted();
    void interstitialDelayPageCloseStopped();
    void interstitialIsDismissed();
    static void moveAdViewToPlaceholderWindow(const std::shared_ptr<ui::View>& view);
    void stopObserving();

    [[nodiscard]] bool isSlotCreated() const { return isSlotCreated_; }
    [[nodiscard]] bool isInterstitialCloseDelayed() const { return isInterstitialCloseDelayed_; }
    [[nodiscard]] double delayPageCloseTimeoutInterval() const {
        return delayPageCloseTimeoutInterval_;
    }
    [[nodiscard]] const std::shared_ptr<DZInterstitial>& presentedInterstitial() const {
        return presentedInterstitial_;
    }
    [[nodiscard]] const std::shared_ptr<DZInterstitial>& pageCloseDelayedInterstitial() const {
        return pageCloseDelayedInterstitial_;
    }

private:
    struct Token {};

public:
    explicit DZInterstitialOwner(Token) {}

private:
    bool isSlotCreated_ = false;
    bool isInterstitialCloseDelayed_ = false;
    std::weak_ptr<DZInterstitial> weakInterstitial_;
    std::shared_ptr<DZInterstitial> presentedInterstitial_;
    std::shared_ptr<DZInterstitial> pageCloseDelayedInterstitial_;
    double delayPageCloseTimeoutInterval_ = kDefaultTimeout;
};

}  // namespace ads
