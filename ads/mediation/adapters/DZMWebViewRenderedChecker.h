#pragma once
// Tells whether a web view's page shows anything: each check draws the
// view, with a fresh snapshot of its page, at one pixel per point and
// counts the pixels that equal the view's background colour. The page
// counts as rendered when fewer than nine in ten pixels are background.
// A check's answer comes on the main thread once the snapshot has arrived;
// none comes when the view, the delegate or the checker has gone by then.
// Main thread.

#include <memory>
#include <optional>

#include "gfx/Color.h"
#include "gfx/Image.h"

namespace web {
class WebView;
}

namespace ads {

class DZMWebViewRenderedCheckerDelegate {
public:
    virtual ~DZMWebViewRenderedCheckerDelegate() = default;
    virtual void webViewIsRendered(web::WebView& webView, bool rendered) = 0;
};

class DZMWebViewRenderedChecker : public std::enable_shared_from_this<DZMWebViewRenderedChecker> {
public:
    // Below this share of background pixels a page counts as rendered.
    static constexpr double kBackgroundLimit = 0.9;

    // Both are held weakly; nullptr without a web view.
    [[nodiscard]] static std::shared_ptr<DZMWebViewRenderedChecker>
    create(const std::shared_ptr<web::WebView>& webView,
           std::weak_ptr<DZMWebViewRenderedCheckerDelegate> delegate);

    void checkIsContentRenderedInWebView();
    // The share of the image's pixels whose RGBA bytes (premultiplied, as
    // drawn) give the colour; NaN for an image without pixels.
    [[nodiscard]] static double percentOfImage(const gfx::Image* image, const gfx::Color& color);

    [[nodiscard]] std::shared_ptr<web::WebView> webView() const { return webView_.lock(); }
    [[nodiscard]] std::shared_ptr<DZMWebViewRenderedCheckerDelegate> delegate() const {
        return delegate_.lock();
    }

private:
    DZMWebViewRenderedChecker(const std::shared_ptr<web::WebView>& webView,
                              std::weak_ptr<DZMWebViewRenderedCheckerDelegate> delegate)
        : webView_(webView), delegate_(std::move(delegate)) {}
    void report(const gfx::ImagePtr& snapshot);

    std::weak_ptr<web::WebView> webView_;
    std::weak_ptr<DZMWebViewRenderedCheckerDelegate> delegate_;
};

}  // namespace ads
