#include "ads/mediation/core/DZMClassRegistry.h"

#include <algorithm>

#include "ads/mediation/adapters/DZMAdURLAdapter.h"
#include "ads/mediation/adapters/DZMAdapterCustomEvents.h"
#include "ads/mediation/adapters/DZMAdapterDozuzaVuRazAds.h"
#include "ads/mediation/adapters/DZMAdapterHTML.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"

namespace ads {

std::string_view DZMProtocolName(DZMProtocol protocol) {
    switch (protocol) {
    case DZMProtocol::adNetworkAdapter:
        return "DZMAdNetworkAdapter";
    case DZMProtocol::rewardBasedVideoAdNetworkAdapter:
        return "DZMRewardBasedVideoAdNetworkAdapter";
    case DZMProtocol::customEventBanner:
        return "DZCustomEventBanner";
    case DZMProtocol::customEventInterstitial:
        return "DZCustomEventInterstitial";
    case DZMProtocol::customEventNativeAd:
        return "DZCustomEventNativeAd";
    }
    return {};
}

std::string_view DZMSelectorName(DZMSelector selector) {
    switch (selector) {
    case DZMSelector::getBannerWithSize:
        return "getBannerWithSize:";
    case DZMSelector::getInterstitial:
        return "getInterstitial";
    case DZMSelector::getNativeAdWithAdTypesOptions:
        return "getNativeAdWithAdTypes:options:";
    case DZMSelector::initWithRewardBasedVideoAdNetworkConnector:
        return "initWithRewardBasedVideoAdNetworkConnector:";
    case DZMSelector::initWithRewardBasedVideoAdNetworkConnectorCredentials:
        return "initWithRewardBasedVideoAdNetworkConnector:credentials:";
    case DZMSelector::initWithDZMAdNetworkConnector:
        return "initWithDZMAdNetworkConnector:";
    case DZMSelector::setUp:
        return "setUp";
    case DZMSelector::setUpWithUserID:
        return "setUpWithUserID:";
    case DZMSelector::requestNativeAdWithParameter:
        return "requestNativeAdWithParameter:request:adTypes:options:rootViewController:";
    }
    return {};
}

DZMClassRegistry& DZMClassRegistry::shared() {
    static auto* const registry = new DZMClassRegistry;
    return *registry;
}

DZMClassRegistry::DZMClassRegistry() {
    add(DZMAdapterHTML::classDescription());
    add(DZMAdapterCustomEvents::classDescription());
    add(DZMAdURLAdapter::classDescription());
    add(DZMAdapterDozuzaVuRazAds::classDescription());
}

void DZMClassRegistry::registerClass(DZMClassDescription description) {
    shared().add(std::move(description));
}

void DZMClassRegistry::add(DZMClassDescription description) {
    if (description.name.empty()) return;
    auto entry = std::make_shared<const DZMClassDescription>(std::move(description));
    const std::lock_guard lock(mutex_);
    classes_[entry->name] = std::move(entry);
}

void DZMClassRegistry::unregisterClass(std::string_view name) {
    const std::lock_guard lock(mutex_);
    if (const auto found = classes_.find(name); found != classes_.end()) classes_.erase(found);
}

std::shared_ptr<const DZMClassDescription>
DZMClassRegistry::classNamed(std::string_view name) const {
    const std::lock_guard lock(mutex_);
    const auto found = classes_.find(name);
    return found == classes_.end() ? nullptr : found->second;
}

std::vector<std::shared_ptr<const DZMClassDescription>>
DZMClassRegistry::lineage(std::string_view name) const {
    std::vector<std::shared_ptr<const DZMClassDescription>> chain;
    auto current = classNamed(name);
    while (current) {
        const bool seen = std::any_of(chain.begin(), chain.end(),
                                      [&](const auto& entry) { return entry == current; });
        if (seen) break;
        chain.push_back(current);
        if (!current->superclassName) break;
        current = classNamed(*current->superclassName);
    }
    return chain;
}

bool DZMClassRegistry::conformsToProtocol(std::string_view name, DZMProtocol protocol) const {
    const auto chain = lineage(name);
    return std::any_of(chain.begin(), chain.end(),
                       [&](const auto& entry) { return entry->protocols.count(protocol) != 0; });
}

bool DZMClassRegistry::instancesRespondToSelector(std::string_view name,
                                                  DZMSelector selector) const {
    const auto chain = lineage(name);
    return std::any_of(chain.begin(), chain.end(), [&](const auto& entry) {
        return entry->instanceSelectors.count(selector) != 0;
    });
}

// The class-side tests of the adapter protocol.

std::vector<std::string>
DZMAdNetworkAdapter::availableAdapterNamesInSet(const std::vector<std::string>& names) {
    const auto& registry = DZMClassRegistry::shared();
    std::vector<std::string> available;
    for (const auto& name : names) {
        if (std::find(available.begin(), available.end(), name) != available.end()) continue;
        if (registry.conformsToProtocol(name, DZMProtocol::adNetworkAdapter))
            available.push_back(name);
    }
    return available;
}

bool DZMAdNetworkAdapter::classIsAdapterClass(std::string_view className) {
    const auto& registry = DZMClassRegistry::shared();
    return registry.conformsToProtocol(className, DZMProtocol::adNetworkAdapter) ||
           registry.conformsToProtocol(className, DZMProtocol::rewardBasedVideoAdNetworkAdapter);
}

bool DZMAdNetworkAdapter::classImplementsCurrentAdapterAPI(std::string_view className) {
    const auto& registry = DZMClassRegistry::shared();
    return registry.instancesRespondToSelector(className, DZMSelector::getBannerWithSize) ||
           registry.instancesRespondToSelector(className, DZMSelector::getInterstitial) ||
           registry.conformsToProtocol(className, DZMProtocol::rewardBasedVideoAdNetworkAdapter);
}

}  // namespace ads
