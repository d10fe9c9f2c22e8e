#include "web/WebViewDelegate.h"

namespace web {

bool WebViewDelegate::shouldStartLoad(WebView&, const NavigationAction&) {
    return true;
}

void WebViewDelegate::didStartLoad(WebView&) {}

void WebViewDelegate::didCommitLoad(WebView&) {}

void WebViewDelegate::didFinishLoad(WebView&) {}

void WebViewDelegate::didFailLoad(WebView&, const LoadError&) {}

bool WebViewDelegate::shouldAcceptResponse(WebView&, const core::HTTPURLResponse&, bool) {
    return true;
}

void WebViewDelegate::runJavaScriptAlert(WebView&, const std::string&, const std::string&,
                                         std::function<void()> completion) {
    if (completion) completion();
}

void WebViewDelegate::webProcessDidTerminate(WebView&, WebProcessTermination) {}

void WebViewDelegate::contentSizeDidChange(WebView&, gfx::Size) {}

void WebViewDelegate::didChangeHistory(WebView&) {}

}  // namespace web
