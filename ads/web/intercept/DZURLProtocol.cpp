#include "ads/web/intercept/DZURLProtocol.h"

#include <algorithm>
#include <atomic>

#include "ads/foundation/DZThreading.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/view/DZAdView.h"
#include "core/URLProtocolRegistry.h"

namespace ads {

namespace {

class Factory final : public core::URLProtocolFactory {
public:
    [[nodiscard]] std::string ownPropertyKey() const override {
        return std::string(DZURLProtocol::kHandledKey);
    }
    [[nodiscard]] bool canInit(const core::URLRequest& request) const override {
        return DZURLProtocol::canInitWithRequest(request);
    }
    [[nodiscard]] std::shared_ptr<core::URLProtocol>
    make(core::URLRequest request, std::shared_ptr<core::URLProtocolClient> client) const override {
        return std::make_shared<DZURLProtocol>(std::move(request), std::move(client));
    }
};

// Whether the page's MRAID script is asked for while substitution is on.
bool substitutesScript(const core::URLRequest& request) {
    const auto interceptor = DZMRAIDInterceptor::sharedInstance();
    return interceptor->canRedirect() && interceptor->shouldRedirectRequest(request);
}

std::atomic<bool> gRegistered{false};

}  // namespace

const std::shared_ptr<core::URLProtocolFactory>& DZURLProtocol::factory() {
    static const auto* const shared =
        new std::shared_ptr<core::URLProtocolFactory>(std::make_shared<Factory>());
    return *shared;
}

bool DZURLProtocol::canInitWithRequest(const core::URLRequest& request) {
    if (request.hasProperty(kHandledKey)) return false;
    const auto stash = DZAdURLStash::sharedInstance();
    auto adView = stash->adViewForURLRequest(request);
    if (!adView) return false;
    // The last reference to a view is let go of on the main thread only.
    DZReleaseOnMainThread(std::move(adView));
    stash->willLoadURLRequest(nullptr, request);
    if (substitutesScript(request)) return true;
    return stash->shouldInterceptRequest(request);
}

DZURLProtocol::DZURLProtocol(core::URLRequest request,
                             std::shared_ptr<core::URLProtocolClient> client)
    : core::URLProtocol(std::move(request), std::move(client)) {
    auto adView = DZAdURLStash::sharedInstance()->adViewForURLRequest(this->request());
    if (adView && substitutesScript(this->request())) {
        if (const auto text = DZMRAIDInterceptor::sharedInstance()->MRAIDURLStringForAdView(*adView))
            substituteURL_ = core::URL::create(*text);
    }
    DZReleaseOnMainThread(std::move(adView));
}

void DZURLProtocol::startLoading() {
    core::URLRequest sent = request();
    if (substituteURL_) sent.setURL(*substituteURL_);
    sent.setProperty(std::string(kHandledKey), true);
    // Loaded as the offering load would have been: its bounds, time-outs,
    // authorities and refused ports.
    connection_ = core::URLConnection::create(std::move(sent), weak_from_this(),
                                              client()->sessionConfiguration());
    // The body goes on to the client: nothing keeps a copy of it here.
    connection_->setOffersResponseToCache(false);
    connection_->setReceivingPaused(receivingPaused_);
    connection_->start();
}

void DZURLProtocol::stopLoading() {
    if (const auto connection = std::exchange(connection_, nullptr)) connection->cancel();
    tellUncaptured();
}

void DZURLProtocol::setReceivingPaused(bool paused) {
    receivingPaused_ = paused;
    if (connection_) connection_->setReceivingPaused(paused);
}

std::optional<core::URLRequest> DZURLProtocol::willSendRequest(
    core::URLConnection& connection, core::URLRequest newRequest,
    const core::HTTPURLResponse& redirect) {
    newRequest.removeProperty(kHandledKey);
    redirected_ = true;
    connection.cancel();
    client()->wasRedirectedToRequest(std::move(newRequest), redirect);
    DZAdURLStash::sharedInstance()->willReceiveResponse(nullptr, request(), redirect);
    return std::nullopt;
}

void DZURLProtocol::didReceiveResponse(core::URLConnection&,
                                       const core::HTTPURLResponse& response) {
    if (redirected_) return;
    DZAdURLStash::sharedInstance()->willReceiveResponse(nullptr, request(), response);
    if (!substituteURL_) {
        client()->didReceiveResponse(response, core::CachedURLResponse::StoragePolicy::allowed);
        return;
    }
    core::HTTPHeaders headers = response.headers();
    headers.set("Cache-Control", std::string(kSubstituteCacheControl));
    core::HTTPURLResponse uncached(response.url(), response.statusCode(), std::move(headers));
    uncached.setHTTPVersion(std::string(kSubstituteHTTPVersion));
    client()->didReceiveResponse(std::move(uncached),
                                 core::CachedURLResponse::StoragePolicy::allowed);
}

void DZURLProtocol::didReceiveData(core::URLConnection&, const core::Data& data) {
    if (redirected_) return;
    client()->didLoadData(data);
    capture(data);
}

void DZURLProtocol::capture(const core::Data& data) {
    const size_t copied = std::min(data.size(), kCaptureLimit - captured_);
    if (copied == data.size()) {
        DZAdURLStash::sharedInstance()->didReceiveData(nullptr, request(), data);
    } else if (copied > 0) {
        DZAdURLStash::sharedInstance()->didReceiveData(
            nullptr, request(), core::Data(data.begin(), data.begin() + std::ptrdiff_t(copied)));
    }
    captured_ += copied;
    uncaptured_ += data.size() - copied;
    if (uncaptured_ >= kCaptureLimit) tellUncaptured();
}

void DZURLProtocol::tellUncaptured() {
    if (uncaptured_ == 0) return;
    DZAdURLStash::sharedInstance()->didReceiveUncapturedData(nullptr, request(),
                                                             std::exchange(uncaptured_, 0));
}

void DZURLProtocol::didFinishLoading(core::URLConnection&) {
    if (redirected_) return;
    tellUncaptured();
    client()->didFinishLoading();
}

void DZURLProtocol::didFailWithError(core::URLConnection&, const core::NetworkError& error) {
    if (redirected_) return;
    tellUncaptured();
    client()->didFailWithError(error);
}

void DZRegisterURLProtocol() {
    if (gRegistered.exchange(true)) return;
    core::URLProtocolRegistry::shared().registerFactory(DZURLProtocol::factory());
}

bool DZURLProtocolIsRegistered() {
    return gRegistered.load();
}

}  // namespace ads
