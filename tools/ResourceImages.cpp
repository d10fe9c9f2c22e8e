#include "ResourceImages.h"

#include <cmath>
#include <numbers>

#include "QrPattern.h"
#include "VectorPen.h"

namespace tools {

namespace {

using gfx::Canvas;
using gfx::Color;
using gfx::Point;
using gfx::Rect;

constexpr double kPi = std::numbers::pi;
constexpr double kGlyphLine = 2;

const Color kGlyph = Color::white();

// A stretchable dark texture: faint diagonal slices over #2b2b2b.
void drawSlice(Canvas& canvas) {
    const Rect bounds{0, 0, 100, 100};
    canvas.fillRect(bounds, Color::fromRGB(0x2b2b2b));
    canvas.save();
    canvas.clipToRect(bounds);
    VectorPen pen(canvas);
    for (double x = -100; x <= 100; x += 12.5) pen.moveTo({x, 100}).lineTo({x + 100, 0});
    pen.stroke(Color::white().withAlpha(0.045), 4);
    canvas.restore();
}

// Two round lobes meeting in a dip, flowing down into the tip, in 30x30.
void heartPath(VectorPen& pen) {
    constexpr double radius = 5.6;
    constexpr double lobeY = 10.8;
    constexpr double lobeOffset = 4.8;
    constexpr double tipY = 24.6;
    const double dip =
        std::atan2(-std::sqrt(radius * radius - lobeOffset * lobeOffset), lobeOffset);
    const Point left{15 - lobeOffset, lobeY};
    const Point right{15 + lobeOffset, lobeY};
    pen.moveTo({15, tipY})
        .curveTo({11, 21.2}, {left.x - radius, 16.2}, {left.x - radius, lobeY})
        .arc(left, radius, kPi, 2 * kPi + dip)
        .arc(right, radius, kPi - dip, 2 * kPi)
        .curveTo({right.x + radius, 16.2}, {19, 21.2}, {15, tipY})
        .close();
}

void drawHeartOutline(Canvas& canvas) {
    VectorPen pen(canvas);
    heartPath(pen);
    pen.stroke(kGlyph, kGlyphLine);
}

void drawHeartFilled(Canvas& canvas) {
    VectorPen pen(canvas);
    heartPath(pen);
    pen.fill(Color::fromRGB(0xff3b5c));
}

void drawBack(Canvas& canvas) {
    VectorPen(canvas).moveTo({18.5, 7}).lineTo({10.5, 15}).lineTo({18.5, 23}).stroke(kGlyph, 2.5);
}

// An open box with an arrow rising out of it.
void drawShare(Canvas& canvas) {
    VectorPen pen(canvas);
    pen.moveTo({11.5, 11}).lineTo({7.5, 11}).lineTo({7.5, 25.5}).lineTo({22.5, 25.5});
    pen.lineTo({22.5, 11}).lineTo({18.5, 11});
    pen.moveTo({15, 4}).lineTo({15, 18});
    pen.moveTo({10.5, 8.5}).lineTo({15, 4}).lineTo({19.5, 8.5});
    pen.stroke(kGlyph, kGlyphLine);
}

// An arrow coming down onto a tray.
void drawDownload(Canvas& canvas) {
    VectorPen pen(canvas);
    pen.moveTo({15, 4.5}).lineTo({15, 18.5});
    pen.moveTo({10.5, 14}).lineTo({15, 18.5}).lineTo({19.5, 14});
    pen.moveTo({6, 18.5}).lineTo({6, 24.5}).lineTo({24, 24.5}).lineTo({24, 18.5});
    pen.stroke(kGlyph, kGlyphLine);
}

void drawSearch(Canvas& canvas) {
    const Point centre{13, 13};
    constexpr double radius = 7.5;
    VectorPen(canvas).arc(centre, radius, 0, 2 * kPi).close().stroke(kGlyph, kGlyphLine);
    const double edge = radius * std::numbers::sqrt2 / 2 + 1;
    VectorPen(canvas)
        .moveTo({centre.x + edge, centre.y + edge})
        .lineTo({24.5, 24.5})
        .stroke(kGlyph, 2.5);
}

// 29 modules of 8 points, centred with a 34-point quiet zone: module edges
// fall on whole pixels at both scales, so the grid stays crisp.
void drawQrCode(Canvas& canvas) {
    constexpr double size = 300;
    constexpr double module = 8;
    constexpr double margin = (size - module * QrPattern::kModules) / 2;
    canvas.fillRect({0, 0, size, size}, Color::white());
    const QrPattern pattern(0x5641'4e54);
    VectorPen pen(canvas);
    for (int row = 0; row < QrPattern::kModules; ++row) {
        for (int column = 0; column < QrPattern::kModules; ++column) {
            if (!pattern.isDark(row, column)) continue;
            pen.rect({margin + column * module, margin + row * module, module, module});
        }
    }
    pen.fill(Color::black());
}

// A deep blue to violet rounded square with a landscape photo in white.
void drawAppIcon(Canvas& canvas) {
    const Rect bounds{0, 0, 60, 60};
    canvas.save();
    canvas.clipToRoundedRect(bounds, 13.5);
    canvas.fillLinearGradient(
        bounds, {{0, 0}, {60, 60}, {{0, Color::fromRGB(0x1c2a8c)}, {1, Color::fromRGB(0x7a3ee6)}}});

    const Rect frame{13, 16, 34, 28};
    canvas.strokeRoundedRect(frame, 4.5, kGlyph, 2.5);
    canvas.save();
    canvas.clipToRoundedRect(frame.inset(1, 1), 3.5);
    VectorPen far(canvas);
    far.moveTo({13, 44}).lineTo({20, 34}).lineTo({27, 44}).close();
    far.fill(kGlyph.withAlpha(0.6));
    VectorPen near(canvas);
    near.moveTo({17, 44}).lineTo({27.5, 29.5}).lineTo({33, 37}).lineTo({37, 32.5});
    near.lineTo({47, 44}).close();
    near.fill(kGlyph);
    canvas.restore();
    canvas.fillEllipse({34.5, 20.5, 6, 6}, kGlyph);
    canvas.restore();
}

}  // namespace

const std::vector<ResourceImage>& resourceImages() {
    static const std::vector<ResourceImage> images = {
        {"bg_slice", {100, 100}, drawSlice},    {"heart_L", {30, 30}, drawHeartOutline},
        {"heart_F", {30, 30}, drawHeartFilled}, {"back", {30, 30}, drawBack},
        {"share_F", {30, 30}, drawShare},       {"download_L", {30, 30}, drawDownload},
        {"search_L", {30, 30}, drawSearch},     {"qr_code", {300, 300}, drawQrCode},
        {"Icon-60", {60, 60}, drawAppIcon},
    };
    return images;
}

}  // namespace tools
