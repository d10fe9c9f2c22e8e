#include "ads/web/net/DZURLConnection.h"

#include <string_view>

#include "ads/foundation/DZNetworkErrors.h"
#include "ads/foundation/DZURLSessionLimits.h"
#include "core/RunLoop.h"
#include "core/Unicode.h"

namespace ads {

namespace {

std::optional<std::string> utf8Text(const core::Data& data) {
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    if (!core::Unicode::isValidUTF8(text)) return std::nullopt;
    return std::string(text);
}

// The SDK error of a load whose final status is 400 or more: the server
// error with its "HttpStatus" entry.
Error httpStatusError(int status) {
    return DZErrorWithCodeStatusDescription(kDZErrorServerError, status, std::nullopt);
}

}  // namespace

DZURLConnection::~DZURLConnection() {
    stop();
}

bool DZURLConnection::startWithRequestURL(const core::URLRequest& request,
                                          std::weak_ptr<DZURLConnectionDelegate> delegate,
                                          Error* error) {
    if (isInProgress_) {
        if (error) {
            *error = DZErrorWithCodeDescription(
                kDZErrorNetworkError, "Ignoring -- Currently loading " +
                                          (sourceURL_ ? sourceURL_->absoluteString() : ""));
        }
        return false;
    }
    const auto self = shared_from_this();
    delegate_ = std::move(delegate);
    sourceURL_ = request.url();
    destinationURL_ = request.url();
    if (allowCache_) {
        if (const auto entry = cachedResponseForURL(request.url())) {
            deliverCached(*entry);
            return true;
        }
    }
    connection_ =
        core::URLConnection::create(request, weak_from_this(), DZURLSessionConfiguration());
    receivedData_.clear();
    connection_->scheduleInRunLoop(core::RunLoop::main());
    connection_->start();
    isInProgress_ = true;
    return true;
}

void DZURLConnection::stop() {
    if (connection_) connection_->cancel();
    connection_.reset();
    sourceURL_.reset();
    destinationURL_.reset();
    response_.reset();
    receivedData_ = {};
    isInProgress_ = false;
}

void DZURLConnection::cancel() {
    delegate_.reset();
    stop();
}

void DZURLConnection::deliverCached(const DZCachedURLResponse& entry) {
    if (const auto delegate = delegate_.lock()) {
        delegate->loadDidReceiveCachedResponse(*this, entry.response());
    }
    if (const auto delegate = delegate_.lock()) {
        delegate->loadDidFinish(*this, utf8Text(entry.data()), entry.destinationURL());
    }
}

std::optional<core::URLRequest>
DZURLConnection::willSendRequest(core::URLConnection& connection, core::URLRequest newRequest,
                                 const core::HTTPURLResponse& redirectResponse) {
    if (!isCurrent(connection)) return newRequest;
    const auto self = shared_from_this();
    std::optional<Error> veto;
    if (const auto delegate = delegate_.lock()) {
        veto = delegate->shouldRedirectToURL(*this, newRequest.url());
    }
    if (veto) {
        stop();
        if (const auto delegate = delegate_.lock()) delegate->loadDidFail(*this, veto, -1);
    }
    // Unless the delegate started another load meanwhile.
    if (!connection_ || isCurrent(connection)) destinationURL_ = newRequest.url();
    if (const auto delegate = delegate_.lock()) {
        delegate->willPerformRedirect(*this, DZURLConnectionRedirect(redirectResponse, newRequest));
    }
    return newRequest;
}

void DZURLConnection::didReceiveResponse(core::URLConnection& connection,
                                         const core::HTTPURLResponse& response) {
    if (!isCurrent(connection)) return;
    const auto self = shared_from_this();
    response_ = response;
    receivedData_.clear();
    bool useCache = false;
    if (const auto delegate = delegate_.lock()) {
        useCache = delegate->loadShouldUseCacheForResponse(*this, response);
    }
    if (!isCurrent(connection)) return;
    if (useCache) allowCache_ = true;
    // An error status ends the load here: its body is not the content asked for.
    if (const int status = response.statusCode(); status >= 400) {
        if (const auto delegate = delegate_.lock()) {
            delegate->loadDidFail(*this, httpStatusError(status), status);
        }
        if (isCurrent(connection)) stop();
        return;
    }
    if (!useCache || !sourceURL_) return;
    if (const auto entry = cachedResponseForURL(*sourceURL_)) {
        deliverCached(*entry);
        if (isCurrent(connection)) stop();
    }
}

void DZURLConnection::didReceiveData(core::URLConnection& connection, const core::Data& data) {
    if (isCurrent(connection)) receivedData_.insert(receivedData_.end(), data.begin(), data.end());
}

std::optional<core::CachedURLResponse>
DZURLConnection::willCacheResponse(core::URLConnection&, core::CachedURLResponse proposed) {
    if (!allowCache_) return std::nullopt;
    return proposed;
}

void DZURLConnection::didFinishLoading(core::URLConnection& connection) {
    if (!isCurrent(connection)) return;
    const auto self = shared_from_this();
    if (allowCache_) tryToStoreResponseAndData();
    const auto text = utf8Text(receivedData_);
    const auto baseURL = destinationURL_;
    if (const auto delegate = delegate_.lock()) delegate->loadDidFinish(*this, text, baseURL);
    if (isCurrent(connection)) stop();
}

void DZURLConnection::didFailWithError(core::URLConnection& connection,
                                       const core::NetworkError& error) {
    if (!isCurrent(connection)) return;
    const auto self = shared_from_this();
    const int status = response_ ? response_->statusCode() : -1;
    if (const auto delegate = delegate_.lock()) {
        delegate->loadDidFail(*this, DZErrorFromNetworkError(error), status);
    }
    if (isCurrent(connection)) stop();
}

}  // namespace ads
