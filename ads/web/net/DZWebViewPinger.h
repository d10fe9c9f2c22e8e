#pragma once
// Sends pings through one hidden web view, one at a time in the order they
// were asked for: the browser engine makes each request and follows its
// redirects, the ping succeeds when the response it ends at has a 2xx
// status, and that response is then refused, so no body is loaded or shown.
// The view is of the "WK" kind with a non-persistent data store (no cookies
// or storage outlive the process) and JavaScript off, 1 by 1 point in the
// SDK's placeholder window. A ping ends only when the engine reports the
// load's end; the engine's own time-out applies.
//
// Threading: pingURLString from any thread. The queue of pings and the web
// view live on the main thread, where the pinger is made and released; each
// completion runs on its caller's queue.

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

    // Main thread.
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

    // Loads the head of the queue.
    void sendNextPing();
    // Ends the head with the outcome, then goes on with the next.
    void loadFinishedWithSuccess(bool success);

    std::shared_ptr<web::WebView> webView_;
    bool receivedValidResponse_ = false;
    std::deque<DZURLPingData> webViewPingQueue_;
};

}  // namespace ads
