// WebView: the page's zoom, applied through the engine's zoom level.

#include <algorithm>
#include <cmath>

#include "ui/DeviceProfile.h"
#include "web/WebViewEngine.h"

namespace web {

void WebView::setZoomLevel(double level) {
    if (!std::isfinite(level) || level <= 0 || level == zoom_) return;
    zoom_ = level;
    const double scale = std::max(1.0, ui::DeviceProfile::current().scale);
    webkit_web_view_set_zoom_level(engine_->page, scale * zoom_);
}

}  // namespace web
