#pragma once
// The cellular side of the device: the radio access technology in use and
// the subscriber's cellular provider (its mobile country and network codes).
// The technology is the profile's text as is ("LTE", "WCDMA", ...). Facts come from the device
// profile's "network" section ("radioAccessTechnology", "carrier": {"mobileCountryCode",
// "mobileNetworkCode"}); a device without a SIM has no "carrier". Tests replace the facts with
// overrideForTesting(), which posts kRadioAccessTechnologyDidChangeNotification on the default
// notification center when the technology changes. Safe from any thread.

#include <optional>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace ui {

inline constexpr std::string_view kRadioAccessTechnologyDidChangeNotification =
    "RadioAccessTechnologyDidChangeNotification";

struct CellularProvider {
    std::optional<std::string> mobileCountryCode;
    std::optional<std::string> mobileNetworkCode;
    friend bool operator==(const CellularProvider&, const CellularProvider&) = default;
};

struct TelephonyFacts {
    std::optional<std::string> radioAccessTechnology;
    std::optional<CellularProvider> provider;
    friend bool operator==(const TelephonyFacts&, const TelephonyFacts&) = default;

    // From a profile's "network" section; empty texts count as absent.
    [[nodiscard]] static TelephonyFacts fromValue(const core::Value& networkSection);
};

class TelephonyNetworkInfo {
public:
    TelephonyNetworkInfo() = default;

    [[nodiscard]] std::optional<std::string> currentRadioAccessTechnology() const;
    [[nodiscard]] std::optional<CellularProvider> subscriberCellularProvider() const;

    // The facts in effect: the override, else the current device profile's.
    [[nodiscard]] static TelephonyFacts currentFacts();
    // nullopt restores the profile's facts.
    static void overrideForTesting(std::optional<TelephonyFacts> facts);
};

}  // namespace ui
