#pragma once
// The "UI" kind of DZWebView: the engine's view of that kind, whose page
// loads all pass through the app's URL layer. Its load starts when the
// engine begins a navigation, and it counts its content size as updated
// synchronously. Main thread only.

#include <memory>

#include "ads/web/view/DZWebView.h"

namespace ads {

class DZUIKitWebView : public DZWebView {
public:
    // nullptr when the engine cannot start.
    [[nodiscard]] static std::shared_ptr<DZUIKitWebView>
    create(const gfx::Rect& frame, const DZWebViewConfiguration& configuration = {});

    [[nodiscard]] bool contentSizeUpdatesSynchronously() const override { return true; }

protected:
    bool engineShouldStartLoad(const web::NavigationAction& action) override;
    void engineDidStartLoad() override { didStartLoad(); }

private:
    struct Token {};

public:
    DZUIKitWebView(Token, const gfx::Rect& frame, DZWebViewConfiguration configuration)
        : DZWebView(frame, std::move(configuration)) {}
};

}  // namespace ads
