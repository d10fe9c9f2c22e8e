#include "ads/mediation/core/DZCustomEventRequest.h"

#include <memory>

#include "ads/mediation/core/DZCustomEventExtras.h"
#include "ads/mediation/core/DZMediationAdRequest.h"

namespace ads {

DZCustomEventRequest::DZCustomEventRequest(const DZMediationAdRequest& connector)
    : userGender_(connector.userGender()), userBirthday_(connector.userBirthday()),
      userHasLocation_(connector.userHasLocation()), userLatitude_(connector.userLatitude()),
      userLongitude_(connector.userLongitude()),
      userLocationAccuracyInMeters_(connector.userLocationAccuracyInMeters()),
      userLocationDescription_(connector.userLocationDescription()),
      userKeywords_(connector.userKeywords()), isTesting_(connector.testMode()) {
    const auto extras = std::dynamic_pointer_cast<DZCustomEventExtras>(connector.networkExtras());
    if (!extras) return;
    const auto credentials = connector.credentials();
    const std::string* label = credentials ? (*credentials)["label"].string() : nullptr;
    if (label) additionalParameters_ = extras->extrasForLabel(*label);
}

}  // namespace ads
