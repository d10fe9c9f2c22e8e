#pragma once
// What a DZWebView tells its owner (the ad view), on the main thread. Each
// method's default does what the web view does when its delegate lacks it.
//
// Navigation types are numbers: 0 link clicked, 1 form submitted, 2
// back/forward, 3 reload, 4 form resubmitted, 5 other.

#include <functional>
#include <string>

#include "ads/core/request/DZError.h"
#include "core/URLRequest.h"
#include "gfx/Geometry.h"

namespace ads {

class DZWebView;

class DZWebViewDelegate {
public:
    virtual ~DZWebViewDelegate() = default;

    // False: nothing loads for the navigation. Default: allow.
    virtual bool shouldStartLoadWithRequest(DZWebView& webView, const core::URLRequest& request,
                                            long navigationType);
    virtual void webViewDidStartLoad(DZWebView& webView);
    virtual void webViewDidFinishLoad(DZWebView& webView);
    virtual void didFailLoadWithError(DZWebView& webView, const Error& error);
    // The page's web process ended (crashed, over its memory limit, or let
    // go by the SDK); a load under way has failed just before. The page is
    // gone until the next load.
    virtual void webViewWebProcessDidTerminate(DZWebView& webView);
    // The page's history gained or lost entries or moved, loads aside (a
    // navigation within the page, a step within one document): canGoBack
    // and canGoForward may answer anew.
    virtual void webViewDidChangeHistory(DZWebView& webView);
    // The page's alert(); the page waits until completion runs. Default:
    // completes at once.
    virtual void runJavaScriptAlertPanelWithTitle(DZWebView& webView, const std::string& title,
                                                  const std::string& message,
                                                  std::function<void()> completion);
};

class DZWebViewContentSizeDelegate {
public:
    virtual ~DZWebViewContentSizeDelegate() = default;
    virtual void didChangeScrollViewContentSize(DZWebView& webView, gfx::Size size) = 0;
};

}  // namespace ads
