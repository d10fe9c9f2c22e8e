#include "ads/web/dmsg/DZSDKCoreDMSGHandler.h"

#include <cmath>

#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAdFetcher.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/foundation/DZHTTPRequest.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZLogger.h"
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

}  // namespace

DZSDKCoreDMSGHandler::DZSDKCoreDMSGHandler()
    : lockQueue_(core::Queue::serial("com.dozuza.vuraz.sdk-core-dmsghandler")),
      answerQueue_(core::Queue::serial("com.dozuza.vuraz.sdk-core-answers")) {}

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
        {"cacheResource", action(&H::didReceiveCacheResourceAction)},
        {"removeResource", action(&H::didReceiveRemoveResourceAction)},
        {"resourceStatusCheck", action(&H::didReceiveResourceStatusCheckAction)},
        {"cleanupCacheDirectory", action(&H::didReceiveCleanupCacheDirectoryAction)},
        {"sdkCoreRefresh", action(&H::didReceiveSDKCoreRefreshAction)},
    };
    return &table;
}

void DZSDKCoreDMSGHandler::didReceiveLoadAdURLAction(const std::shared_ptr<DZAdView>&,
                                                     const core::Dictionary& parameters) {
    auto self = std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this());
    forward([self, parameters] {
        if (const auto delegate = self->delegate())
            delegate->loadAdURLWithRequestID(*self, textOf(parameters, "request_id"), parameters);
    });
}

void DZSDKCoreDMSGHandler::forward(std::function<void()> call) {
    answerQueue_->async(
        [call = std::move(call)]() mutable { core::Queue::main()->async(std::move(call)); });
}

void DZSDKCoreDMSGHandler::didReceiveLoadAdAction(const std::shared_ptr<DZAdView>&,
                                                  const core::Dictionary& parameters) {
    // The ad's JSON (megabytes for an ad of that size) is decoded off the
    // main thread; an answer that is no JSON object goes nowhere. (The
    // handler is held on the main thread only, where it goes.)
    const std::weak_ptr<DZSDKCoreDMSGHandler> weak =
        std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this());
    answerQueue_->async([weak, id = textOf(parameters, "request_id"),
                         text = textOf(parameters, "fetched_ad")]() mutable {
        Error error;
        auto decoded = text ? dz_decodedJSONObjectError(*text, &error) : std::nullopt;
        text.reset();
        core::Dictionary* fetchedAd = decoded ? decoded->dictionary() : nullptr;
        if (!fetchedAd) return;
        core::Queue::main()->async([weak, id = std::move(id), fetchedAd = std::move(*fetchedAd)] {
            const auto self = weak.lock();
            if (!self) return;
            if (const auto delegate = self->delegate())
                delegate->loadAdWithRequestID(*self, id, fetchedAd);
        });
    });
}

void DZSDKCoreDMSGHandler::didReceiveInvalidAdRequestAction(const std::shared_ptr<DZAdView>&,
                                                            const core::Dictionary& parameters) {
    auto self = std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this());
    forward([self, parameters] {
        if (const auto delegate = self->delegate())
            delegate->didReceiveInvalidAdWithRequestID(*self, textOf(parameters, "request_id"),
                                                       parameters);
    });
}

void DZSDKCoreDMSGHandler::didReceiveLoadSDKConstantsAction(const std::shared_ptr<DZAdView>&,
                                                            const core::Dictionary& parameters) {
    auto self = std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this());
    forward([self, parameters] {
        if (const auto delegate = self->delegate())
            delegate->didLoadSDKConstants(*self, parameters);
    });
}

void DZSDKCoreDMSGHandler::didReceiveSDKCoreReloadRequestWithParameters(
    const std::shared_ptr<DZAdView>&, const core::Dictionary&) {
    auto self = std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this());
    forward([self] {
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
    auto saved = defaults->dictionaryForKey(kSavedStateKey).value_or(core::Dictionary{});
    if (const auto refusal = savedStateRefusal(saved, *key, *state)) {
        // What was saved before stays as it was.
        DZLogger::sharedInstance().logPublicMessage("SDK core state not saved: " + *refusal);
        return;
    }
    saved.set(std::string(kSavedStateVersionKey), kSavedStateVersion);
    saved.set(*key, *state);
    defaults->setObject(std::string(kSavedStateKey), std::move(saved));
}

std::optional<std::string> DZSDKCoreDMSGHandler::savedStateRefusal(const core::Dictionary& saved,
                                                                   std::string_view key,
                                                                   std::string_view state) {
    if (key == kSavedStateVersionKey) return "\"version\" is the SDK's own key.";
    if (key.empty() || key.size() > kMaximumSavedStateKeyBytes)
        return "a key must have 1 to " + std::to_string(kMaximumSavedStateKeyBytes) + " bytes.";
    size_t keys = 0;
    size_t bytes = 0;
    const core::Value* previous = nullptr;
    for (const auto& [name, value] : saved) {
        if (name == kSavedStateVersionKey) continue;
        if (name == key) {
            previous = &value;
            continue;
        }
        ++keys;
        bytes += name.size() + (value.isString() ? value.string()->size() : 0);
    }
    if (!previous && keys >= kMaximumSavedStateKeys)
        return "no more than " + std::to_string(kMaximumSavedStateKeys) + " keys.";
    const size_t total = bytes + key.size() + state.size();
    // A state that grows no larger may always replace its old one, even in
    // a store saved over the limit by an earlier version.
    const bool shrinks =
        previous && previous->isString() && state.size() <= previous->string()->size();
    if (total > kMaximumSavedStateBytes && !shrinks)
        return "no more than " + std::to_string(kMaximumSavedStateBytes) + " bytes in all.";
    return std::nullopt;
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
    // An id outside the integer range is no id.
    const auto number = DZIntegerValue<std::int64_t>(parameters["request_id"]);
    if (!number) return;
    const std::int64_t id = *number;
    if (refresh == "pause") pauseIDs_.insert(id);
    if (refresh == "resume") pauseIDs_.erase(id);
    if (!delegate) return;
    if (pauseIDs_.empty()) {
        delegate->SDKCoreDMSGHandlerDidReceiveResumeSDKCoreRefreshAction(*this);
    } else {
        delegate->SDKCoreDMSGHandlerDidReceivePauseSDKCoreRefreshAction(*this);
    }
}

DZSDKCoreDMSGHandler::FetchRequest
DZSDKCoreDMSGHandler::fetchRequestFromParameters(const core::Dictionary& parameters) {
    FetchRequest fetch;
    Error error;
    const auto request = decodedObject(parameters, "http_request", &error);
    const core::Value* idValue = request ? request->find("http_request_id") : nullptr;
    if (!request || !idValue || !idValue->isString()) {
        // Without an id the fetch could not be told apart from others.
        if (request)
            error = DZErrorWithCodeDescription(kDZErrorInternalError, "Missing http_request_id.");
        fetch.error = error;
        return fetch;
    }
    fetch.id = *idValue->string();

    const auto urlText = textOf(*request, "url");
    const auto url = urlText && !urlText->empty() ? core::URL::create(*urlText) : std::nullopt;
    if (!url || !url->isHTTPorHTTPS()) {
        fetch.error = DZErrorWithCodeDescription(kDZErrorInternalError,
                                                 "Invalid URL (" + urlText.value_or("") +
                                                     ") requested for fetching");
        return fetch;
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
    fetch.request = DZMakeURLRequest(url, body, headers, contentType);
    if (!fetch.request)
        fetch.error = DZErrorWithCodeDescription(kDZErrorInternalError,
                                                 "Invalid request (" + *urlText + ") for fetching");
    return fetch;
}

void DZSDKCoreDMSGHandler::didReceiveFetchAdAction(const std::shared_ptr<DZAdView>&,
                                                   const core::Dictionary& parameters) {
    FetchRequest fetch = fetchRequestFromParameters(parameters);
    if (!fetch.id) {
        replyToFetch(false, nullptr, "", fetch.error, 0);
        return;
    }
    const std::string& id = *fetch.id;
    if (isFetchInProgressForFetchRequestID(id)) return;
    if (fetchCount() >= kMaximumConcurrentFetches) {
        replyToFetch(false, nullptr, id,
                     DZErrorWithCodeDescription(kDZErrorInternalError,
                                                "Too many fetches in progress (at most " +
                                                    std::to_string(kMaximumConcurrentFetches) +
                                                    ")."),
                     0);
        return;
    }
    if (!fetch.request) {
        replyToFetch(false, nullptr, id, fetch.error, 0);
        return;
    }

    auto fetcher = std::make_shared<DZAdFetcher>();
    setAdFetcher(fetcher, id);
    Error startError;
    auto self = std::static_pointer_cast<DZSDKCoreDMSGHandler>(shared_from_this());
    if (!fetcher->fetchRequestURL(*fetch.request, self, &startError)) {
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

size_t DZSDKCoreDMSGHandler::fetchCount() const {
    size_t count = 0;
    lockQueue_->sync([&] { count = adFetchers_.size(); });
    return count;
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
