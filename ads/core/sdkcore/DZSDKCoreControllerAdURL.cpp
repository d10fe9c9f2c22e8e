#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAdResponseType.h"
#include "ads/core/response/DZBannerAd.h"
#include "ads/core/response/DZInterstitialAd.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/foundation/DZCSITimeRecorder.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZLogger.h"

namespace ads {

namespace {

constexpr std::string_view kRequestTiming = "rur_ios";
constexpr std::string_view kNetworkTiming = "nwl_ios";

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
        pieces.push_back(text.substr(start, end - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

std::shared_ptr<DZAd> adOfType(std::uint64_t type, core::Dictionary fetchedAd) {
    const core::Value value(std::move(fetchedAd));
    switch (type) {
    case 0:
        return DZAd::initWithDictionary(value);
    case 1:
        return DZBannerAd::initWithDictionary(value);
    case 2:
        return DZInterstitialAd::initWithDictionary(value);
    default:
        return nullptr;
    }
}

}  // namespace

std::shared_ptr<DZSDKCoreControllerDelegate>
DZSDKCoreController::takeBuildAdURLDelegate(std::uint64_t key) {
    const auto found = pendingBuildAdURLDelegates_.find(key);
    if (found == pendingBuildAdURLDelegates_.end()) return nullptr;
    auto requester = std::move(found->second);
    pendingBuildAdURLDelegates_.erase(found);
    return requester;
}

std::optional<std::string> DZSDKCoreController::adRequestParameterJSONFromParameters(
    const std::optional<core::Dictionary>& parameters) {
    if (!parameters) return std::nullopt;
    return dz_JSONStringPretty(dz_JSONSafeDictionary(*parameters), false, nullptr).value_or("");
}

void DZSDKCoreController::buildAdURL(std::shared_ptr<DZSDKCoreControllerDelegate> requester) {
    if (!requester) return;
    if (const auto recorder = requester->adLoadActionTimeRecorder())
        recorder->startTimingVariableWithName(kRequestTiming);
    lockQueue_->async([self = shared_from_this(), requester = std::move(requester)] {
        self->pendingActiveWebViewLoadDelegates_.push_back(requester);
    });
    attemptToRefreshActiveWebViewSDKCore();
}

void DZSDKCoreController::asynchronouslyRequestURLForDelegate(
    const std::shared_ptr<DZSDKCoreControllerDelegate>& requester) {
    const std::string id = nextRequestID();
    const std::uint64_t key = *requestKey(id);
    requester->setRequestID(id);
    core::Queue::main()->async([self = shared_from_this(), requester, key] {
        auto parameters = requester->requestParameters();
        self->lockQueue_->async([self, requester, key, parameters = std::move(parameters)] {
            if (!parameters) return;
            if (const core::Value* eid = parameters->find("eid"); eid && eid->isString())
                if (const auto recorder = requester->adLoadActionTimeRecorder())
                    for (const auto& piece : split(*eid->string(), ','))
                        recorder->addExperimentID(piece);
            const auto json = adRequestParameterJSONFromParameters(parameters);
            const char* function = parameters->contains("dozuza-ad-url-mediation")
                                       ? "DUZO_getAdapterLessMediationAd"
                                       : "DUZO_getAd";
            const auto webView = self->activeSDKCoreWebView();
            if (!webView) {
                failRequesters({requester});
                return;
            }
            self->pendingBuildAdURLDelegates_[key] = requester;
            webView->enqueueJavaScriptCommand(std::string(function) + "(" + json.value_or("") +
                                              ");");
            // An unanswered request ends after the answer time limit.
            self->lockQueue_->after(
                self->SDKCoreJavaScriptCompletionBlockTimeoutInterval_,
                [weakSelf = self->weak_from_this(), key] {
                    const auto self = weakSelf.lock();
                    const auto requester = self ? self->takeBuildAdURLDelegate(key) : nullptr;
                    if (!requester) return;
                    core::Queue::main()->async([sent = std::weak_ptr(requester)] {
                        if (const auto requester = sent.lock())
                            requester->adURLRequestDidTimeOut(DZErrorWithCodeDescription(
                                kDZErrorTimeout, "Ad URL request timed out."));
                    });
                });
        });
    });
}

void DZSDKCoreController::loadAdURLWithRequestID(DZSDKCoreDMSGHandler&,
                                                 const std::optional<std::string>& requestID,
                                                 const core::Dictionary& parameters) {
    const auto key = requestID ? requestKey(*requestID) : std::nullopt;
    if (!key) return;
    lockQueue_->async([self = shared_from_this(), key = *key, parameters] {
        const auto requester = self->takeBuildAdURLDelegate(key);
        if (!requester) return;
        if (const auto recorder = requester->adLoadActionTimeRecorder())
            recorder->endTimingVariableWithName(kRequestTiming);
        core::Queue::main()->async([weakRequester = std::weak_ptr(requester), parameters] {
            const auto requester = weakRequester.lock();
            if (!requester) return;
            if (const auto recorder = requester->adLoadActionTimeRecorder())
                recorder->startTimingVariableWithName(kNetworkTiming);
            requester->loadAdURLWithParameters(parameters);
        });
    });
}

void DZSDKCoreController::loadAdWithRequestID(DZSDKCoreDMSGHandler&,
                                              const std::optional<std::string>& requestID,
                                              const core::Dictionary& fetchedAd) {
    const auto key = requestID ? requestKey(*requestID) : std::nullopt;
    if (!key) return;
    // The ad's markup can be megabytes: copied once, then moved.
    lockQueue_->async([self = shared_from_this(), key = *key, fetchedAd]() mutable {
        const auto requester = self->takeBuildAdURLDelegate(key);
        if (!requester) return;
        core::Queue::main()->async(
            [weakRequester = std::weak_ptr(requester), fetchedAd = std::move(fetchedAd)]() mutable {
                const auto requester = weakRequester.lock();
                if (!requester) return;
                const bool mediation = fetchedAd["is_mediation"].boolValue();
                const auto ad = adOfType(requester->requestedAdType(), std::move(fetchedAd));
                if (ad && mediation) {
                    ad->setResponseType(DZAdResponseTypeMediation);
                    // An inline ad may come without headers: start from none.
                    core::Dictionary headers = ad->responseHeaders().value_or(core::Dictionary());
                    headers.set("x-duzo-mediation", 1);
                    headers.set("Content-Type", "application/json");
                    ad->setResponseHeaders(std::move(headers));
                }
                requester->loadAd(ad, ad ? ad->responseHeaders() : std::nullopt);
            });
    });
}

void DZSDKCoreController::didReceiveInvalidAdWithRequestID(
    DZSDKCoreDMSGHandler&, const std::optional<std::string>& requestID,
    const core::Dictionary& parameters) {
    std::string message = "Invalid Request.";
    if (const core::Value* errors = parameters.find("errors"))
        message += " " + errors->stringValue();
    DZLogger::sharedInstance().logPublicMessage(message);
    const auto key = requestID ? requestKey(*requestID) : std::nullopt;
    if (!key) return;
    lockQueue_->async([self = shared_from_this(), key = *key] {
        const auto requester = self->takeBuildAdURLDelegate(key);
        if (!requester) return;
        if (const auto recorder = requester->adLoadActionTimeRecorder())
            recorder->cancelTimingVariableWithName(kRequestTiming);
        core::Queue::main()->async([weakRequester = std::weak_ptr(requester)] {
            if (const auto requester = weakRequester.lock()) requester->invalidJavaScriptRequest();
        });
    });
}

}  // namespace ads
