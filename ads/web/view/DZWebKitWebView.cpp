#include "ads/web/view/DZWebKitWebView.h"

#include "core/UserDefaults.h"

namespace ads {

namespace {

std::atomic<bool>& available() {
    static std::atomic<bool> flag{true};
    return flag;
}

}  // namespace

bool DZWebKitWebView::isAvailable() {
    return available().load();
}

void DZWebKitWebView::setAvailable(bool isAvailable) {
    available().store(isAvailable);
}

std::shared_ptr<DZWebKitWebView>
DZWebKitWebView::create(const gfx::Rect& frame, const DZWebViewConfiguration& configuration) {
    if (!isAvailable()) return nullptr;
    auto view = std::make_shared<DZWebKitWebView>(Token{}, frame, configuration);
    web::WebViewConfiguration engine;
    engine.kind = web::WebViewConfiguration::Kind::WK;
    engine.ownWebProcess = configuration.ownWebProcess();
    engine.maximumNavigationURLBytes = configuration.maximumMessageURLBytes();
    if (!view->setUp(std::move(engine))) return nullptr;
    // Starts the web process; the policy step refuses the page itself.
    if (core::UserDefaults::standard()->boolForKey(kInitializationLoadKey))
        view->webView()->loadHTMLString("<html></html>", core::URL::create(kInitializationURL));
    return view;
}

DZWebKitWebView::DZWebKitWebView(Token, const gfx::Rect& frame,
                                 DZWebViewConfiguration configuration)
    : DZWebView(frame, std::move(configuration)),
      scalesPageToFit_(this->configuration().scalesPageToFit()) {}

bool DZWebKitWebView::engineShouldStartLoad(const web::NavigationAction& action) {
    if (action.request.url().absoluteString() == kInitializationURL) return false;
    const bool allowed = askDelegate(action.request, long(action.type));
    didMakeLoadDecision(allowed, action.request);
    return allowed;
}

void DZWebKitWebView::loadHTMLString(const std::optional<std::string>& html,
                                     const std::optional<core::URL>& baseURL) {
    loadUserScripts();
    DZWebView::loadHTMLString(html, baseURL);
}

void DZWebKitWebView::loadRequest(const core::URLRequest& request) {
    loadUserScripts();
    DZWebView::loadRequest(request);
}

void DZWebKitWebView::addUserScript(const std::string& source,
                                    web::WebView::InjectionTime injectionTime) {
    webView()->addUserScript(source, injectionTime, true);
}

void DZWebKitWebView::loadUserScripts() {
    loadMRAID();
    loadViewport();
}

void DZWebKitWebView::loadMRAID() {
    if (isMRAIDLoaded_) return;
    const auto delegate = MRAIDDelegate();
    if (!delegate) return;
    const auto url = delegate->MRAIDJavaScriptURLStringForWebView(*this);
    if (!url || url->empty()) return;
    addUserScript(MRAIDScript(*url), web::WebView::InjectionTime::documentStart);
    isMRAIDLoaded_ = true;
}

void DZWebKitWebView::loadViewport() {
    if (isViewportLoaded_) return;
    isViewportLoaded_ = true;
    if (scalesPageToFit_) return;
    const core::Value fromServer = core::UserDefaults::standard()->objectForKey(kViewportScriptKey);
    const bool serverScript = fromServer.isString() && !fromServer.stringValue().empty();
    addUserScript(serverScript ? fromServer.stringValue() : viewportScript(),
                  web::WebView::InjectionTime::documentEnd);
}

}  // namespace ads
