#pragma once
// An immutable location: a precise position (latitude, longitude, accuracy,
// time) or a free-text description. Its dictionary form is what an ad
// request carries: "time" in microseconds since 1970, "lat" and "long" in
// ten-millionths of a degree truncated toward zero, "radius" in millimetres.
//
// Two precise locations are equal when they send the same "lat", "long" and
// whole millimetres of radius, so equal values always hash alike; other
// locations compare by description. A value type, safe to share between
// threads; a copy keeps every field, its timestamp included.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/Value.h"

namespace ads {

class DZLocation {
public:
    // The single-precision machine epsilon.
    static constexpr double kEpsilon = 1.1920928955078125e-7;

    // Stamped with the current wall time.
    DZLocation(double latitude, double longitude, double accuracy);
    // Timestamp 0; none reads as the empty text.
    explicit DZLocation(const std::optional<std::string>& locationDescription);
    // From a dictionary form; missing keys (or a non-dictionary) read as 0.
    [[nodiscard]] static DZLocation fromDictionary(const core::Value& dictionary);

    [[nodiscard]] bool isPreciseLocation() const;
    // The stored description; else "%f,%f" of a precise position; else "".
    [[nodiscard]] std::string locationDescription() const;
    // None for a location that is not precise.
    [[nodiscard]] const std::optional<core::Dictionary>& dictionaryRepresentation() const {
        return dictionaryRepresentation_;
    }

    [[nodiscard]] double latitude() const { return latitude_; }
    [[nodiscard]] double longitude() const { return longitude_; }
    [[nodiscard]] double accuracy() const { return accuracy_; }
    [[nodiscard]] double timestamp() const { return timestamp_; }

    [[nodiscard]] bool isEqual(const DZLocation& other) const;
    [[nodiscard]] std::size_t hash() const;
    friend bool operator==(const DZLocation& a, const DZLocation& b) { return a.isEqual(b); }

private:
    DZLocation(double latitude, double longitude, double accuracy, double timestamp,
               std::optional<std::string> description);

    // degrees x 1e7 truncated toward zero; a product that misses an integer
    // only by the rounding of the multiplication counts as that integer, so
    // a dictionary form read back gives the same "lat" and "long".
    [[nodiscard]] static std::int64_t scaledCoordinate(double degrees);
    [[nodiscard]] std::int64_t radiusMillimetres() const;

    double timestamp_ = 0;
    std::optional<core::Dictionary> dictionaryRepresentation_;
    std::optional<std::string> locationDescription_;
    double latitude_ = 0;
    double longitude_ = 0;
    double accuracy_ = 0;
};

}  // namespace ads

template <>
struct std::hash<ads::DZLocation> {
    std::size_t operator()(const ads::DZLocation& location) const { return location.hash(); }
};
