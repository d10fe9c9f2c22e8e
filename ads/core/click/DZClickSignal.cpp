#include "ads/core/click/DZClickSignal.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "core/Clock.h"
#include "ui/Touch.h"

namespace ads {

namespace {

// A touch older than this tells nothing about a click.
constexpr double kLongestAge = 3600;

std::optional<DZTouchRecord>& latest() {
    static std::optional<DZTouchRecord> record;
    return record;
}

double now() {
    return core::Clock::current()->monotonicSeconds();
}

std::int64_t whole(double value) {
    return std::llround(value);
}

std::string check(std::string_view text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016" PRIx64, hash);
    return buffer;
}

}  // namespace

DZGestureRecognizer::DZGestureRecognizer() {
    setCancelsTouchesInView(false);
}

void DZGestureRecognizer::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
    if (!touches.empty()) {
        const gfx::Point where = touches.front()->locationInView(view());
        latest() = DZTouchRecord{where.x, where.y, now(), 0, std::nullopt};
    }
    ui::GestureRecognizer::touchesBegan(touches, event);
}

void DZGestureRecognizer::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
    if (auto& record = latest(); record && !record->ended) {
        record->ended = now();
        record->held = *record->ended - record->began;
    }
    ui::GestureRecognizer::touchesEnded(touches, event);
}

void DZGestureRecognizer::touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) {
    touchesEnded(touches, event);
}

std::optional<DZTouchRecord> DZLatestTouch() {
    return latest();
}

void DZForgetLatestTouchForTesting() {
    latest().reset();
}

bool DZGestureClickSignal(std::string_view ai, std::string& signal) {
    const auto& record = latest();
    if (ai.empty() || !record) return false;
    const double end = record->ended.value_or(now());
    const double age = now() - end;
    if (age < 0 || age > kLongestAge) return false;
    const std::string numbers = std::to_string(whole(record->x)) + "." +
                                std::to_string(whole(record->y)) + "." +
                                std::to_string(whole((end - record->began) * 1000)) + "." +
                                std::to_string(whole(age * 1000));
    signal = "nb=" + numbers + "." + check(std::string(ai) + "|" + numbers);
    return true;
}

bool DZGestureTouchSignal(double x, double y, double heldSeconds, std::string& signal) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(heldSeconds) || heldSeconds < 0)
        return false;
    const std::string numbers = std::to_string(whole(x)) + "." + std::to_string(whole(y)) + "." +
                                std::to_string(whole(heldSeconds * 1000));
    signal = "nt=" + numbers + "." + check(numbers);
    return true;
}

}  // namespace ads
