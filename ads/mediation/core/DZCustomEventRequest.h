#pragma once
// What a publisher's custom event learns of the request it serves: a
// snapshot of the targeting its connector answers, whether the request is
// for a test device, and the extras the publisher registered for the
// network's label (DZCustomEventExtras). A value once made; any thread.

#include <cstdint>
#include <optional>
#include <string>

#include "core/Value.h"

namespace ads {

class DZMediationAdRequest;

class DZCustomEventRequest {
public:
    explicit DZCustomEventRequest(const DZMediationAdRequest& connector);

    [[nodiscard]] std::int64_t userGender() const { return userGender_; }
    [[nodiscard]] const std::optional<core::Date>& userBirthday() const { return userBirthday_; }
    [[nodiscard]] bool userHasLocation() const { return userHasLocation_; }
    [[nodiscard]] double userLatitude() const { return userLatitude_; }
    [[nodiscard]] double userLongitude() const { return userLongitude_; }
    [[nodiscard]] double userLocationAccuracyInMeters() const {
        return userLocationAccuracyInMeters_;
    }
    [[nodiscard]] const std::optional<std::string>& userLocationDescription() const {
        return userLocationDescription_;
    }
    [[nodiscard]] const std::optional<core::Array>& userKeywords() const { return userKeywords_; }
    // The publisher's extras for the network's label; nullopt without.
    [[nodiscard]] const std::optional<core::Dictionary>& additionalParameters() const {
        return additionalParameters_;
    }
    [[nodiscard]] bool isTesting() const { return isTesting_; }

private:
    std::int64_t userGender_ = 0;
    std::optional<core::Date> userBirthday_;
    bool userHasLocation_ = false;
    double userLatitude_ = 0;
    double userLongitude_ = 0;
    double userLocationAccuracyInMeters_ = 0;
    std::optional<std::string> userLocationDescription_;
    std::optional<core::Array> userKeywords_;
    std::optional<core::Dictionary> additionalParameters_;
    bool isTesting_ = false;
};

}  // namespace ads
