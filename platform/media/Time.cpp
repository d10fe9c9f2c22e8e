#include "media/Time.h"

#include <cmath>

namespace media {

Time Time::seconds(double seconds, std::int32_t timescale) {
    if (timescale <= 0 || !std::isfinite(seconds)) return invalid();
    return Time(static_cast<std::int64_t>(std::llround(seconds * timescale)), timescale);
}

double Time::toSeconds() const {
    if (!isNumeric()) return 0;
    return static_cast<double>(value_) / timescale_;
}

std::strong_ordering operator<=>(const Time& a, const Time& b) {
    const auto rank = [](const Time& time) { return !time.valid_ ? 0 : time.indefinite_ ? 2 : 1; };
    if (rank(a) != rank(b) || rank(a) != 1) return rank(a) <=> rank(b);
    // a.value / a.timescale <=> b.value / b.timescale without rounding.
    const __int128 left = static_cast<__int128>(a.value_) * b.timescale_;
    const __int128 right = static_cast<__int128>(b.value_) * a.timescale_;
    return left <=> right;
}

}  // namespace media
