// WebView: history, the engine's own. A step is a load made through the
// view (decided in the policy step like loadRequest), and the engine's list
// tells the delegate of every change to it.

#include "web/WebViewEngine.h"

namespace web {

void WebView::goBack() {
    WebKitBackForwardListItem* item = webkit_back_forward_list_get_back_item(
        webkit_web_view_get_back_forward_list(engine_->page));
    if (!item) return;
    expectAPINavigation(webkit_back_forward_list_item_get_uri(item), false);
    webkit_web_view_go_back(engine_->page);
}

void WebView::goForward() {
    WebKitBackForwardListItem* item = webkit_back_forward_list_get_forward_item(
        webkit_web_view_get_back_forward_list(engine_->page));
    if (!item) return;
    expectAPINavigation(webkit_back_forward_list_item_get_uri(item), false);
    webkit_web_view_go_forward(engine_->page);
}

bool WebView::canGoBack() const {
    return webkit_web_view_can_go_back(engine_->page);
}

bool WebView::canGoForward() const {
    return webkit_web_view_can_go_forward(engine_->page);
}

void WebView::historyChanged() {
    if (const auto delegate = this->delegate()) delegate->didChangeHistory(*this);
}

void WebView::watchHistory() {
    g_signal_connect(webkit_web_view_get_back_forward_list(engine_->page), "changed",
                     G_CALLBACK(+[](WebKitBackForwardList*, WebKitBackForwardListItem*, gpointer,
                                    gpointer data) {
                         WebView& view = static_cast<Engine*>(data)->owner;
                         const auto keep = view.self();
                         view.historyChanged();
                     }),
                     engine_.get());
}

}  // namespace web
