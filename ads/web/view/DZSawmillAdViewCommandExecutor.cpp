#include "ads/web/view/DZSawmillAdViewCommandExecutor.h"

#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZSawmill.h"
#include "ads/foundation/DZURLUtilities.h"
#include "ads/web/view/DZAdView.h"
#include "core/RunLoop.h"

namespace ads {

std::shared_ptr<DZSawmillAdViewCommandExecutor>
DZSawmillAdViewCommandExecutor::create(const std::string& script,
                                       const std::optional<core::URL>& baseURL) {
    if (script.empty()) return nullptr;
    if (!DZIsAllowedHTMLBaseURL(baseURL)) {
        DZLogWithLevel(2, "Sawmill: refused the base URL %@ for the script's page.",
                       baseURL->absoluteString());
        return nullptr;
    }
    auto adView = DZAdView::create(gfx::Rect());
    if (!adView) return nullptr;
    std::shared_ptr<DZSawmillAdViewCommandExecutor> executor(
        new DZSawmillAdViewCommandExecutor(adView));
    adView->setDelegate(executor);
    core::Queue::main()->async(
        [weak = std::weak_ptr(executor), page = pageForScript(script), baseURL] {
            if (const auto self = weak.lock()) self->load(page, baseURL);
        });
    return executor;
}

DZSawmillAdViewCommandExecutor::DZSawmillAdViewCommandExecutor(std::shared_ptr<DZAdView> adView)
    : adView_(std::move(adView)), lockQueue_(core::Queue::serial(std::string(kLockQueueLabel))) {}

DZSawmillAdViewCommandExecutor::~DZSawmillAdViewCommandExecutor() {
    if (!adView_) return;
    if (core::RunLoop::isMainThread()) {
        adView_->setDelegate({});
        return;
    }
    // The view is the main thread's: it loses its delegate and goes there.
    core::Queue::main()->async([adView = std::move(adView_)] { adView->setDelegate({}); });
}

void DZSawmillAdViewCommandExecutor::load(std::string page, std::optional<core::URL> baseURL) {
    adView_->loadHTMLString(std::move(page), baseURL);
}

bool DZSawmillAdViewCommandExecutor::isLoaded() const {
    bool loaded = false;
    lockQueue_->sync([&] { loaded = loaded_; });
    return loaded;
}

bool DZSawmillAdViewCommandExecutor::hasFailedToLoad() const {
    bool failed = false;
    lockQueue_->sync([&] { failed = failed_; });
    return failed;
}

void DZSawmillAdViewCommandExecutor::asynchronouslyExecuteCommands(core::Array commands) {
    auto call = callForCommands(commands);
    if (!call) {
        DZLogWithLevel(2, "Sawmill: dropped %@ commands that cannot be written as JSON.",
                       std::to_string(commands.size()));
        return;
    }
    lockQueue_->sync([&] {
        if (failed_) return;
        if (loaded_) {
            runInPage(std::move(*call));
        } else if (waitingCalls_.size() < kMaximumWaitingCalls) {
            waitingCalls_.push_back(std::move(*call));
        }
    });
}

void DZSawmillAdViewCommandExecutor::runInPage(std::string call) {
    core::Queue::main()->async([weak = std::weak_ptr(adView_), call = std::move(call)] {
        if (const auto adView = weak.lock())
            adView->executeJavaScriptAsynchronouslyFromString(call);
    });
}

void DZSawmillAdViewCommandExecutor::adViewDidFinishLoad(DZAdView&) {
    lockQueue_->sync([&] {
        if (failed_ || loaded_) return;
        loaded_ = true;
        // Handed to the main queue before any later array can be.
        for (std::string& call : waitingCalls_) runInPage(std::move(call));
        waitingCalls_.clear();
    });
}

void DZSawmillAdViewCommandExecutor::didFailLoadWithError(DZAdView&, const Error& error) {
    lockQueue_->sync([&] {
        if (loaded_) return;
        failed_ = true;
        waitingCalls_.clear();
    });
    DZLogWithLevel(2, "Sawmill: the script's page failed to load: %@", error.message);
}

std::string DZSawmillAdViewCommandExecutor::pageForScript(std::string_view script) {
    std::string page(kPageTemplate);
    page.replace(page.find(kScriptMarker), kScriptMarker.size(), script);
    return page;
}

std::optional<std::string>
DZSawmillAdViewCommandExecutor::callForCommands(const core::Array& commands) {
    const auto json = dz_JSONStringPretty(dz_JSONSafeArray(commands), false, nullptr);
    if (!json) return std::nullopt;
    return "DUZO_Sawmill(" + *json + ")";
}

void DZRegisterSawmillAdViewCommandExecutor() {
    DZSawmill::setAdViewExecutorMaker(
        [](const std::string& script,
           const std::optional<core::URL>& baseURL) -> std::shared_ptr<DZSawmillCommandExecuting> {
            return DZSawmillAdViewCommandExecutor::create(script, baseURL);
        });
}

}  // namespace ads
