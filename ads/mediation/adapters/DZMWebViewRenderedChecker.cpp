#include "ads/mediation/adapters/DZMWebViewRenderedChecker.h"

#include <cmath>
#include <cstdint>

#include "ads/foundation/DZViewImaging.h"
#include "gfx/Canvas.h"
#include "web/WebView.h"

namespace ads {

namespace {

// One 8-bit channel of a colour as a byte of the bitmap gives it back.
double channel(std::uint32_t pixel, int shift) {
    return double((pixel >> shift) & 0xffu) / 255.0;
}

}  // namespace

std::shared_ptr<DZMWebViewRenderedChecker>
DZMWebViewRenderedChecker::create(const std::shared_ptr<web::WebView>& webView,
                                  std::weak_ptr<DZMWebViewRenderedCheckerDelegate> delegate) {
    if (!webView) return nullptr;
    return std::shared_ptr<DZMWebViewRenderedChecker>(
        new DZMWebViewRenderedChecker(webView, std::move(delegate)));
}

void DZMWebViewRenderedChecker::checkIsContentRenderedInWebView() {
    const auto webView = this->webView();
    if (!webView || !delegate()) return;
    DZRenderViewWithFreshWebContent(webView, [weak = weak_from_this()](gfx::ImagePtr snapshot) {
        if (const auto self = weak.lock()) self->report(snapshot);
    });
}

void DZMWebViewRenderedChecker::report(const gfx::ImagePtr& snapshot) {
    const auto webView = this->webView();
    const auto delegate = this->delegate();
    if (!webView || !delegate) return;
    // One pixel per point, whatever the screen's scale.
    const gfx::Size points = webView->frame().size;
    gfx::ImagePtr image;
    if (snapshot && points.width >= 1 && points.height >= 1) {
        image = gfx::Image::draw(points, 1, [&](gfx::Canvas& canvas) {
            canvas.drawImage(*snapshot, gfx::Rect(0, 0, points.width, points.height));
        });
    }
    const double background =
        percentOfImage(image.get(), webView->backgroundColor().value_or(gfx::Color::clear()));
    // No pixels give no share, which is no rendering.
    delegate->webViewIsRendered(*webView, background < kBackgroundLimit);
}

double DZMWebViewRenderedChecker::percentOfImage(const gfx::Image* image, const gfx::Color& color) {
    double equal = 0;
    double unequal = 0;
    if (image) {
        for (const std::uint32_t pixel : image->pixels()) {
            // The bitmap's bytes are premultiplied RGBA; the colour is
            // compared as those bytes read back.
            const gfx::Color seen{channel(pixel, 16), channel(pixel, 8), channel(pixel, 0),
                                  channel(pixel, 24)};
            if (seen == color) {
                ++equal;
            } else {
                ++unequal;
            }
        }
    }
    if (equal + unequal == 0) return std::nan("");
    return equal / (equal + unequal);
}

}  // namespace ads
