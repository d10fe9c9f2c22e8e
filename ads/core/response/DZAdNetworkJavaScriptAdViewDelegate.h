#pragma once
// The ad view delegate of an ad that carries an ad network's script tag.
// Such a tag may give up on the slot by navigating to a passback URL (the
// "passback" scheme in any case, or the ad's passback URL, host in any case
// and path with or without a final "/"): the navigation is refused and the
// slot fails with SDK error 1 "Passback URL received." and re-arms its
// reload timer. A tag may also load without drawing anything, so a finished
// load counts only once the ad view shows content: from the first finished
// load (unless a passback came first) a snapshot of the ad's web view,
// taken after it has drawn the page afresh, is checked every 0.2 s of
// clock against the web view's background colour; content completes the load as for any banner, and 101 checks
// without content fail it ("Ad check timed out.", about 20 seconds). A
// check still waiting for its snapshot when the next tick comes lets that
// tick pass.
//
// Main thread.

#include <cstdint>
#include <memory>
#include <optional>

#include "ads/presentation/DZBannerAdViewDelegate.h"
#include "core/URL.h"

namespace core {
class Timer;
}

namespace ads {

class DZAdNetworkJavaScriptAdViewDelegate : public DZBannerAdViewDelegate {
public:
    static constexpr double kCheckInterval = 0.2;
    static constexpr std::uint64_t kMaximumChecks = 101;

    explicit DZAdNetworkJavaScriptAdViewDelegate(std::weak_ptr<DZSlot> slot,
                                                 std::optional<core::URL> passbackURL = {})
        : DZBannerAdViewDelegate(std::move(slot)), passbackURL_(std::move(passbackURL)) {}
    ~DZAdNetworkJavaScriptAdViewDelegate() override;

    [[nodiscard]] bool isPassbackRequest(const core::URLRequest& request) const;

    bool shouldStartLoadWithRequest(DZAdView& adView, const core::URLRequest& request,
                                    long navigationType) override;
    void adViewDidFinishLoad(DZAdView& adView) override;

    void startRenderingTimerForAdView(const std::shared_ptr<DZAdView>& adView);
    void stopRenderingTimer();
    void checkIsContentRenderedInAdView();
    void adViewDidRenderContent();
    void adViewDidNotRenderContent();

    [[nodiscard]] bool wasPassbackReceived() const { return wasPassbackReceived_; }
    void setWasPassbackReceived(bool received) { wasPassbackReceived_ = received; }
    [[nodiscard]] const std::optional<core::URL>& passbackURL() const { return passbackURL_; }
    void setPassbackURL(std::optional<core::URL> url) { passbackURL_ = std::move(url); }
    [[nodiscard]] std::uint64_t checkRenderingCount() const { return checkRenderingCount_; }
    [[nodiscard]] bool renderingCheckHasStarted() const { return renderingCheckHasStarted_; }
    [[nodiscard]] bool isChecking() const;

private:
    void didCheckContent(bool rendered);

    std::weak_ptr<DZAdView> adView_;
    std::uint64_t checkRenderingCount_ = 0;
    std::weak_ptr<core::Timer> checkRenderingTimer_;
    bool renderingCheckHasStarted_ = false;
    bool checkInFlight_ = false;
    bool wasPassbackReceived_ = false;
    std::optional<core::URL> passbackURL_;
};

}  // namespace ads
