#include "ads/web/view/DZUIKitWebView.h"

namespace ads {

std::shared_ptr<DZUIKitWebView>
DZUIKitWebView::create(const gfx::Rect& frame, const DZWebViewConfiguration& configuration) {
    auto view = std::make_shared<DZUIKitWebView>(Token{}, frame, configuration);
    web::WebViewConfiguration engine;
    engine.kind = web::WebViewConfiguration::Kind::UI;
    engine.ownWebProcess = configuration.ownWebProcess();
    engine.maximumNavigationURLBytes = configuration.maximumMessageURLBytes();
    if (!view->setUp(std::move(engine))) return nullptr;
    return view;
}

bool DZUIKitWebView::engineShouldStartLoad(const web::NavigationAction& action) {
    const bool allowed = askDelegate(action.request, long(action.type));
    didMakeLoadDecision(allowed, action.request);
    return allowed;
}

}  // namespace ads
