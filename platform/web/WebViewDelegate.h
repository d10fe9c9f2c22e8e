#pragma once
// What a web view tells and asks its owner, on the main thread. Every method
// has a default that does what the view does without a delegate.
//
// Per main-frame load: didStartLoad once, then either didFinishLoad or
// didFailLoad exactly once (didCommitLoad in between when the page was
// shown). A refused navigation produces none of them. A load that another
// one replaces, or that stopLoading() ends, fails with LoadError::kCancelled.

#include <functional>
#include <string>

#include "core/HTTPURLResponse.h"
#include "gfx/Geometry.h"
#include "web/LoadError.h"
#include "web/NavigationAction.h"

namespace web {

class WebView;

enum class WebProcessTermination { crashed, exceededMemoryLimit, endedByApp };

class WebViewDelegate {
public:
    virtual ~WebViewDelegate() = default;

    // False: nothing is loaded for the navigation. Default: allow.
    virtual bool shouldStartLoad(WebView& view, const NavigationAction& action);
    virtual void didStartLoad(WebView& view);
    virtual void didCommitLoad(WebView& view);
    virtual void didFinishLoad(WebView& view);
    virtual void didFailLoad(WebView& view, const LoadError& error);
    // For each frame's document response (the main frame's
    // status is also kept by the view). False cancels the load, which then
    // fails. Default: accept.
    virtual bool shouldAcceptResponse(WebView& view, const core::HTTPURLResponse& response,
                                      bool mainFrame);
    // The page's alert(); the page waits until completion runs. Default:
    // completes at once.
    virtual void runJavaScriptAlert(WebView& view, const std::string& title,
                                    const std::string& message, std::function<void()> completion);
    // The view's web process ended: it crashed, the engine ended it for
    // going over the context's memory limit, or the app ended it
    // (WebView::terminateWebProcess). A load under way has failed with
    // LoadError::kWebProcessTerminated just before. The page shows nothing
    // until the next load, which starts a new process.
    virtual void webProcessDidTerminate(WebView& view, WebProcessTermination reason);
    // The page's content size in points changed.
    virtual void contentSizeDidChange(WebView& view, gfx::Size size);
    // The view's history gained or lost entries, or a step moved in it, so
    // canGoBack() and canGoForward() may answer anew. Also told for what
    // no load tells of: navigations within the page (a fragment,
    // pushState) and steps between entries of one document.
    virtual void didChangeHistory(WebView& view);
};

}  // namespace web
