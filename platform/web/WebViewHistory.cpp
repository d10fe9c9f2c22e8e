// WebView: history, the engine's own. A step is a load made through the
// view (decided in the policy step like loadRequest), and the engine's list
// tells the delegate of every change to it.

#include <algorithm>
#include <string_view>

#include "web/WebViewEngine.h"

namespace web {

namespace {

std::string_view withoutFragment(std::string_view url) {
    return url.substr(0, url.find('#'));
}

}  // namespace

void WebView::expectStep(const char* target) {
    if (!target) return;
    // An earlier expectation of the same address still here was a step
    // within its document, which the engine never asks about, or one this
    // step supersedes: it must not take this one's place.
    const std::string key = Engine::key(target);
    std::erase_if(engine_->apiNavigations,
                  [&](const Engine::APINavigation& issued) { return issued.key == key; });
    // A step to another entry of the document shown (its address differs in
    // the fragment alone) loads nothing: the engine asks nothing about it.
    // Entries of one address may be documents of their own (a form's result).
    const char* shown = webkit_web_view_get_uri(engine_->page);
    if (shown && std::string_view(shown) != target &&
        withoutFragment(shown) == withoutFragment(target))
        return;
    expectAPINavigation(target, false);
}

void WebView::goBack() {
    WebKitBackForwardListItem* item = webkit_back_forward_list_get_back_item(
        webkit_web_view_get_back_forward_list(engine_->page));
    if (!item) return;
    expectStep(webkit_back_forward_list_item_get_uri(item));
    webkit_web_view_go_back(engine_->page);
}

void WebView::goForward() {
    WebKitBackForwardListItem* item = webkit_back_forward_list_get_forward_item(
        webkit_web_view_get_back_forward_list(engine_->page));
    if (!item) return;
    expectStep(webkit_back_forward_list_item_get_uri(item));
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
