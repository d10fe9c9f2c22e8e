#include "ads/web/view/DZWebViewDelegate.h"

namespace ads {

bool DZWebViewDelegate::shouldStartLoadWithRequest(DZWebView&, const core::URLRequest&, long) {
    return true;
}

void DZWebViewDelegate::webViewDidStartLoad(DZWebView&) {}

void DZWebViewDelegate::webViewDidFinishLoad(DZWebView&) {}

void DZWebViewDelegate::didFailLoadWithError(DZWebView&, const Error&) {}

void DZWebViewDelegate::webViewWebProcessDidTerminate(DZWebView&) {}

void DZWebViewDelegate::webViewDidChangeHistory(DZWebView&) {}

void DZWebViewDelegate::runJavaScriptAlertPanelWithTitle(DZWebView&, const std::string&,
                                                         const std::string&,
                                                         std::function<void()> completion) {
    if (completion) completion();
}

}  // namespace ads
