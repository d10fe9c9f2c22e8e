// DZRequest: requests rebuilt for the SDK's own adapters from what a
// mediation request tells them, with the mediation extras.

#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZDevice.h"
#include "ads/mediation/core/DZMediationAdRequest.h"

namespace ads {

namespace {

constexpr const char* kSimulatorTestDevice = "Simulator";

}  // namespace

std::shared_ptr<DZRequest>
DZRequest::requestWithMediationAdRequest(const DZMediationAdRequest& mediationRequest) {
    auto request = DZRequest::request();
    if (mediationRequest.testMode()) {
        request->setTestDevices(
            core::Array{kSimulatorTestDevice, DZDevice::sharedInstance()->deviceIdentifier()});
    }
    if (const auto childDirected = mediationRequest.childDirectedTreatment())
        request->tagForChildDirectedTreatment(*childDirected);
    if (mediationRequest.userHasLocation()) {
        request->setLocationWithLatitude(mediationRequest.userLatitude(),
                                         mediationRequest.userLongitude(),
                                         mediationRequest.userLocationAccuracyInMeters());
    } else if (const auto description = mediationRequest.userLocationDescription()) {
        request->setLocationWithDescription(description);
    }
    request->setGender(mediationRequest.userGender());
    request->setBirthday(mediationRequest.userBirthday());
    request->setKeywords(mediationRequest.userKeywords());
    const auto* internal = dynamic_cast<const DZMediationAdRequestInternal*>(&mediationRequest);
    request->setRequestAgent(internal ? internal->userRequestAgent() : std::nullopt);
    request->configureNetworkExtrasWithMediationAdRequest(&mediationRequest);
    request->addAdapterListWithMediationAdRequest(internal);
    return request;
}

void DZRequest::configureNetworkExtrasWithMediationAdRequest(
    const DZMediationAdRequest* mediationRequest) {
    if (!mediationRequest) return;
    const auto given = std::dynamic_pointer_cast<DZExtras>(mediationRequest->networkExtras());
    core::Dictionary parameters = given && given->additionalParameters()
                                      ? *given->additionalParameters()
                                      : core::Dictionary();
    std::shared_ptr<const DZAdNativeProperties> native;
    if (const core::Value* url = parameters.find("_mediationRequestUrl"))
        parameters.set("_requestUrl", *url);
    if (const auto credentials = mediationRequest->credentials())
        if (const core::Value* hac = credentials->find("mad_hac")) parameters.set("mad_hac", *hac);
    parameters.set("gw", "1");
    if (const auto* internal =
            dynamic_cast<const DZMediationAdRequestInternal*>(mediationRequest)) {
        if (const auto extras = internal->extras())
            for (const auto& [key, value] : *extras)
                if (value.string()) parameters.set(key, value);
        if (auto inlined = internal->inlineAd()) {
            parameters.set("_ad", std::move(inlined->dictionary));
            native = std::make_shared<const DZAdNativeProperties>(std::move(inlined->native));
        }
    }
    // Registered extras are shared with the request's copies: a new object.
    auto extras = given ? given->copy() : std::make_shared<DZExtras>();
    extras->setAdditionalParameters(std::move(parameters));
    extras->setInlineAdNativeProperties(std::move(native));
    registerAdNetworkExtras(std::move(extras));
}

void DZRequest::addAdapterListWithMediationAdRequest(
    const DZMediationAdRequestInternal* mediationRequest) {
    if (!mediationRequest) return;
    const auto current = mediationRequest->currentAdapterName();
    if (!current) return;
    core::Array names = mediationRequest->adapterNames();
    if (names.empty()) names.emplace_back(*current);
    setPrivateMediationExtras(core::Dictionary{{"man", std::move(names)}, {"mcan", *current}});
}

}  // namespace ads
