#pragma once
// The SDK's URL protocol. Registered once with the URL layer at start-up,
// it is offered every request a URL connection of the process loads (the
// pages of "UI"-kind web views included). Each request of a page that
// belongs to a registered ad view is recorded in that ad view's resource
// collection; the load is taken over when it asks for the page's MRAID
// script while substitution is on (the SDK's own script is loaded instead,
// its response made uncacheable), or when the ad's safe-browsing settings
// want responses captured. A taken load runs through a connection of its
// own, whose requests carry kHandledKey so that the protocol never takes
// them again; its response and body are recorded under the page's request.
// Requests of other pages pass untouched.
//
// Taking a load over changes nothing the page gets: the own connection is
// made with the configuration of the load that offered the request (for a
// "UI"-kind page the proxy's: no size bound, no time-out of the URL
// session's), and pausing that load pauses it. What the record copies of a
// body is bounded (kCaptureLimit); the page gets the body whole.
//
// Requests are values here: the copy a decision works on cannot fail.
//
// Threading: the decision may run on any thread; a protocol object runs on
// the run loop of the thread that started it, where its connection is
// scheduled.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "ads/web/intercept/DZCapturedBytes.h"
#include "core/URLConnection.h"
#include "core/URLConnectionDelegate.h"
#include "core/URLProtocol.h"
#include "core/URLProtocolFactory.h"

namespace ads {

class DZURLProtocol : public core::URLProtocol,
                      public core::URLConnectionDelegate,
                      public std::enable_shared_from_this<DZURLProtocol> {
public:
    static constexpr std::string_view kHandledKey = "com.dozuza.vuraz.dzurlprotocol";
    static constexpr std::string_view kSubstituteCacheControl =
        "no-store, no-cache, private, max-age=0";
    static constexpr std::string_view kSubstituteHTTPVersion = "HTTP/1.1";
    // Body bytes of one taken load copied to the record: as much as the
    // report keeps of one resource. Later bytes are only counted, and told
    // in sums of at least kCaptureLimit, and at the load's end.
    static constexpr size_t kCaptureLimit = DZCapturedBytes::kResourceLimit;

    // The factory the URL layer asks; one per process.
    [[nodiscard]] static const std::shared_ptr<core::URLProtocolFactory>& factory();
    // Records the request when it belongs to an ad page, and answers
    // whether the protocol takes its load.
    [[nodiscard]] static bool canInitWithRequest(const core::URLRequest& request);

    DZURLProtocol(core::URLRequest request, std::shared_ptr<core::URLProtocolClient> client);

    // The SDK's MRAID script to load instead of the request's own URL.
    [[nodiscard]] const std::optional<core::URL>& substituteURL() const { return substituteURL_; }

    void startLoading() override;
    void stopLoading() override;
    // Passed on to the own connection.
    void setReceivingPaused(bool paused) override;

    // core::URLConnectionDelegate.
    std::optional<core::URLRequest> willSendRequest(core::URLConnection& connection,
                                                    core::URLRequest newRequest,
                                                    const core::HTTPURLResponse& redirect) override;
    void didReceiveResponse(core::URLConnection& connection,
                            const core::HTTPURLResponse& response) override;
    void didReceiveData(core::URLConnection& connection, const core::Data& data) override;
    void didFinishLoading(core::URLConnection& connection) override;
    void didFailWithError(core::URLConnection& connection, const core::NetworkError& error) override;

private:
    // Copies what fits below kCaptureLimit to the record; counts the rest.
    void capture(const core::Data& data);
    // Tells the record of the bytes counted and not yet told.
    void tellUncaptured();

    std::optional<core::URL> substituteURL_;
    std::shared_ptr<core::URLConnection> connection_;
    // After a redirect the loading layer goes on with the new request; this
    // load's connection has nothing more to say.
    bool redirected_ = false;
    bool receivingPaused_ = false;
    size_t captured_ = 0;
    std::uint64_t uncaptured_ = 0;
};

// Registers the protocol with the URL layer; later calls do nothing.
// Called by the SDK's start-up on the main thread.
void DZRegisterURLProtocol();
[[nodiscard]] bool DZURLProtocolIsRegistered();

}  // namespace ads
