#include "ui/Renderer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/Console.h"
#include "core/FileManager.h"
#include "gfx/Bitmap.h"
#include "gfx/Canvas.h"
#include "ui/DeviceProfile.h"
#include "ui/Label.h"
#include "ui/LayerTransition.h"
#include "ui/VisualEffectView.h"
#include "ui/Window.h"

namespace ui {

namespace {

// Views are drawn as they show now: their presentation while they animate
// (View::presentationBounds and the others).

void fillBackground(gfx::Canvas& canvas, const View& view, const gfx::Rect& bounds) {
    const auto color = view.presentationBackgroundColor();
    if (!color || color->alpha <= 0) return;
    if (view.cornerRadius() > 0) {
        canvas.fillRoundedRect(bounds, view.cornerRadius(), *color);
    } else {
        canvas.fillRect(bounds, *color);
    }
}

void clip(gfx::Canvas& canvas, const View& view, const gfx::Rect& bounds) {
    if (view.cornerRadius() > 0) {
        canvas.clipToRoundedRect(bounds, view.cornerRadius());
    } else {
        canvas.clipToRect(bounds);
    }
}

void strokeBorder(gfx::Canvas& canvas, const View& view, const gfx::Rect& b) {
    const double width = std::min({view.borderWidth(), b.width() / 2, b.height() / 2});
    const auto color = view.borderColor();
    if (width <= 0 || !color) return;
    const gfx::Rect inner(b.minX() + width / 2, b.minY() + width / 2, b.width() - width,
                          b.height() - width);
    const double radius = std::max(0.0, view.cornerRadius() - width / 2);
    if (radius > 0) {
        canvas.strokeRoundedRect(inner, radius, *color, width);
    } else {
        canvas.strokeRect(inner, *color, width);
    }
}

// What has been drawn so far under the view's bounds, in device pixels of
// the surface being drawn on (a group's when inside a transparency layer).
struct Backdrop {
    gfx::ImagePtr image;
    gfx::Rect pixelRect;  // device space
};

Backdrop captureBackdrop(gfx::Canvas& canvas, const View& view) {
    cairo_t* cr = canvas.native();
    cairo_surface_t* target = cairo_get_group_target(cr);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) return {};
    cairo_surface_flush(target);
    double offsetX = 0;
    double offsetY = 0;
    cairo_surface_get_device_offset(target, &offsetX, &offsetY);
    const gfx::Rect device = canvas.transform().apply(view.bounds());
    const int width = cairo_image_surface_get_width(target);
    const int height = cairo_image_surface_get_height(target);
    const int x0 = std::max(0, int(std::floor(device.minX() + offsetX)));
    const int y0 = std::max(0, int(std::floor(device.minY() + offsetY)));
    const int x1 = std::min(width, int(std::ceil(device.maxX() + offsetX)));
    const int y1 = std::min(height, int(std::ceil(device.maxY() + offsetY)));
    if (x1 <= x0 || y1 <= y0) return {};
    const unsigned char* data = cairo_image_surface_get_data(target);
    const int stride = cairo_image_surface_get_stride(target);
    if (!data) return {};
    gfx::Image::Pixels pixels(size_t(x1 - x0) * size_t(y1 - y0));
    for (int y = y0; y < y1; ++y) {
        std::memcpy(&pixels[size_t(y - y0) * size_t(x1 - x0)], data + size_t(y) * stride + x0 * 4,
                    size_t(x1 - x0) * 4);
    }
    auto image = gfx::Image::create(x1 - x0, y1 - y0, std::move(pixels));
    if (!image) return {};
    return {image, gfx::Rect(x0 - offsetX, y0 - offsetY, x1 - x0, y1 - y0)};
}

// The blurred backdrop over the style's base colour, then its tint, inside
// the view's bounds.
void drawEffect(gfx::Canvas& canvas, const VisualEffectView& view, const Backdrop& backdrop) {
    canvas.save();
    clip(canvas, view, view.bounds());
    canvas.fillRect(view.bounds(), view.baseColor());
    if (backdrop.image) {
        const gfx::AffineTransform device = canvas.transform();
        const double pixelsPerPoint =
            std::sqrt(std::abs(device.a * device.d - device.b * device.c));
        // A wide blur is taken where its deviation spans a few pixels and
        // stretched back (smooth enough for it), so that it stays cheap at
        // full screen in every frame of an animation.
        const double sigma = VisualEffectView::kBlurRadius * pixelsPerPoint;
        constexpr double kSigmaPixels = 4;
        const double shrink = std::max(1.0, sigma / kSigmaPixels);
        const gfx::Image& image = *backdrop.image;
        const auto small =
            shrink > 1 ? image.scaled({std::ceil(image.pixelWidth() / shrink),
                                       std::ceil(image.pixelHeight() / shrink)})
                       : backdrop.image;
        const auto blurred =
            small ? small->blurred(sigma * small->pixelWidth() / image.pixelWidth()) : nullptr;
        if (blurred) {
            canvas.save();
            cairo_identity_matrix(canvas.native());
            canvas.drawImage(*blurred, backdrop.pixelRect);
            canvas.restore();
        }
    }
    canvas.fillRect(view.bounds(), view.tintColor());
    canvas.restore();
}

// A label's shadow: its glyphs as drawn, blurred, filled with the shadow's
// colour and moved by its offset, within the label's bounds. The blur is
// taken at a resolution where its deviation spans a few pixels, so that a
// wide blur stays cheap; it is smooth enough to be stretched back.
void drawLabelShadow(gfx::Canvas& canvas, const View& view) {
    const auto* label = dynamic_cast<const Label*>(&view);
    if (!label || !label->shadow() || label->text().empty()) return;
    const gfx::Shadow& shadow = *label->shadow();
    if (shadow.color.alpha <= 0 || view.bounds().isEmpty()) return;
    const gfx::AffineTransform device = canvas.transform();
    const double deviceScale = std::sqrt(std::abs(device.a * device.d - device.b * device.c));
    const double sigma = std::max(0.0, shadow.blurRadius) / 2;
    constexpr double kSigmaPixels = 4;
    const double scale = sigma > 0 ? std::min(deviceScale, kSigmaPixels / sigma) : deviceScale;
    const double margin = std::ceil(3 * sigma);
    const gfx::Rect area = view.bounds().inset(-margin, -margin);
    const auto glyphs = gfx::Bitmap::create(area.size, scale);
    if (!glyphs) return;
    glyphs->canvas().translate(-area.minX(), -area.minY());
    label->draw(glyphs->canvas(), view.bounds());
    const auto mask = glyphs->makeImage()->blurred(sigma * scale);
    if (!mask) return;
    canvas.save();
    canvas.clipToRect(view.bounds());
    canvas.fillWithMask(*mask, area.offset(shadow.offset.width, shadow.offset.height),
                        shadow.color);
    canvas.restore();
}

void drawContent(gfx::Canvas& canvas, const View& view, const Backdrop* backdrop);

// Whether the window's own opaque background covers every pixel of the
// surface, so that nothing of the last frame needs erasing first.
bool paintsEveryPixel(const Window& window, const gfx::Bitmap& surface) {
    const auto color = window.backgroundColor();
    const gfx::Size points = window.bounds().size;
    return color && color->alpha >= 1 && window.cornerRadius() <= 0 && window.alpha() >= 1 &&
           !window.isHidden() && points.width * surface.scale() == surface.pixelWidth() &&
           points.height * surface.scale() == surface.pixelHeight();
}

double pixelsPerPoint(const gfx::Canvas& canvas) {
    const gfx::AffineTransform device = canvas.transform();
    return std::sqrt(std::abs(device.a * device.d - device.b * device.c));
}

// Keeps what the view shows within its bounds, for the next layer
// transition it shows to start from.
void retainDrawing(const gfx::Canvas& canvas, const View& view) {
    const gfx::Rect bounds = view.presentationBounds();
    if (bounds.isEmpty()) return;
    const auto bitmap = gfx::Bitmap::create(bounds.size, std::max(1.0, pixelsPerPoint(canvas)));
    if (!bitmap) return;
    bitmap->canvas().translate(-bounds.minX(), -bounds.minY());
    drawContent(bitmap->canvas(), view, nullptr);
    view.setLastDrawing(bitmap->makeImage());
}

// Where the new content of a layer transition starts from, in points.
gfx::Point transitionStart(LayerTransition::Subtype subtype, const gfx::Rect& bounds) {
    switch (subtype) {
    case LayerTransition::Subtype::FromRight:
        return {bounds.width(), 0};
    case LayerTransition::Subtype::FromTop:
        return {0, -bounds.height()};
    case LayerTransition::Subtype::FromBottom:
        return {0, bounds.height()};
    case LayerTransition::Subtype::Unset:
    case LayerTransition::Subtype::FromLeft:
        break;
    }
    return {-bounds.width(), 0};
}

// A layer transition at its progress: the old content (the view's drawing
// from before) and the new (the view as it is) moved or blended.
void drawTransition(gfx::Canvas& canvas, const View& view, const View::ShownTransition& shown,
                    const Backdrop* backdrop) {
    const gfx::Rect bounds = view.presentationBounds();
    const double p = shown.progress;
    const gfx::Point start = transitionStart(shown.transition.subtype, bounds);
    const auto drawOld = [&](gfx::Point offset, double alpha) {
        if (!shown.before) return;
        canvas.save();
        canvas.translate(offset.x, offset.y);
        canvas.drawImage(*shown.before, bounds, alpha);
        canvas.restore();
    };
    const auto drawNew = [&](gfx::Point offset) {
        canvas.save();
        canvas.translate(offset.x, offset.y);
        drawContent(canvas, view, backdrop);
        canvas.restore();
    };
    canvas.save();
    if (view.clipsToBounds()) clip(canvas, view, bounds);
    switch (shown.transition.type) {
    case LayerTransition::Type::Fade: {
        // Each side weighted, added: an even blend where both cover.
        cairo_t* cr = canvas.native();
        canvas.beginTransparencyLayer();
        drawOld({0, 0}, 1 - p);
        cairo_push_group(cr);
        drawNew({0, 0});
        cairo_pop_group_to_source(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
        cairo_paint_with_alpha(cr, p);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        canvas.endTransparencyLayer(1);
        break;
    }
    case LayerTransition::Type::MoveIn:
        drawOld({0, 0}, 1);
        drawNew({start.x * (1 - p), start.y * (1 - p)});
        break;
    case LayerTransition::Type::Push:
        drawOld({-start.x * p, -start.y * p}, 1);
        drawNew({start.x * (1 - p), start.y * (1 - p)});
        break;
    case LayerTransition::Type::Reveal:
        drawNew({0, 0});
        drawOld({-start.x * p, -start.y * p}, 1);
        break;
    }
    canvas.restore();
}

// Draws a subview in its superview's coordinates.
void drawView(gfx::Canvas& canvas, const View& view) {
    const double alpha = view.presentationAlpha();
    if (view.isHidden() || alpha <= 0) return;
    canvas.save();
    const gfx::Point center = view.presentationCenter();
    const gfx::Point middle = view.presentationBounds().center();
    canvas.translate(center.x, center.y);
    canvas.concat(view.presentationTransform());
    canvas.translate(-middle.x, -middle.y);
    const auto shown = view.shownTransition();
    if (view.retainsLastDrawing()) retainDrawing(canvas, view);
    // The backdrop is taken before the view's own layer hides it.
    Backdrop backdrop;
    const bool effect = dynamic_cast<const VisualEffectView*>(&view) != nullptr;
    if (effect) backdrop = captureBackdrop(canvas, view);
    const bool layer = alpha < 1;
    if (layer) canvas.beginTransparencyLayer();
    if (shown) {
        drawTransition(canvas, view, *shown, effect ? &backdrop : nullptr);
    } else {
        drawContent(canvas, view, effect ? &backdrop : nullptr);
    }
    if (layer) canvas.endTransparencyLayer(alpha);
    canvas.restore();
}

// Draws the view in its own coordinates: background (or effect), content,
// subviews, border.
void drawContent(gfx::Canvas& canvas, const View& view, const Backdrop* backdrop) {
    const gfx::Rect bounds = view.presentationBounds();
    canvas.save();
    if (view.clipsToBounds()) clip(canvas, view, bounds);
    if (backdrop) drawEffect(canvas, static_cast<const VisualEffectView&>(view), *backdrop);
    fillBackground(canvas, view, bounds);
    drawLabelShadow(canvas, view);
    view.draw(canvas, view.bounds());
    for (const auto& subview : view.subviews()) drawView(canvas, *subview);
    canvas.restore();
    strokeBorder(canvas, view, bounds);
}

}  // namespace

gfx::ImagePtr Renderer::render(Window& window) {
    return render(window, DeviceProfile::current().scale);
}

gfx::ImagePtr Renderer::render(Window& window, double scale) {
    const gfx::Bitmap* frame = drawFrame(window, scale);
    return frame ? frame->makeImage() : nullptr;
}

const gfx::Bitmap* Renderer::drawFrame(Window& window, double scale) {
    window.layoutTree();
    const gfx::Rect bounds = window.bounds();
    std::shared_ptr<gfx::Bitmap> surface = window.frameSurface();
    if (surface && surface->matches(bounds.size, scale)) {
        if (paintsEveryPixel(window, *surface)) {
            surface->resetCanvas();
        } else {
            surface->clear();
        }
    } else {
        surface = gfx::Bitmap::create(bounds.size, scale);
        window.setFrameSurface(surface);
        if (!surface) return nullptr;
    }
    gfx::Canvas& canvas = surface->canvas();
    canvas.save();
    canvas.translate(-bounds.origin.x, -bounds.origin.y);
    drawContent(canvas, window, nullptr);
    canvas.restore();
    return surface.get();
}

const gfx::Bitmap* Renderer::drawFrame(Window& window, double scale, const gfx::Rect& region,
                                       gfx::Rect* drawnPixels) {
    const auto whole = [&]() -> const gfx::Bitmap* {
        const gfx::Bitmap* frame = drawFrame(window, scale);
        if (frame && drawnPixels)
            *drawnPixels = gfx::Rect(0, 0, frame->pixelWidth(), frame->pixelHeight());
        return frame;
    };
    window.layoutTree();
    const gfx::Rect bounds = window.bounds();
    const std::shared_ptr<gfx::Bitmap> surface = window.frameSurface();
    if (!surface || !surface->matches(bounds.size, scale)) return whole();
    const gfx::Rect pixels =
        gfx::Rect((region.minX() - bounds.minX()) * scale, (region.minY() - bounds.minY()) * scale,
                  region.width() * scale, region.height() * scale)
            .integral()
            .intersection(gfx::Rect(0, 0, surface->pixelWidth(), surface->pixelHeight()));
    if (drawnPixels) *drawnPixels = pixels;
    if (pixels.isEmpty()) return surface.get();

    surface->resetCanvas();
    gfx::Canvas& canvas = surface->canvas();
    canvas.save();
    canvas.translate(-bounds.origin.x, -bounds.origin.y);
    canvas.clipToRect({bounds.minX() + pixels.minX() / scale, bounds.minY() + pixels.minY() / scale,
                       pixels.width() / scale, pixels.height() / scale});
    if (!paintsEveryPixel(window, *surface)) {
        cairo_t* cr = canvas.native();
        cairo_save(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    drawContent(canvas, window, nullptr);
    canvas.restore();
    return surface.get();
}

void Renderer::drawViewHierarchy(View& view, gfx::Canvas& canvas, const gfx::Rect& rect) {
    view.layoutIfNeeded();
    const gfx::Rect bounds = view.bounds();
    if (view.isHidden() || view.presentationAlpha() <= 0 || bounds.isEmpty() || rect.isEmpty())
        return;
    canvas.save();
    canvas.translate(rect.minX(), rect.minY());
    canvas.scale(rect.width() / bounds.width(), rect.height() / bounds.height());
    canvas.translate(-bounds.minX(), -bounds.minY());
    const double alpha = view.presentationAlpha();
    const bool layer = alpha < 1;
    if (layer) canvas.beginTransparencyLayer();
    drawContent(canvas, view, nullptr);
    if (layer) canvas.endTransparencyLayer(alpha);
    canvas.restore();
}

void Renderer::drawContents(const View& view, gfx::Canvas& canvas) {
    drawContent(canvas, view, nullptr);
}

bool Renderer::writePNG(Window& window, const std::string& path) {
    const gfx::Bitmap* frame = drawFrame(window, DeviceProfile::current().scale);
    if (!frame) {
        core::Console::log("Renderer: cannot render the window for '" + path + "'");
        return false;
    }
    const auto bytes = frame->encodePng();
    if (bytes.empty()) {
        core::Console::log("Renderer: cannot encode '" + path + "' as PNG");
        return false;
    }
    if (auto written = core::FileManager::writeAtomically(path, bytes, core::Visibility::everyone);
        !written) {
        core::Console::log("Renderer: " + written.error());
        return false;
    }
    return true;
}

}  // namespace ui
