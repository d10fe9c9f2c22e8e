#pragma once
// Sends pings through one hidden web view, one at a time in the order they
// were asked for: the browser engine makes each request and follows its
// redirects, the ping succeeds when the response it ends at has a 2xx
// status, and that response is then refused, so no body is loaded or shown.
// The view is of the "WK" kind with a non-persistent data store of its own
// (its cookies and storage are apart from every other web view's and end
// with it) and JavaScript off, 1 by 1 point in the SDK's placeholder window.
// A ping ends only when the engine reports the load's end; the engine's own
// time-out applies.
//
// A web view holds a web process and, with a data store of its own, a
// network process of the engine. Pings come now and then, so the view is
// let go once no ping has been waiting for kIdleSeconds, and made again
// for the next one: between bursts of pings the pinger holds no process.
//
// Threading: pingURLString from any thread. The queue of pings and the web
// view live on the main thread, where the pinger is made and released; each
// completion runs on its caller's queue.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "ads/web/net/DZURLPingData.h"
#include "core/Queue.h"
#include "web/WebViewDelegate.h"

namespace web {
class WebView;
}  // namespace web

namespace ads {

class DZWebViewPinger : public web::WebViewDelegate,
                        public std::enable_shared_from_this<DZWebViewPinger> {
public:
    // How long the view stays with no ping waiting before it is let go.
    static constexpr double kIdleSeconds = 1;

    // Whether web views can be made here: true until one failed to start.
    [[nodiscard]] static bool isAvailable();
    // nullptr when no web view can be made. Main thread.
    [[nodiscard]] static std::shared_ptr<DZWebViewPinger> create();
    ~DZWebViewPinger() override;
    DZWebViewPinger(const DZWebViewPinger&) = delete;
    DZWebViewPinger& operator=(const DZWebViewPinger&) = delete;

    // Queues a ping. The completion, when given with a queue, gets the
    // outcome there; a text that is not an http or https URL fails at once
    // without entering the queue.
    void pingURLString(const std::string& urlString, std::shared_ptr<core::Queue> queue,
                       std::function<void(bool)> completion);

    // Main thread; nullptr while the pinger is idle.
    [[nodiscard]] const std::shared_ptr<web::WebView>& webView() const { return webView_; }
    // The ping in progress and those waiting.
    [[nodiscard]] size_t queuedPingCount() const { return webViewPingQueue_.size(); }

    // web::WebViewDelegate.
    bool shouldStartLoad(web::WebView& view, const web::NavigationAction& action) override;
    bool shouldAcceptResponse(web::WebView& view, const core::HTTPURLResponse& response,
                              bool mainFrame) override;
    void didFinishLoad(web::WebView& view) override;
    void didFailLoad(web::WebView& view, const web::LoadError& error) override;

private:
    DZWebViewPinger() = default;

    // Makes the web view and puts it in the placeholder window; false when
    // the engine cannot make one.
    bool makeWebView();
    // Lets the view go once the queue has stayed empty for kIdleSeconds.
    void letWebViewGoWhenIdle();
    void releaseWebView();
    // Loads the head of the queue.
    void sendNextPing();
    // Ends the head with the outcome, then goes on with the next.
    void loadFinishedWithSuccess(bool success);

    std::shared_ptr<web::WebView> webView_;
    bool receivedValidResponse_ = false;
    // Counts the times the queue went empty: a wait for idleness that
    // another has followed lets nothing go.
    std::uint64_t idleSerial_ = 0;
    std::deque<DZURLPingData> webViewPingQueue_;
};

}  // namespace ads
