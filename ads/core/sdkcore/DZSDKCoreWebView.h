#pragma once
// The SDK core page in a hidden, zero-size ad view: loads and reloads it on
// demand, queues script commands (at most 50) until it has loaded, takes
// its dmsg answers off the navigation path and hands them to the SDK core
// message handler (then the Live View message handler), and tells one-time
// observers when a load has ended. Each answer is a navigation that its ad
// view's web view and the ad view decide as any other before it reaches
// this page's decision (a long one a frame is given is taken in the web
// process and read as a URL off the main thread: DZWebView). The answers
// carry whole ads: each is taken apart on the serial queue
// "com.dozuza.vuraz.sdk-core-messages", so the main thread never parses
// megabytes, and handed on, in the order the page sent them, on the main
// queue.
//
// It also routes the page's Live View verdicts: each Live View identifier
// whose instance runs in the page may have one observer (held weakly), told
// of "visibilityChanged" and, with receiver kind 1, of "untrackLiveViewUnit"
// and of clearAllLiveViewInstances.
//
// The page comes from one URL, https on the ad server's host with the fixed
// path kCorePagePath, fixed at creation; it is compared as a whole text when
// a navigation is decided and when a failure is matched. A load whose page
// answers with an HTTP status of 400 or more counts as failed.
//
// A load has a deadline (loadTimeout, kDefaultLoadTimeout seconds on the
// process clock, as the SDK's other load limits): a load still under way
// then is stopped and counts as failed, so the controller's next attempt
// loads the page anew; so does a page whose web process ended. A navigation to the core page URL is
// accepted in any state, so the engine asking again for the load it is making never cancels it; a
// refresh while a load is at or past its deadline starts another, the deadline being the load's
// start plus the time-out set now.
//
// Threading: the state, the loaded flag, the command queue and the observers
// live on the serial queue "com.dozuza.vuraz.sdk-core-web-view" (state reads
// are synchronous, writes asynchronous); navigation decisions, load starts,
// scripts and observer calls run on the main queue. The Live View tables
// live on the same queue; visibility and untrack calls reach observers on
// the main queue, clearAllLiveViewInstances calls them on the calling
// thread.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ads/core/sdkcore/DZAdViewLiveViewMonitoring.h"
#include "ads/web/dmsg/DZLiveViewDMSGHandler.h"
#include "ads/web/view/DZAdViewDelegateProtocol.h"
#include "ads/web/view/DZWebViewConfiguration.h"
#include "core/Queue.h"
#include "core/URL.h"

namespace ads {

class DZAdView;
class DZAdViewDelegate;
class DZCSI;
class DZNotification;
class DZSDKCoreDMSGHandler;
class DZSDKCoreWebViewNotification;

class DZSDKCoreWebView : public DZAdViewDelegateProtocol,
                         public DZLiveViewDMSGHandlerDelegate,
                         public std::enable_shared_from_this<DZSDKCoreWebView> {
public:
    enum State : std::int64_t {
        kNotLoaded = 0,
        kLoadRequested = 1,
        kNavigationAccepted = 2,
        kLoaded = 3,
        kFailed = 4,
    };
    static constexpr size_t kMaximumPendingCommands = 50;
    // Seconds a load of the page may take.
    static constexpr double kDefaultLoadTimeout = 10.0;
    static constexpr std::string_view kCorePagePath = "/mads/static/sdk/native/sdk-core-v40.html";

    // The core page URL for the ad server host set now.
    [[nodiscard]] static std::string coreURLString();
    // nullptr when the ad view cannot be made.
    [[nodiscard]] static std::shared_ptr<DZSDKCoreWebView>
    create(const std::optional<DZWebViewConfiguration>& configuration = std::nullopt);
    ~DZSDKCoreWebView() override;

    // Starts a load unless one is under way; the observer hears of its end.
    void refreshSDKCoreAndNotifyObserver(std::shared_ptr<DZSDKCoreWebViewNotification> observer);
    void addObserverForOneTimeNotification(std::shared_ptr<DZSDKCoreWebViewNotification> observer);
    void removeObserver(const std::shared_ptr<DZSDKCoreWebViewNotification>& observer);
    void notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished();
    // Dropped in state 4; beyond 50 waiting, the oldest is dropped.
    void enqueueJavaScriptCommand(std::string command);
    void dispatchPendingJavaScriptCommands();
    // Sends the timings recorded so far.
    void willRefreshSDKCore();

    [[nodiscard]] State state() const;
    // For the loads started from now on; a refresh also measures the load
    // under way by it, while that load's timer keeps the time it was set for.
    void setLoadTimeout(double seconds);
    [[nodiscard]] double loadTimeout() const;
    [[nodiscard]] bool hasSDKCoreLoadedAtLeastOnce() const;
    [[nodiscard]] const std::string& URLString() const { return URLString_; }

    // Live View. A second observer for an identifier keeps the first; a
    // removed observer's identifier keeps running until the page untracks
    // it or every instance is cleared.
    void setLiveViewObserver(const std::shared_ptr<DZAdViewLiveViewMonitoring>& observer,
                             std::uint64_t liveViewID);
    void removeLiveViewObserverForLiveViewID(std::uint64_t liveViewID);
    // Forgets every instance; their observers hear of the stop (kind 1).
    void clearAllLiveViewInstances();
    [[nodiscard]] bool isLiveViewRunning() const;
    // DZLiveViewDMSGHandlerDelegate.
    void liveViewDMSGHandlerDidReceiveVisibilityNotification(DZLiveViewDMSGHandler& handler,
                                                             bool visible,
                                                             std::uint64_t liveViewID) override;
    void liveViewDMSGHandlerDidReceiveUntrackNotification(DZLiveViewDMSGHandler& handler,
                                                          std::uint64_t liveViewID) override;

    // DZAdViewDelegateProtocol.
    bool shouldStartLoadWithRequest(DZAdView& adView, const core::URLRequest& request,
                                    long navigationType) override;
    void adViewDidFinishLoad(DZAdView& adView) override;
    void didFailLoadWithError(DZAdView& adView, const Error& error) override;
    // The page went with its web process: it counts as a failed load, so
    // the next request loads it anew.
    void adViewWebProcessDidTerminate(DZAdView& adView) override;

    [[nodiscard]] const std::shared_ptr<DZAdView>& adView() const { return adView_; }
    [[nodiscard]] const std::shared_ptr<DZAdViewDelegate>& adViewDelegate() const {
        return adViewDelegate_;
    }
    [[nodiscard]] const std::shared_ptr<DZCSI>& CSI() const { return CSI_; }
    [[nodiscard]] const std::shared_ptr<DZSDKCoreDMSGHandler>& SDKCoreDMSGHandler() const {
        return SDKCoreDMSGHandler_;
    }
    void setSDKCoreDMSGHandler(std::shared_ptr<DZSDKCoreDMSGHandler> handler) {
        SDKCoreDMSGHandler_ = std::move(handler);
    }
    [[nodiscard]] const std::shared_ptr<DZLiveViewDMSGHandler>& liveViewDMSGHandler() const {
        return liveViewDMSGHandler_;
    }

private:
    struct Token {};

public:
    DZSDKCoreWebView(Token, std::string URLString);

private:
    void setState(State state);
    void endLoad(bool loaded);
    // Lock queue: a new load's number, and its deadline on the main queue.
    std::uint64_t beginLoadLocked();
    void loadDidTimeOut(std::uint64_t load);

    const std::string URLString_;
    const std::shared_ptr<core::Queue> lockQueue_;
    // Where the page's messages are taken apart (see shouldStartLoad...).
    const std::shared_ptr<core::Queue> messageQueue_;
    // A message of the page (a navigation decided), as its URL's text:
    // handled while the page is loaded.
    void takeMessage(std::string url, long navigationType);
    void routeMessage(const core::URL& url,
                      const std::shared_ptr<const DZNotification>& notification,
                      long navigationType);
    std::shared_ptr<DZAdView> adView_;
    std::shared_ptr<DZAdViewDelegate> adViewDelegate_;
    std::shared_ptr<DZCSI> CSI_;
    std::shared_ptr<DZSDKCoreDMSGHandler> SDKCoreDMSGHandler_;
    std::shared_ptr<DZLiveViewDMSGHandler> liveViewDMSGHandler_;
    // Lock queue only.
    State state_ = kNotLoaded;
    bool hasSDKCoreLoadedAtLeastOnce_ = false;
    std::deque<std::string> pendingJSCommands_;
    double loadTimeout_ = kDefaultLoadTimeout;
    // The load under way (numbered from 1) and when it began.
    std::uint64_t load_ = 0;
    double loadStarted_ = 0;
    std::vector<std::shared_ptr<DZSDKCoreWebViewNotification>> observers_;
    std::map<std::uint64_t, std::weak_ptr<DZAdViewLiveViewMonitoring>> liveViewObservers_;
    std::set<std::uint64_t> runningLiveViewObserverIdentifiers_;
};

}  // namespace ads
