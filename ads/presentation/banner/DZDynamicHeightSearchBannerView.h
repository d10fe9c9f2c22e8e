#pragma once
// The search ad of a fluid search banner: a plain web view, without a slot,
// that loads the search ad page of a DZDynamicHeightSearchRequest and
// grows to the height the page reports. The page talks through three
// "dmsg://" navigations, never loaded:
//   adResized?height=<h>  the ad's height; the first one above 0 is the ad;
//                         a negative or non-finite one changes nothing
//   noAdLoaded            failure, SDK error 1 "No ads are available"
//   scriptLoadFailed      failure, SDK error 2 "Failed to load resources over
//                         the network"
// A link the user taps is not loaded: its URL, with the click signal of its
// "ai" parameter added, goes to the delegate as the landing page. A
// cancelled load (-999) is no failure unless
// "/dozuza/ads/use_cancelled_url_error" says so; a failure shrinks the web
// view to height 0. Other requests than search requests, and child-directed
// ones, are refused with SDK error 12 on a later main-queue turn.
//
// adState: 0 nothing loaded yet, 1 loading, 2 ad shown, 3 failed.
// Main thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZError.h"
#include "ads/web/view/DZWebViewDelegate.h"
#include "core/URL.h"
#include "ui/GestureRecognizer.h"
#include "ui/View.h"

namespace ads {

class DZDynamicHeightSearchBannerView;
class DZRequest;
class DZWebView;

class DZDynamicHeightSearchBannerViewDelegate {
public:
    virtual ~DZDynamicHeightSearchBannerViewDelegate() = default;
    virtual void bannerViewDidReceiveAd(DZDynamicHeightSearchBannerView& view) = 0;
    virtual void didUpdateDesiredContentSize(DZDynamicHeightSearchBannerView& view,
                                             gfx::Size size) = 0;
    virtual void didFailToReceiveAdWithError(DZDynamicHeightSearchBannerView& view,
                                             const Error& error) = 0;
    virtual void didReceiveLandingPageURL(DZDynamicHeightSearchBannerView& view,
                                          const core::URL& url) = 0;
};

class DZDynamicHeightSearchBannerView : public ui::View,
                                        public DZWebViewDelegate,
                                        public ui::GestureRecognizerDelegate {
public:
    enum AdState : std::int64_t { kNothingLoaded = 0, kLoading = 1, kShown = 2, kFailed = 3 };
    static constexpr std::string_view kUseCancelledURLErrorKey =
        "/dozuza/ads/use_cancelled_url_error";

    // nullptr when the web view cannot be made.
    [[nodiscard]] static std::shared_ptr<DZDynamicHeightSearchBannerView>
    create(const gfx::Rect& frame);
    ~DZDynamicHeightSearchBannerView() override;

    void loadRequest(const std::shared_ptr<DZRequest>& request);
    [[nodiscard]] std::int64_t adState() const { return adState_; }
    [[nodiscard]] const std::optional<std::string>& adUnitID() const { return adUnitID_; }
    void setAdUnitID(std::optional<std::string> adUnitID) { adUnitID_ = std::move(adUnitID); }
    [[nodiscard]] std::shared_ptr<DZDynamicHeightSearchBannerViewDelegate> delegate() const {
        return delegate_.lock();
    }
    void setDelegate(std::weak_ptr<DZDynamicHeightSearchBannerViewDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    [[nodiscard]] const std::shared_ptr<DZWebView>& adWebView() const { return adWebView_; }
    // The size of the web view.
    [[nodiscard]] gfx::Size currentAdSize() const;

    void setFrame(const gfx::Rect& frame) override;

    // DZWebViewDelegate.
    bool shouldStartLoadWithRequest(DZWebView& webView, const core::URLRequest& request,
                                    long navigationType) override;
    void webViewDidFinishLoad(DZWebView&) override {}
    void didFailLoadWithError(DZWebView& webView, const Error& error) override;
    // ui::GestureRecognizerDelegate: only together with the click-signal
    // recognizer.
    bool
    shouldRecognizeSimultaneouslyWithGestureRecognizer(const ui::GestureRecognizer& recognizer,
                                                       const ui::GestureRecognizer& other) override;

    struct Token {};
    DZDynamicHeightSearchBannerView(Token, const gfx::Rect& frame) : ui::View(frame) {}

private:
    [[nodiscard]] bool configureBannerView();
    void refuse(const std::string& message);
    void updateInternalAdViewHeightAndNotifyDelegateWithHeight(double height);
    void handleUserDidTapAdDestinationURL(const core::URL& url);

    std::shared_ptr<DZWebView> adWebView_;
    std::int64_t adState_ = kNothingLoaded;
    std::optional<std::string> adUnitID_;
    std::weak_ptr<DZDynamicHeightSearchBannerViewDelegate> delegate_;
};

}  // namespace ads
