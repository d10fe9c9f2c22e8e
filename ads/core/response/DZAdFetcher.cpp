#include "ads/core/response/DZAdFetcher.h"

#include <utility>

#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZHTTPRequest.h"
#include "ads/foundation/DZHTTPURLResponseAdditions.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZTiming.h"
#include "ads/web/net/DZURLConnectionRedirect.h"
#include "core/Queue.h"
#include "core/StringFormat.h"
#include "core/Unicode.h"

namespace ads {

namespace {

constexpr const char* kRejectedParametersMessage =
    "Server rejected ad parameters. Typically this is because the ad unit ID is incorrect.";

core::Dictionary lowercasedKeys(const core::Dictionary& headers) {
    core::Dictionary lowercased;
    for (const auto& [name, value] : headers)
        lowercased.set(core::Unicode::toLower(name, ""), value);
    return lowercased;
}

bool startsWith(const core::Value& value, std::string_view prefix) {
    const std::string* text = value.string();
    return text && text->starts_with(prefix);
}

// The SDK error of a failed load, by its HTTP status (-1 without one).
Error errorForFailedStatus(int status) {
    if (status == 400) {
        DZLogger::sharedInstance().logPublicMessage(kRejectedParametersMessage);
        return DZErrorWithCode(kDZErrorInvalidRequest);
    }
    if (status > 400)
        return DZErrorWithCodeStatusDescription(kDZErrorServerError, status, std::nullopt);
    if (status == -1) {
        return DZErrorWithCodeStatusDescription(kDZErrorReceivedInvalidResponse, status,
                                                std::nullopt);
    }
    return DZErrorWithCodeStatusDescription(kDZErrorNetworkError, status, std::nullopt);
}

}  // namespace

DZAdFetcher::DZAdFetcher()
    : adConnection_(std::make_shared<DZURLConnection>()),
      timer_(std::make_shared<DZTiming>(
          core::format("%@ (%p)", "DZAdFetcher", static_cast<const void*>(this)))) {}

DZAdFetcher::~DZAdFetcher() {
    cancel();
}

bool DZAdFetcher::fetchRemainingContentForAd(const std::shared_ptr<DZAd>& ad,
                                             const std::optional<core::Dictionary>& headers,
                                             std::weak_ptr<DZAdFetcherDelegate> delegate,
                                             Error* error) {
    std::optional<core::URLRequest> request;
    if (ad && ad->adURL() && (!ad->adHTML() || ad->adHTML()->empty())) {
        request = DZMakeURLRequest(ad->adURL(), std::nullopt, std::nullopt, std::nullopt);
    }
    return fetchRequestURL(request, std::move(delegate), headers, ad, error);
}

bool DZAdFetcher::fetchRequestURL(const core::URLRequest& request,
                                  std::weak_ptr<DZAdFetcherDelegate> delegate, Error* error) {
    return fetchRequestURL(request, std::move(delegate), std::nullopt, std::make_shared<DZAd>(),
                           error);
}

bool DZAdFetcher::fetchRequestURL(const std::optional<core::URLRequest>& request,
                                  std::weak_ptr<DZAdFetcherDelegate> delegate,
                                  const std::optional<core::Dictionary>& headers,
                                  std::shared_ptr<DZAd> ad, Error* error) {
    if (hasStartedFetch_) {
        if (error) {
            *error = DZErrorWithCodeDescription(
                kDZErrorNetworkError,
                "Could not start fetch. This object has already been used to fetch.");
        }
        return false;
    }
    const auto self = shared_from_this();
    hasStartedFetch_ = true;
    markFetchStart();
    delegate_ = std::move(delegate);
    ad_ = ad ? std::move(ad) : std::make_shared<DZAd>();

    std::optional<Error> refusal;
    if (request) {
        ad_->setOriginalRequest(*request);
        Error connectionError;
        if (!adConnection_->startWithRequestURL(*request, weak_from_this(), &connectionError)) {
            if (error) {
                *error = DZErrorWithCodeDescription(kDZErrorNetworkError,
                                                    "Failed to start ad connection.");
            }
            adConnectionHasCompleted_ = true;
            refusal = std::move(connectionError);
        }
    } else {
        adConnectionHasCompleted_ = true;
    }

    ad_->setResponseType(DZAdResponseTypeHTML);
    if (headers) processHTTPHeaders(*headers);

    if (refusal) {
        resourceFailedToLoadWithError(*refusal, 0);
    } else if (adConnectionHasCompleted_) {
        core::Queue::main()->async([weak = weak_from_this()] {
            if (const auto fetcher = weak.lock()) fetcher->completedURLConnection();
        });
    }
    return !refusal;
}

void DZAdFetcher::cancel() {
    delegate_.reset();
    adConnection_->cancel();
    adConnectionHasCompleted_ = true;
}

DZAdResponseType DZAdFetcher::adResponseTypeFromHeaders(const core::Dictionary& headers,
                                                        Error* error) {
    if (headers["x-duzo-mediation"].boolValue()) {
        if (startsWith(headers["content-type"], "application/json")) {
            return DZAdResponseTypeMediation;
        }
        if (error) *error = DZErrorWithCode(kDZErrorServerError);
        return DZAdResponseTypeInvalid;
    }
    if (const std::string* format = headers["x-duzo-ad-format"].string();
        format && core::Unicode::toLower(*format, "") == "native") {
        return DZAdResponseTypeNative;
    }
    if (headers["x-duzo-custom-rendering-allowed"].boolValue()) {
        return DZAdResponseTypeCustomRendering;
    }
    return DZAdResponseTypeHTML;
}

void DZAdFetcher::processHTTPHeaders(const core::Dictionary& headers) {
    if (!ad_) return;
    const auto self = shared_from_this();
    const core::Dictionary lowercased = lowercasedKeys(headers);
    core::Dictionary merged = ad_->responseHeaders().value_or(core::Dictionary());
    for (const auto& [name, value] : lowercased) merged.set(name, value);
    ad_->setResponseHeaders(std::move(merged));

    Error typeError;
    const DZAdResponseType type = adResponseTypeFromHeaders(lowercased, &typeError);
    ad_->setResponseType(type);
    if (type == DZAdResponseTypeInvalid) resourceFailedToLoadWithError(typeError, 0);
    applySettingsHeaders(lowercased);
}

void DZAdFetcher::completedURLConnection() {
    if (!adConnectionHasCompleted_ || hasNotifiedDelegate_) return;
    const auto self = shared_from_this();
    markFetchComplete();
    const auto delegate = delegate_.lock();
    hasNotifiedDelegate_ = true;
    if (!delegate) return;
    if (ad_->responseType() != DZAdResponseTypeInvalid && ad_->adHTML() &&
        !ad_->adHTML()->empty()) {
        delegate->didFetchAd(*this, ad_);
        return;
    }
    const long code =
        ad_->responseType() == DZAdResponseTypeInvalid ? kDZErrorInternalError : kDZErrorNoFill;
    delegate->didFailToFetchAd(*this, ad_, DZErrorWithCode(code), 0);
}

void DZAdFetcher::resourceFailedToLoadWithError(const Error& error, int responseCode) {
    const auto self = shared_from_this();
    if (const auto delegate = delegate_.lock()) {
        delegate->didFailToFetchAd(*this, ad_, error, responseCode);
    }
    cancel();
}

void DZAdFetcher::markFetchStart() {
    timer_->start();
}

void DZAdFetcher::markFetchComplete() {
    timer_->end();
}

std::optional<Error> DZAdFetcher::shouldRedirectToURL(DZURLConnection&, const core::URL&) {
    return std::nullopt;
}

void DZAdFetcher::willPerformRedirect(DZURLConnection&, const DZURLConnectionRedirect& redirect) {
    if (!ad_) return;
    ad_->redirects().push_back(std::make_shared<DZURLConnectionRedirect>(redirect));
    processHTTPHeaders(dz_allHeaderFields(redirect.response()));
}

bool DZAdFetcher::loadShouldUseCacheForResponse(DZURLConnection&,
                                                const core::HTTPURLResponse& response) {
    if (!ad_) return false;
    processHTTPHeaders(dz_allHeaderFields(response));
    return ad_ && ad_->responseType() == DZAdResponseTypeMediation;
}

void DZAdFetcher::loadDidReceiveCachedResponse(DZURLConnection&,
                                               const core::HTTPURLResponse& response) {
    processHTTPHeaders(dz_allHeaderFields(response));
}

void DZAdFetcher::loadDidFinish(DZURLConnection&, const std::optional<std::string>& text,
                                const std::optional<core::URL>& baseURL) {
    if (!ad_) return;
    const auto self = shared_from_this();
    ad_->setAdHTML(text);
    ad_->setAdBaseURL(baseURL);
    adConnectionHasCompleted_ = true;
    completedURLConnection();
}

void DZAdFetcher::loadDidFail(DZURLConnection&, const std::optional<Error>&, int httpStatusCode) {
    if (!ad_) return;
    const auto self = shared_from_this();
    ad_->setAdHTML(std::nullopt);
    ad_->setAdBaseURL(std::nullopt);
    resourceFailedToLoadWithError(errorForFailedStatus(httpStatusCode), httpStatusCode);
}

}  // namespace ads
