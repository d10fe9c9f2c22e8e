#pragma once
// The process-wide owner of the SDK core page. It turns script requests into
// numbered commands ("1", "2", ... shared by every kind of command and ad URL
// request), keeps each completion until the page answers under the same
// identifier or the answer time limit passes on the clock, (re)loads the
// page on demand (never loaded, failed, or an hour stale unless the page
// paused that), replays the page's saved state and asks for the server
// constants after each load, builds ad URLs through the page, and stores
// the constants the page sends.
//
// A core web view that cannot be made is a page that failed for good:
// waiting ad URL requests hear failedJavaScriptFile and waiting commands
// their failure, on the main queue; the next command or request tries to
// make the web view again (on the main thread, where web views are made).
// It also lends core web views for Live View (SDKCoreWebViewForLiveView-
// Processing): one shared web view by default, a new one after the page
// asked for a reload ("requestReload"), or a new one for every borrower
// with "use_new_web_views_for_live_view". Returned web views whose page
// still runs Live View instances are cached, newest kept, at most
// "live_view_unload_cache_size" of them; the others are cleared (their
// observers hear of the stop) and let go.
//
// Threading: every table, counter and flag lives on the serial queue
// "com.dozuza.vuraz.sdk-core-controller"; entry points return at once.
// Completions run on the main queue, except the empty-command error, which
// runs on the lock queue. Script builders run on the lock queue and must not
// call back into the controller synchronously.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ads/core/request/DZError.h"
#include "ads/core/sdkcore/DZSDKCoreControllerDelegate.h"
#include "ads/core/sdkcore/DZSDKCoreWebViewNotification.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandlerDelegate.h"
#include "ads/web/view/DZWebViewConfiguration.h"
#include "core/Queue.h"
#include "core/Value.h"

namespace ads {

class DZSDKCoreWebView;

class DZSDKCoreController : public DZSDKCoreWebViewNotification,
                            public DZSDKCoreDMSGHandlerDelegate,
                            public std::enable_shared_from_this<DZSDKCoreController> {
public:
    // Gets the request identifier; nullopt sends nothing.
    using ScriptBuilder = std::function<std::optional<std::string>(const std::string& requestID)>;
    // The page's decoded answer (null without one) and the error.
    using Completion =
        std::function<void(const core::Value& result, const std::optional<Error>& error)>;

    static constexpr const char* kDidUpdateConstantsNotification = "DZSDKCoreDidUpdateConstants";
    static constexpr std::string_view kConstantPrefix = "/dozuza/ads/";
    static constexpr std::string_view kExperimentIDStringKey = "/dozuza/ads/experiment_id_string";
    static constexpr std::string_view kWebViewExperimentFractionKey =
        "/dozuza/ads/dzads:sdk_core_wv_experiment:fraction";
    static constexpr std::string_view kWebViewExperimentControlKey =
        "/dozuza/ads/dzads:sdk_core_wv_experiment:control";
    static constexpr std::string_view kWebViewExperimentExperimentKey =
        "/dozuza/ads/dzads:sdk_core_wv_experiment:experiment";
    static constexpr std::uint64_t kStaleMilliseconds = 3'600'000;
    static constexpr double kDefaultCompletionTimeout = 10.0;
    static constexpr double kDefaultLiveViewSamplingInterval = 0.4;
    static constexpr std::uint64_t kDefaultLiveViewUnloadCacheSize = 3;

    // Makes the core web view; nullptr when none can be made.
    using WebViewMaker =
        std::function<std::shared_ptr<DZSDKCoreWebView>(const DZWebViewConfiguration&)>;

    [[nodiscard]] static std::shared_ptr<DZSDKCoreController> sharedInstance();

    // The shared controller when something has made it already, else
    // nullptr: for readers of its settings that must not start the page.
    [[nodiscard]] static std::shared_ptr<DZSDKCoreController> sharedInstanceIfCreated();
    // A controller of its own, with a page of its own (tests, benchmarks);
    // its web views come from maker (DZSDKCoreWebView::create when none is
    // given). Main thread.
    [[nodiscard]] static std::shared_ptr<DZSDKCoreController> create(WebViewMaker maker = {});
    ~DZSDKCoreController() override;

    // Commands.
    void executeJavaScriptFromBlockWhenReady(ScriptBuilder builder, Completion completion);
    // "<function>(<JSON>)" with {"args": parameters} and, when a completion
    // is given, "request_id".
    void executeExportedJavaScriptCommand(std::string function,
                                          std::optional<core::Value> parameters,
                                          Completion completion);
    void postJavaScriptNotification(std::string name, std::optional<core::Dictionary> userInfo);

    // Load policy.
    void attemptToRefreshActiveWebViewSDKCore();
    void refreshActiveWebViewSDKCore();

    // Live View web views. Main thread: a web view is made there.
    [[nodiscard]] std::shared_ptr<DZSDKCoreWebView> SDKCoreWebViewForLiveViewProcessing();
    void finishedUsingSDKCoreWebViewForLiveViewProcessing(
        const std::shared_ptr<DZSDKCoreWebView>& webView);
    void cacheRunningLiveViewWebView(const std::shared_ptr<DZSDKCoreWebView>& webView);
    void removeFinishedLiveViewWebViews();
    // Oldest first.
    [[nodiscard]] std::vector<std::shared_ptr<DZSDKCoreWebView>> liveViewSDKCoreWebViews() const;
    [[nodiscard]] bool liveViewRequestedSDKCoreReload() const;

    // Ad URLs.
    void buildAdURL(std::shared_ptr<DZSDKCoreControllerDelegate> requester);
    [[nodiscard]] static std::optional<std::string>
    adRequestParameterJSONFromParameters(const std::optional<core::Dictionary>& parameters);

    // DZSDKCoreWebViewNotification.
    void didFinishLoadingSDKCoreInSDKCoreWebView(DZSDKCoreWebView& webView) override;
    // DZSDKCoreDMSGHandlerDelegate.
    void loadAdURLWithRequestID(DZSDKCoreDMSGHandler& handler,
                                const std::optional<std::string>& requestID,
                                const core::Dictionary& parameters) override;
    void loadAdWithRequestID(DZSDKCoreDMSGHandler& handler,
                             const std::optional<std::string>& requestID,
                             const core::Dictionary& fetchedAd) override;
    void didReceiveInvalidAdWithRequestID(DZSDKCoreDMSGHandler& handler,
                                          const std::optional<std::string>& requestID,
                                          const core::Dictionary& parameters) override;
    void didLoadSDKConstants(DZSDKCoreDMSGHandler& handler,
                             const core::Dictionary& constants) override;
    void
    SDKCoreDMSGHandlerDidReceiveSDKCoreUpdateNotification(DZSDKCoreDMSGHandler& handler) override;
    void didReceiveResultActionWithRequestID(DZSDKCoreDMSGHandler& handler,
                                             const std::string& requestID,
                                             const core::Dictionary& arguments) override;
    void
    SDKCoreDMSGHandlerDidReceivePauseSDKCoreRefreshAction(DZSDKCoreDMSGHandler& handler) override;
    void
    SDKCoreDMSGHandlerDidReceiveResumeSDKCoreRefreshAction(DZSDKCoreDMSGHandler& handler) override;

    // Fields (synchronous reads on the lock queue).
    [[nodiscard]] double liveViewSamplingInterval() const;
    [[nodiscard]] double SDKCoreJavaScriptCompletionBlockTimeoutInterval() const;
    [[nodiscard]] std::uint64_t liveViewUnloadCacheMaxSize() const;
    [[nodiscard]] bool useNewWebViewsForLiveViewProcessing() const;
    [[nodiscard]] bool refreshPaused() const;
    [[nodiscard]] bool SDKCoreUpdateHandled() const;
    [[nodiscard]] const std::optional<std::string>& SDKCoreWebViewExperimentID() const {
        return experimentID_;
    }
    [[nodiscard]] const DZWebViewConfiguration& webViewConfiguration() const {
        return webViewConfiguration_;
    }
    // nullptr while no web view could be made.
    [[nodiscard]] std::shared_ptr<DZSDKCoreWebView> activeSDKCoreWebView() const;
    // The load deadline of the active core page and of every core page
    // made from now on (DZSDKCoreWebView::kDefaultLoadTimeout until set).
    void setSDKCoreWebViewLoadTimeout(double seconds);

private:
    struct Token {};

public:
    explicit DZSDKCoreController(Token);

private:
    using RequesterList = std::vector<std::shared_ptr<DZSDKCoreControllerDelegate>>;

    // The counter value of an identifier text; nullopt for other texts.
    [[nodiscard]] static std::optional<std::uint64_t> requestKey(std::string_view text);

    // Lock queue only.
    [[nodiscard]] std::string nextRequestID();
    // Takes the requester sent under key out of the table; nullptr when
    // there is none (never sent, answered, timed out or refreshed away).
    [[nodiscard]] std::shared_ptr<DZSDKCoreControllerDelegate>
    takeBuildAdURLDelegate(std::uint64_t key);
    void executePendingJavaScriptBlocks();
    void handleSDKCoreUpdate();
    void asynchronouslyRequestURLForDelegate(
        const std::shared_ptr<DZSDKCoreControllerDelegate>& requester);
    void observeSDKCoreWebViewForSDKCoreLoadRequestCompleted();
    // Calls each requester's failedJavaScriptFile on the main queue, if it
    // is still there by then.
    static void failRequesters(const RequesterList& requesters);
    // Main thread: makes the active web view if there is none, and goes on
    // with the load policy; when none can be made, fails what waits.
    void makeActiveWebView();
    // Lock queue: the page failed for good; every waiting ad URL request
    // and command is failed.
    void failEverythingWaiting();
    void applyConstants(const core::Dictionary& constants);
    void storeExperimentIDs(const core::Dictionary& constants);

    const std::shared_ptr<core::Queue> lockQueue_;
    DZWebViewConfiguration webViewConfiguration_;
    std::optional<std::string> experimentID_;
    WebViewMaker makeWebView_;
    // Set on the main thread, read anywhere.
    mutable std::mutex webViewMutex_;
    std::shared_ptr<DZSDKCoreWebView> activeSDKCoreWebView_;
    std::optional<double> webViewLoadTimeout_;  // under webViewMutex_
    // A page just made, with the load deadline set.
    void adoptWebView(const std::shared_ptr<DZSDKCoreWebView>& webView);

    RequesterList pendingActiveWebViewLoadDelegates_;
    // Set while the page loads once more for the requests its failed load
    // kept waiting; they fail only when that load fails too.
    bool reloadingForWaitingRequests_ = false;
    std::vector<std::shared_ptr<DZSDKCoreWebView>> liveViewSDKCoreWebViews_;
    bool liveViewRequestedSDKCoreReload_ = false;
    std::shared_ptr<DZSDKCoreWebView> liveViewSDKCoreWebView_;
    std::uint64_t lastWebViewRefreshTimestamp_ = 0;
    std::uint64_t requestID_ = 1;
    std::uint64_t liveViewUnloadCacheMaxSize_ = kDefaultLiveViewUnloadCacheSize;
    bool useNewWebViewsForLiveViewProcessing_ = false;
    double liveViewSamplingInterval_ = kDefaultLiveViewSamplingInterval;
    bool SDKCoreUpdateHandled_ = false;
    std::map<std::uint64_t, ScriptBuilder> pendingJavaScriptBlocks_;
    std::map<std::uint64_t, Completion> pendingJavaScriptBlockExecutionCompletionHandlers_;
    std::map<std::uint64_t, Completion> pendingJavaScriptCompletionHandlers_;
    std::map<std::uint64_t, std::shared_ptr<DZSDKCoreControllerDelegate>>
        pendingBuildAdURLDelegates_;
    double SDKCoreJavaScriptCompletionBlockTimeoutInterval_ = kDefaultCompletionTimeout;
    bool hasReportedSDKCoreStateAtLeastOnce_ = false;
    bool refreshPaused_ = false;
};

}  // namespace ads
