#include "ads/foundation/DZLocation.h"

#include <cmath>
#include <functional>
#include <utility>

#include "core/Clock.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

constexpr double kCoordinateScale = 1e7;
constexpr double kRadiusScale = 1000;
constexpr double kTimeScale = 1e6;

std::int64_t saturatingInteger(double value) {
    if (std::isnan(value)) return 0;
    constexpr double kLimit = 9.2e18;
    if (value >= kLimit) return static_cast<std::int64_t>(kLimit);
    if (value <= -kLimit) return -static_cast<std::int64_t>(kLimit);
    return static_cast<std::int64_t>(value);
}

void combine(std::size_t& seed, std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

}  // namespace

DZLocation::DZLocation(double latitude, double longitude, double accuracy)
    : DZLocation(latitude, longitude, accuracy, core::Clock::current()->wallSeconds(),
                 std::nullopt) {}

DZLocation::DZLocation(const std::optional<std::string>& locationDescription)
    : DZLocation(0, 0, 0, 0, locationDescription.value_or(std::string())) {}

DZLocation::DZLocation(double latitude, double longitude, double accuracy, double timestamp,
                       std::optional<std::string> description)
    : timestamp_(timestamp), locationDescription_(std::move(description)), latitude_(latitude),
      longitude_(longitude), accuracy_(accuracy) {
    if (!isPreciseLocation()) return;
    dictionaryRepresentation_ = core::Dictionary{
        {"time", timestamp_ * kTimeScale},
        {"lat", scaledCoordinate(latitude_)},
        {"long", scaledCoordinate(longitude_)},
        {"radius", accuracy_ * kRadiusScale},
    };
}

DZLocation DZLocation::fromDictionary(const core::Value& dictionary) {
    return DZLocation(dictionary["lat"].doubleValue() / kCoordinateScale,
                      dictionary["long"].doubleValue() / kCoordinateScale,
                      dictionary["radius"].doubleValue() / kRadiusScale,
                      dictionary["time"].doubleValue() / kTimeScale, std::nullopt);
}

std::int64_t DZLocation::scaledCoordinate(double degrees) {
    const double product = degrees * kCoordinateScale;
    const double nearest = std::nearbyint(product);
    if (std::fabs(product - nearest) <= 1e-6) return saturatingInteger(nearest);
    return saturatingInteger(std::trunc(product));
}

std::int64_t DZLocation::radiusMillimetres() const {
    return saturatingInteger(std::trunc(accuracy_ * kRadiusScale));
}

bool DZLocation::isPreciseLocation() const {
    return std::fabs(latitude_) <= 90 && std::fabs(longitude_) <= 180 &&
           std::fabs(latitude_) > kEpsilon && std::fabs(longitude_) > kEpsilon;
}

std::string DZLocation::locationDescription() const {
    if (locationDescription_) return *locationDescription_;
    if (isPreciseLocation()) return core::format("%f,%f", latitude_, longitude_);
    return {};
}

bool DZLocation::isEqual(const DZLocation& other) const {
    if (this == &other) return true;
    const bool precise = isPreciseLocation();
    if (precise != other.isPreciseLocation()) return false;
    if (precise) {
        return scaledCoordinate(latitude_) == scaledCoordinate(other.latitude_) &&
               scaledCoordinate(longitude_) == scaledCoordinate(other.longitude_) &&
               radiusMillimetres() == other.radiusMillimetres();
    }
    return locationDescription() == other.locationDescription();
}

std::size_t DZLocation::hash() const {
    if (!isPreciseLocation()) return std::hash<std::string>()(locationDescription());
    std::size_t seed = 0;
    combine(seed, std::hash<std::int64_t>()(scaledCoordinate(latitude_)));
    combine(seed, std::hash<std::int64_t>()(scaledCoordinate(longitude_)));
    combine(seed, std::hash<std::int64_t>()(radiusMillimetres()));
    return seed;
}

}  // namespace ads
