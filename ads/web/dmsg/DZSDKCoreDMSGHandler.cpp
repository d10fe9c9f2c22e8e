#include "ads/web/dmsg/DZSDKCoreDMSGHandler.h"

#include <cmath>

#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAdFetcher.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/foundation/DZHTTPRequest.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZValueHelpers.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

std::optional<std::string> textOf(const core::Dictionary& parameters, std::string_view key) {
    const core::Value* value = parameters.find(key);
    if (!value || !value->isString()) return std::nullopt;
    return *value->string();
}

// The JSON object a parameter holds; a parse error, a missing parameter or
// anything but an object fails with an error.
std::optional<core::Dictionary> decodedObject(const core::Dictionary& parameters,
                                              std::string_view key, Error* error) {
    const auto text = textOf(parameters, key);
    if (!text) {
        *error =
            DZErrorWithCodeDescription(kDZErrorInternalError, "Missing " + std::string(key) + ".");
        return std::nullopt;
    }
    auto decoded = dz_decodedJSONObjectError(*text, error);
    if (!decoded) return std::nullopt;
    if (const core::Dictionary* object = decoded->dictionary()) return *object;
    *error = DZErrorWithCodeDescription(kDZErrorInternalError,
                                        std::string(key) + " is not a JSON object.");
    return std::nullopt;
}

void onMain(std::function<void()> block) {
    core::Queue::main()->async(std::move(block));
}

}  // namespace

DZSDKCoreDMSGHandler::DZSDKCoreDMSGHandler()
    : lockQueue_(core::Queue::serial("com.dozuza.vuraz.sdk-core-dmsghandler")) {}

DZSDKCoreDMSGHandler::~DZSDKCoreDMSGHandler() {
    for (auto& [id, fetcher] : adFetchers_) fetcher->cancel();
}

const DZDMSGHandler::ActionTable* DZSDKCoreDMSGHandler::actionBlockDictionary() const {
    using H = DZSDKCoreDMSGHandler;
    static const ActionTable table = {
        {"loadAdURL", action(&H::didReceiveLoadAdURLAction)},
        {"loadAd", action(&H::didReceiveLoadAdAction)},
        {"invalidRequest", action(&H::didReceiveInvalidAdRequestAction)},
        {"loadSdkConstants", action(&H::didReceiveLoadSDKConstantsAction)},
        {"fetchHttpRequest", action(&H::didReceiveFetchAdAction)},
        {"requestReload", action(&H::didReceiveSDKCoreReloadRequestWithParameters)},
        {"appSettingsFetched", action(&H::didReceiveAppSettings)},
        {"saveState", action(&H::didReceiveSDKCoreSaveState)},
        {"result", action(&H::didReceiveResultAction)},
        {"sdkCoreRefresh", action(&H::didReceiveSDKCoreRefreshAction)},
    };
    return &table;
}

void DZSDKCoreDMSGHandler::didReceiveLoadAdURLAction(const std::shared_ptr<DZAdView>&,
                                                     const core::Dictionary& parameters) {
    auto self = std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this());
    onMain([self, parameters] {
        if (const auto delegate = self->delegate())
            delegate->loadAdURLWithRequestID(*self, textOf(parameters, "request_id"), parameters);
    });
}

void DZSDKCoreDMSGHandler::didReceiveLoadAdAction(const std::shared_ptr<DZAdView>&,
                                                  const core::Dictionary& parameters) {
    Error error;
    auto fetchedAd = decodedObject(parameters, "fetched_ad", &error);
    if (!fetchedAd) return;
    auto self = std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this());
    onMain([self, id = textOf(parameters, "request_id"), fetchedAd = std::move(*fetchedAd)] {
        if (const auto delegate = self->delegate())
            delegate->loadAdWithRequestID(*self, id, fetchedAd);
    });
}

void DZSDKCoreDMSGHandler::didReceiveInvalidAdRequestAction(const std::shared_ptr<DZAdView>&,
                                                            const core::Dictionary& parameters) {
    auto self = std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this());
    onMain([self, parameters] {
        if (const auto delegate = self->delegate())
            delegate->didReceiveInvalidAdWithRequestID(*self, textOf(parameters, "request_id"),
                                                       parameters);
    });
}

void DZSDKCoreDMSGHandler::didReceiveLoadSDKConstantsAction(const std::shared_ptr<DZAdView>&,
                                                            const core::Dictionary& parameters) {
    auto self = std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this());
    onMain([self, parameters] {
        if (const auto delegate = self->delegate())
            delegate->didLoadSDKConstants(*self, parameters);
    });
}

void DZSDKCoreDMSGHandler::didReceiveSDKCoreReloadRequestWithParameters(
    const std::shared_ptr<DZAdView>&, const core::Dictionary&) {
    auto self = std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this());
    onMain([self] {
        if (const auto delegate = self->delegate())
            delegate->SDKCoreDMSGHandlerDidReceiveSDKCoreUpdateNotification(*self);
    });
}

void DZSDKCoreDMSGHandler::didReceiveResultAction(const std::shared_ptr<DZAdView>&,
                                                  const core::Dictionary& parameters) {
    const auto id = textOf(parameters, "request_id");
    if (!id) return;
    if (const auto delegate = this->delegate())
        delegate->didReceiveResultActionWithRequestID(*this, *id, parameters);
}

void DZSDKCoreDMSGHandler::didReceiveSDKCoreSaveState(const std::shared_ptr<DZAdView>&,
                                                      const core::Dictionary& parameters) {
    const auto key = textOf(parameters, "key");
    const auto state = textOf(parameters, "state");
    if (!key || !state) return;
    const auto defaults = core::UserDefaults::standard();
    auto saved =
        defaults->dictionaryForKey(kSavedStateKey).value_or(core::Dictionary{{"version", 1}});
    saved.set(*key, *state);
    defaults->setObject(std::string(kSavedStateKey), std::move(saved));
}

void DZSDKCoreDMSGHandler::didReceiveSDKCoreRefreshAction(const std::shared_ptr<DZAdView>&,
                                                          const core::Dictionary& parameters) {
    const auto delegate = this->delegate();
    const auto refresh = textOf(parameters, "refresh");
    if (refresh == "cancel") {
        pauseIDs_.clear();
        if (delegate) delegate->SDKCoreDMSGHandlerDidReceiveResumeSDKCoreRefreshAction(*this);
        return;
    }
    const auto number = DZNumericValue(parameters["request_id"]);
    if (!number) return;
    const auto id = static_cast<std::int64_t>(std::trunc(*number));
    if (refresh == "pause") pauseIDs_.insert(id);
    if (refresh == "resume") pauseIDs_.erase(id);
    if (!delegate) return;
    if (pauseIDs_.empty()) {
        delegate->SDKCoreDMSGHandlerDidReceiveResumeSDKCoreRefreshAction(*this);
    } else {
        delegate->SDKCoreDMSGHandlerDidReceivePauseSDKCoreRefreshAction(*this);
    }
}

void DZSDKCoreDMSGHandler::didReceiveFetchAdAction(const std::shared_ptr<DZAdView>&,
                                                   const core::Dictionary& parameters) {
    Error error;
    const auto request = decodedObject(parameters, "http_request", &error);
    const core::Value* idValue = request ? request->find("http_request_id") : nullptr;
    if (!request || !idValue || !idValue->isString()) {
        // Without an id the fetch could not be told apart from others.
        if (request)
            error = DZErrorWithCodeDescription(kDZErrorInternalError, "Missing http_request_id.");
        replyToFetch(false, nullptr, "", error, 0);
        return;
    }
    const std::string id = *idValue->string();
    if (isFetchInProgressForFetchRequestID(id)) return;

    const auto urlText = textOf(*request, "url");
    const auto url = urlText && !urlText->empty() ? core::URL::create(*urlText) : std::nullopt;
    if (!url || !url->isHTTPorHTTPS()) {
        replyToFetch(false, nullptr, id,
                     DZErrorWithCodeDescription(kDZErrorInternalError,
                                                "Invalid URL (" + urlText.value_or("") +
                                                    ") requested for fetching"),
                     0);
        return;
    }
    core::Dictionary headers;
    if (const core::Array* list = (*request)["headers"].array()) {
        for (const core::Value& element : *list) {
            const core::Value& key = element["key"];
            const core::Value& value = element["value"];
            if (key.isString() && value.isString()) headers.set(*key.string(), value);
        }
    }
    std::optional<core::Data> body;
    if (const auto text = textOf(*request, "post_body"))
        body = core::Data(text->begin(), text->end());
    const auto contentType = textOf(*request, "content_type");
    const auto urlRequest = DZMakeURLRequest(url, body, headers, contentType);

    auto fetcher = std::make_shared<DZAdFetcher>();
    setAdFetcher(fetcher, id);
    Error startError;
    auto self = std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this());
    if (!urlRequest || !fetcher->fetchRequestURL(*urlRequest, self, &startError)) {
        replyToFetch(false, nullptr, id, startError, 0);
        removeAdFetcherForFetchRequestID(id);
    }
}

void DZSDKCoreDMSGHandler::didFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad) {
    const auto id = fetchRequestIDForAdFetcher(fetcher);
    if (!id) return;
    replyToFetch(true, ad, *id, std::nullopt, 200);
    removeAdFetcherForFetchRequestID(*id);
}

void DZSDKCoreDMSGHandler::didFailToFetchAd(DZAdFetcher& fetcher, const std::shared_ptr<DZAd>& ad,
                                            const Error& error, int responseCode) {
    const auto id = fetchRequestIDForAdFetcher(fetcher);
    if (!id) return;
    replyToFetch(false, ad, *id, error, responseCode);
    removeAdFetcherForFetchRequestID(*id);
}

void DZSDKCoreDMSGHandler::replyToFetch(bool success, const std::shared_ptr<DZAd>& ad,
                                        const std::string& id, const std::optional<Error>& error,
                                        int responseCode) {
    core::Array headers;
    if (ad && ad->responseHeaders())
        for (const auto& [name, value] : *ad->responseHeaders())
            headers.emplace_back(core::Dictionary{{"key", name}, {"value", value}});
    core::Dictionary response{{"response_code", responseCode},
                              {"body", ad ? ad->adHTML().value_or("") : std::string()},
                              {"http_request_id", id},
                              {"headers", std::move(headers)}};
    core::Dictionary reply;
    reply.set("success", success ? "true" : "false");
    if (!success) reply.set("reason", error ? error->message : std::string());
    reply.set("response", std::move(response));
    const std::string json = dz_JSONStringPretty(reply, false, nullptr).value_or("");
    if (const auto webView = SDKCoreWebView())
        webView->enqueueJavaScriptCommand("DUZO_ReceiveMessage('fetchHttpRequestCompleted', " +
                                          json + ")");
}

void DZSDKCoreDMSGHandler::setAdFetcher(const std::shared_ptr<DZAdFetcher>& fetcher,
                                        const std::string& id) {
    lockQueue_->async(
        [this, self = shared_from_this(), fetcher, id] { adFetchers_.emplace(id, fetcher); });
}

bool DZSDKCoreDMSGHandler::isFetchInProgressForFetchRequestID(const std::string& id) const {
    bool found = false;
    lockQueue_->sync([&] { found = adFetchers_.count(id) > 0; });
    return found;
}

std::optional<std::string>
DZSDKCoreDMSGHandler::fetchRequestIDForAdFetcher(const DZAdFetcher& fetcher) const {
    std::optional<std::string> found;
    lockQueue_->sync([&] {
        for (const auto& [id, stored] : adFetchers_)
            if (stored.get() == &fetcher) found = id;
    });
    return found;
}

void DZSDKCoreDMSGHandler::removeAdFetcherForFetchRequestID(const std::string& id) {
    std::shared_ptr<DZAdFetcher> fetcher;
    lockQueue_->sync([&] {
        const auto found = adFetchers_.find(id);
        if (found == adFetchers_.end()) return;
        fetcher = std::move(found->second);
        adFetchers_.erase(found);
    });
    if (fetcher) fetcher->cancel();
}

}  // namespace ads
