#include "ads/core/sdkcore/DZSDKCoreController.h"

#include <atomic>
#include <algorithm>
#include <charconv>

#include "ads/core/request/DZRequest.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandler.h"
#include "ads/web/view/DZJavaScriptMessageCall.h"
#include "core/Console.h"
#include "core/Random.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

std::string call(std::string_view function, std::string_view json) {
    return std::string(function) + "(" + std::string(json) + ");";
}

// Picks the kind of the core web views: the experiment arm gets "wk".
std::optional<std::string> drawWebViewKind(DZWebViewConfiguration& configuration) {
    configuration.setWebViewClassKey("ui");
    const auto defaults = core::UserDefaults::standard();
    const double fraction =
        DZNumericValue(defaults->objectForKey(DZSDKCoreController::kWebViewExperimentFractionKey))
            .value_or(0);
    const auto random = core::Random::current();
    // A fraction of 0 takes no process into the experiment, 1 every one.
    if (static_cast<double>(random->uniformInt(0, 999)) >= fraction * 1000) return std::nullopt;
    if (random->uniformInt(0, 1) == 1) {
        configuration.setWebViewClassKey("wk");
        return defaults->stringForKey(DZSDKCoreController::kWebViewExperimentExperimentKey);
    }
    return defaults->stringForKey(DZSDKCoreController::kWebViewExperimentControlKey);
}

}  // namespace

namespace {
std::atomic<bool> sharedInstanceCreated{false};
}  // namespace

std::shared_ptr<DZSDKCoreController> DZSDKCoreController::sharedInstance() {
    static const auto* const shared = new std::shared_ptr<DZSDKCoreController>(create());
    sharedInstanceCreated = true;
    return *shared;
}

std::shared_ptr<DZSDKCoreController> DZSDKCoreController::sharedInstanceIfCreated() {
    return sharedInstanceCreated ? sharedInstance() : nullptr;
}

std::shared_ptr<DZSDKCoreController> DZSDKCoreController::create(WebViewMaker maker) {
    auto controller = std::make_shared<DZSDKCoreController>(Token{});
    controller->makeWebView_ =
        maker ? std::move(maker) : [](const DZWebViewConfiguration& configuration) {
            return DZSDKCoreWebView::create(configuration);
        };
    // Without a web view now, the first command tries again.
    if (auto webView = controller->makeWebView_(controller->webViewConfiguration_)) {
        webView->SDKCoreDMSGHandler()->setDelegate(controller);
        controller->activeSDKCoreWebView_ = std::move(webView);
    }
    return controller;
}

std::shared_ptr<DZSDKCoreWebView> DZSDKCoreController::activeSDKCoreWebView() const {
    const std::lock_guard lock(webViewMutex_);
    return activeSDKCoreWebView_;
}

void DZSDKCoreController::setSDKCoreWebViewLoadTimeout(double seconds) {
    std::shared_ptr<DZSDKCoreWebView> active;
    {
        const std::lock_guard lock(webViewMutex_);
        webViewLoadTimeout_ = seconds;
        active = activeSDKCoreWebView_;
    }
    if (active) active->setLoadTimeout(seconds);
}

void DZSDKCoreController::adoptWebView(const std::shared_ptr<DZSDKCoreWebView>& webView) {
    std::optional<double> timeout;
    {
        const std::lock_guard lock(webViewMutex_);
        timeout = webViewLoadTimeout_;
    }
    if (webView && timeout) webView->setLoadTimeout(*timeout);
}

void DZSDKCoreController::makeActiveWebView() {
    if (!activeSDKCoreWebView()) {
        auto webView = makeWebView_(webViewConfiguration_);
        if (!webView) {
            lockQueue_->async([self = shared_from_this()] { self->failEverythingWaiting(); });
            return;
        }
        adoptWebView(webView);
        webView->SDKCoreDMSGHandler()->setDelegate(shared_from_this());
        const std::lock_guard lock(webViewMutex_);
        activeSDKCoreWebView_ = std::move(webView);
    }
    attemptToRefreshActiveWebViewSDKCore();
}

void DZSDKCoreController::failEverythingWaiting() {
    auto requesters = std::move(pendingActiveWebViewLoadDelegates_);
    pendingActiveWebViewLoadDelegates_.clear();
    failRequesters(requesters);
    auto builders = std::move(pendingJavaScriptBlocks_);
    pendingJavaScriptBlocks_.clear();
    auto completions = std::move(pendingJavaScriptBlockExecutionCompletionHandlers_);
    pendingJavaScriptBlockExecutionCompletionHandlers_.clear();
    for (auto& [key, completion] : completions)
        core::Queue::main()->async([completion = std::move(completion)] {
            completion(core::Dictionary(),
                       DZErrorWithCodeDescription(kDZErrorInternalError,
                                                  "The SDK core page could not be made."));
        });
}

DZSDKCoreController::DZSDKCoreController(Token)
    : lockQueue_(core::Queue::serial("com.dozuza.vuraz.sdk-core-controller")),
      experimentID_(drawWebViewKind(webViewConfiguration_)) {}

DZSDKCoreController::~DZSDKCoreController() = default;

std::optional<std::uint64_t> DZSDKCoreController::requestKey(std::string_view text) {
    std::uint64_t key = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), key);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return key;
}

std::string DZSDKCoreController::nextRequestID() {
    return std::to_string(requestID_++);
}

// Commands.

void DZSDKCoreController::executeJavaScriptFromBlockWhenReady(ScriptBuilder builder,
                                                              Completion completion) {
    lockQueue_->async([self = shared_from_this(), builder = std::move(builder),
                       completion = std::move(completion)]() mutable {
        const std::string id = self->nextRequestID();
        const std::uint64_t key = *requestKey(id);
        self->pendingJavaScriptBlocks_[key] = std::move(builder);
        if (completion)
            self->pendingJavaScriptBlockExecutionCompletionHandlers_[key] = std::move(completion);
    });
    attemptToRefreshActiveWebViewSDKCore();
}

void DZSDKCoreController::executeExportedJavaScriptCommand(std::string function,
                                                           std::optional<core::Value> parameters,
                                                           Completion completion) {
    const bool answered = static_cast<bool>(completion);
    executeJavaScriptFromBlockWhenReady(
        [function = std::move(function), parameters = std::move(parameters),
         answered](const std::string& id) -> std::optional<std::string> {
            core::Dictionary argument;
            if (parameters) argument.set("args", *parameters);
            if (answered) argument.set("request_id", id);
            const auto json = dz_JSONStringPretty(argument, false, nullptr);
            if (!json) return std::nullopt;
            return function + "(" + *json + ")";
        },
        std::move(completion));
}

void DZSDKCoreController::postJavaScriptNotification(std::string name,
                                                     std::optional<core::Dictionary> userInfo) {
    std::optional<core::Value> argument;
    if (userInfo) argument = core::Value(std::move(*userInfo));
    executeJavaScriptFromBlockWhenReady(
        [script = DZJavaScriptMessageCall(name, argument)](const std::string&) { return script; },
        nullptr);
}

void DZSDKCoreController::executePendingJavaScriptBlocks() {
    const auto webView = activeSDKCoreWebView();
    if (!webView) return;
    auto blocks = std::move(pendingJavaScriptBlocks_);
    pendingJavaScriptBlocks_.clear();
    for (auto& [key, builder] : blocks) {
        const std::string id = std::to_string(key);
        const auto script = builder ? builder(id) : std::nullopt;
        Completion completion;
        if (const auto found = pendingJavaScriptBlockExecutionCompletionHandlers_.find(key);
            found != pendingJavaScriptBlockExecutionCompletionHandlers_.end()) {
            completion = std::move(found->second);
            pendingJavaScriptBlockExecutionCompletionHandlers_.erase(found);
        }
        if (!script) {
            if (completion)
                completion(core::Dictionary(),
                           DZErrorWithCodeDescription(kDZErrorInternalError,
                                                      "Empty or invalid JavaScript command "
                                                      "returned."));
            continue;
        }
        webView->enqueueJavaScriptCommand(*script);
        if (!completion) continue;
        pendingJavaScriptCompletionHandlers_[key] = std::move(completion);
        lockQueue_->after(
            SDKCoreJavaScriptCompletionBlockTimeoutInterval_,
            [weakSelf = weak_from_this(), key = key] {
                const auto self = weakSelf.lock();
                if (!self) return;
                const auto found = self->pendingJavaScriptCompletionHandlers_.find(key);
                if (found == self->pendingJavaScriptCompletionHandlers_.end()) return;
                core::Queue::main()->async([completion = std::move(found->second)] {
                    completion(core::Dictionary(),
                               DZErrorWithCodeDescription(kDZErrorTimeout,
                                                          "Completion block execution timed out."));
                });
                self->pendingJavaScriptCompletionHandlers_.erase(found);
            });
    }
}

void DZSDKCoreController::didReceiveResultActionWithRequestID(DZSDKCoreDMSGHandler&,
                                                              const std::string& requestID,
                                                              const core::Dictionary& arguments) {
    const auto key = requestKey(requestID);
    if (!key) return;
    Completion completion;
    lockQueue_->sync([&] {
        const auto found = pendingJavaScriptCompletionHandlers_.find(*key);
        if (found == pendingJavaScriptCompletionHandlers_.end()) return;
        completion = std::move(found->second);
        pendingJavaScriptCompletionHandlers_.erase(found);
    });
    if (!completion) return;
    core::Value result;
    std::optional<Error> error;
    if (const core::Value* text = arguments.find("result"); text && text->isString()) {
        Error decodeError;
        if (auto decoded = dz_decodedJSONObjectError(*text->string(), &decodeError)) {
            result = std::move(*decoded);
        } else {
            error = decodeError;
        }
    }
    if (const auto fail = DZNumericValue(arguments["fail"]); fail && *fail >= 1)
        error = DZErrorWithCodeDescription(
            kDZErrorInternalError,
            arguments["fail_reason"].isString() ? *arguments["fail_reason"].string() : "");
    completion(result, error);
}

// Load policy.

void DZSDKCoreController::attemptToRefreshActiveWebViewSDKCore() {
    lockQueue_->async([self = shared_from_this()] {
        const bool stale =
            DZMonotonicMilliseconds() - self->lastWebViewRefreshTimestamp_ > kStaleMilliseconds;
        const bool paused = self->refreshPaused_;
        core::Queue::global()->async([self, stale, paused] {
            const auto webView = self->activeSDKCoreWebView();
            if (!webView) {
                core::Queue::main()->async([self] { self->makeActiveWebView(); });
                return;
            }
            const auto state = webView->state();
            if (state == DZSDKCoreWebView::kNotLoaded || state == DZSDKCoreWebView::kFailed ||
                (stale && !paused)) {
                self->refreshActiveWebViewSDKCore();
            } else {
                self->observeSDKCoreWebViewForSDKCoreLoadRequestCompleted();
            }
        });
    });
}

void DZSDKCoreController::observeSDKCoreWebViewForSDKCoreLoadRequestCompleted() {
    if (const auto webView = activeSDKCoreWebView())
        webView->addObserverForOneTimeNotification(shared_from_this());
}

void DZSDKCoreController::refreshActiveWebViewSDKCore() {
    const auto webView = activeSDKCoreWebView();
    if (!webView) {
        // The policy makes one first, or fails what waits.
        attemptToRefreshActiveWebViewSDKCore();
        return;
    }
    webView->refreshSDKCoreAndNotifyObserver(shared_from_this());
    lockQueue_->async([self = shared_from_this()] {
        self->SDKCoreUpdateHandled_ = false;
        self->lastWebViewRefreshTimestamp_ = DZMonotonicMilliseconds();
        auto completions = std::move(self->pendingJavaScriptCompletionHandlers_);
        self->pendingJavaScriptCompletionHandlers_.clear();
        for (auto& [key, completion] : completions)
            core::Queue::main()->async([completion = std::move(completion)] {
                completion(core::Dictionary(),
                           DZErrorWithCodeDescription(
                               kDZErrorInternalError,
                               "SDKCore refreshed. All pending blocks are cancelled."));
            });
        // The reloaded page knows nothing of the ad URL requests sent to
        // the old one.
        RequesterList sent;
        for (auto& [key, requester] : self->pendingBuildAdURLDelegates_)
            sent.push_back(std::move(requester));
        self->pendingBuildAdURLDelegates_.clear();
        failRequesters(sent);
    });
}

void DZSDKCoreController::didFinishLoadingSDKCoreInSDKCoreWebView(DZSDKCoreWebView&) {
    lockQueue_->async([self = shared_from_this()] {
        const auto webView = self->activeSDKCoreWebView();
        if (!webView) return;
        self->handleSDKCoreUpdate();
        const auto state = webView->state();
        if (state == DZSDKCoreWebView::kLoaded) {
            self->reloadingForWaitingRequests_ = false;
            auto waiting = std::move(self->pendingActiveWebViewLoadDelegates_);
            self->pendingActiveWebViewLoadDelegates_.clear();
            for (const auto& requester : waiting)
                self->asynchronouslyRequestURLForDelegate(requester);
            self->executePendingJavaScriptBlocks();
        } else if (state == DZSDKCoreWebView::kFailed) {
            if (!self->pendingActiveWebViewLoadDelegates_.empty() &&
                !self->reloadingForWaitingRequests_) {
                // A load can fail for the moment only: the engine losing it,
                // a web process slow to start on a busy machine, a process
                // that ended. What waits for it gets one more load.
                self->reloadingForWaitingRequests_ = true;
                core::Console::log("SDK core page: the load failed; loading it once more for the "
                                   "requests waiting");
                // The reload registers for its end itself; registering now
                // would hear of this failed load at once.
                core::Queue::global()->async([self] { self->refreshActiveWebViewSDKCore(); });
                return;
            }
            self->reloadingForWaitingRequests_ = false;
            auto waiting = std::move(self->pendingActiveWebViewLoadDelegates_);
            self->pendingActiveWebViewLoadDelegates_.clear();
            failRequesters(waiting);
        }
        if (!webView->hasSDKCoreLoadedAtLeastOnce()) self->lastWebViewRefreshTimestamp_ = 0;
        if (!self->pendingActiveWebViewLoadDelegates_.empty())
            self->observeSDKCoreWebViewForSDKCoreLoadRequestCompleted();
    });
}

void DZSDKCoreController::failRequesters(const RequesterList& requesters) {
    for (const auto& requester : requesters)
        core::Queue::main()->async(
            [weakRequester = std::weak_ptr<DZSDKCoreControllerDelegate>(requester)] {
                if (const auto requester = weakRequester.lock()) requester->failedJavaScriptFile();
            });
}

void DZSDKCoreController::handleSDKCoreUpdate() {
    const auto webView = activeSDKCoreWebView();
    if (SDKCoreUpdateHandled_ || !webView || webView->state() != DZSDKCoreWebView::kLoaded) return;
    const auto defaults = core::UserDefaults::standard();
    if (auto saved = defaults->dictionaryForKey(DZSDKCoreDMSGHandler::kSavedStateKey)) {
        saved->set("is_refresh", hasReportedSDKCoreStateAtLeastOnce_ ? 1 : 0);
        hasReportedSDKCoreStateAtLeastOnce_ = true;
        if (const auto json = dz_JSONStringPretty(dz_JSONSafeDictionary(*saved), false, nullptr))
            webView->enqueueJavaScriptCommand(call("DUZO_reloadSavedState", *json));
    }
    auto json = adRequestParameterJSONFromParameters(DZRequest::request()->threadSafeParameters());
    if (!json)
        json =
            dz_JSONStringPretty(core::Dictionary{{"js", DZRequest::sdkVersion()}}, false, nullptr);
    webView->enqueueJavaScriptCommand(call("DUZO_getSdkConstants", json.value_or("")));
}

void DZSDKCoreController::SDKCoreDMSGHandlerDidReceivePauseSDKCoreRefreshAction(
    DZSDKCoreDMSGHandler&) {
    lockQueue_->sync([&] { refreshPaused_ = true; });
}

void DZSDKCoreController::SDKCoreDMSGHandlerDidReceiveResumeSDKCoreRefreshAction(
    DZSDKCoreDMSGHandler&) {
    lockQueue_->sync([&] { refreshPaused_ = false; });
    attemptToRefreshActiveWebViewSDKCore();
}

void DZSDKCoreController::SDKCoreDMSGHandlerDidReceiveSDKCoreUpdateNotification(
    DZSDKCoreDMSGHandler&) {
    lockQueue_->async([self = shared_from_this()] { self->liveViewRequestedSDKCoreReload_ = true; });
}

// Live View web views.

std::shared_ptr<DZSDKCoreWebView> DZSDKCoreController::SDKCoreWebViewForLiveViewProcessing() {
    removeFinishedLiveViewWebViews();
    std::shared_ptr<DZSDKCoreWebView> shared;
    bool ownWebView = false;
    lockQueue_->sync([&] {
        ownWebView = useNewWebViewsForLiveViewProcessing_;
        if (ownWebView) return;
        if (!liveViewRequestedSDKCoreReload_) shared = liveViewSDKCoreWebView_;
        liveViewRequestedSDKCoreReload_ = false;
    });
    if (shared) return shared;
    // Views are made on the main thread, never on the lock queue.
    auto webView = DZSDKCoreWebView::create(webViewConfiguration_);
    if (!webView) return nullptr;
    adoptWebView(webView);
    if (!ownWebView) lockQueue_->sync([&] { liveViewSDKCoreWebView_ = webView; });
    webView->refreshSDKCoreAndNotifyObserver(nullptr);
    return webView;
}

void DZSDKCoreController::finishedUsingSDKCoreWebViewForLiveViewProcessing(
    const std::shared_ptr<DZSDKCoreWebView>& webView) {
    if (webView && webView->isLiveViewRunning()) cacheRunningLiveViewWebView(webView);
}

void DZSDKCoreController::cacheRunningLiveViewWebView(
    const std::shared_ptr<DZSDKCoreWebView>& webView) {
    if (!webView) return;
    lockQueue_->async([self = shared_from_this(), webView] {
        auto& cached = self->liveViewSDKCoreWebViews_;
        if (std::find(cached.begin(), cached.end(), webView) == cached.end())
            cached.push_back(webView);
    });
    removeFinishedLiveViewWebViews();
}

void DZSDKCoreController::removeFinishedLiveViewWebViews() {
    std::vector<std::shared_ptr<DZSDKCoreWebView>> removed;
    lockQueue_->sync([&] {
        std::vector<std::shared_ptr<DZSDKCoreWebView>> kept;
        auto& cached = liveViewSDKCoreWebViews_;
        for (auto webView = cached.rbegin(); webView != cached.rend(); ++webView) {
            if (kept.size() < liveViewUnloadCacheMaxSize_ && (*webView)->isLiveViewRunning()) {
                kept.push_back(*webView);
            } else {
                removed.push_back(*webView);
            }
        }
        cached.assign(kept.rbegin(), kept.rend());
    });
    for (const auto& webView : removed) {
        webView->clearAllLiveViewInstances();
        finishedUsingSDKCoreWebViewForLiveViewProcessing(webView);
    }
}

std::vector<std::shared_ptr<DZSDKCoreWebView>> DZSDKCoreController::liveViewSDKCoreWebViews() const {
    std::vector<std::shared_ptr<DZSDKCoreWebView>> cached;
    lockQueue_->sync([&] { cached = liveViewSDKCoreWebViews_; });
    return cached;
}

bool DZSDKCoreController::liveViewRequestedSDKCoreReload() const {
    bool requested = false;
    lockQueue_->sync([&] { requested = liveViewRequestedSDKCoreReload_; });
    return requested;
}

// Fields.

double DZSDKCoreController::liveViewSamplingInterval() const {
    double value = 0;
    lockQueue_->sync([&] { value = liveViewSamplingInterval_; });
    return value;
}

double DZSDKCoreController::SDKCoreJavaScriptCompletionBlockTimeoutInterval() const {
    double value = 0;
    lockQueue_->sync([&] { value = SDKCoreJavaScriptCompletionBlockTimeoutInterval_; });
    return value;
}

std::uint64_t DZSDKCoreController::liveViewUnloadCacheMaxSize() const {
    std::uint64_t value = 0;
    lockQueue_->sync([&] { value = liveViewUnloadCacheMaxSize_; });
    return value;
}

bool DZSDKCoreController::useNewWebViewsForLiveViewProcessing() const {
    bool value = false;
    lockQueue_->sync([&] { value = useNewWebViewsForLiveViewProcessing_; });
    return value;
}

bool DZSDKCoreController::refreshPaused() const {
    bool value = false;
    lockQueue_->sync([&] { value = refreshPaused_; });
    return value;
}

bool DZSDKCoreController::SDKCoreUpdateHandled() const {
    bool value = false;
    lockQueue_->sync([&] { value = SDKCoreUpdateHandled_; });
    return value;
}

}  // namespace ads
