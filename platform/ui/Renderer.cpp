#include "ui/Renderer.h"

#include "core/Console.h"
#include "core/FileManager.h"
#include "gfx/Bitmap.h"
#include "gfx/Canvas.h"
#include "ui/DeviceProfile.h"
#include "ui/Window.h"

namespace ui {

namespace {

void fillBackground(gfx::Canvas& canvas, const View& view) {
    const auto color = view.backgroundColor();
    if (!color || color->alpha <= 0) return;
    if (view.cornerRadius() > 0) {
        canvas.fillRoundedRect(view.bounds(), view.cornerRadius(), *color);
    } else {
        canvas.fillRect(view.bounds(), *color);
    }
}

void clip(gfx::Canvas& canvas, const View& view) {
    if (view.cornerRadius() > 0) {
        canvas.clipToRoundedRect(view.bounds(), view.cornerRadius());
    } else {
        canvas.clipToRect(view.bounds());
    }
}

void drawContent(gfx::Canvas& canvas, const View& view);

// Draws a subview in its superview's coordinates.
void drawView(gfx::Canvas& canvas, const View& view) {
    if (view.isHidden() || view.alpha() <= 0) return;
    canvas.save();
    const gfx::Point center = view.center();
    const gfx::Point middle = view.bounds().center();
    canvas.translate(center.x, center.y);
    canvas.concat(view.transform());
    canvas.translate(-middle.x, -middle.y);
    const bool layer = view.alpha() < 1;
    if (layer) canvas.beginTransparencyLayer();
    drawContent(canvas, view);
    if (layer) canvas.endTransparencyLayer(view.alpha());
    canvas.restore();
}

// Draws the view in its own coordinates: background, content, subviews.
void drawContent(gfx::Canvas& canvas, const View& view) {
    if (view.clipsToBounds()) clip(canvas, view);
    fillBackground(canvas, view);
    view.draw(canvas, view.bounds());
    for (const auto& subview : view.subviews()) drawView(canvas, *subview);
}

}  // namespace

gfx::ImagePtr Renderer::render(Window& window) {
    return render(window, DeviceProfile::current().scale);
}

gfx::ImagePtr Renderer::render(Window& window, double scale) {
    window.layoutTree();
    const gfx::Rect bounds = window.bounds();
    const auto bitmap = gfx::Bitmap::create(bounds.size, scale);
    if (!bitmap) return nullptr;
    gfx::Canvas& canvas = bitmap->canvas();
    canvas.save();
    canvas.translate(-bounds.origin.x, -bounds.origin.y);
    drawContent(canvas, window);
    canvas.restore();
    return bitmap->makeImage();
}

bool Renderer::writePNG(Window& window, const std::string& path) {
    const auto image = render(window);
    if (!image) {
        core::Console::log("Renderer: cannot render the window for '" + path + "'");
        return false;
    }
    const auto bytes = image->encodePng();
    if (bytes.empty()) {
        core::Console::log("Renderer: cannot encode '" + path + "' as PNG");
        return false;
    }
    if (auto written = core::FileManager::writeAtomically(path, bytes); !written) {
        core::Console::log("Renderer: " + written.error());
        return false;
    }
    return true;
}

}  // namespace ui
