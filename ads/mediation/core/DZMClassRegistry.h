#pragma once
// The classes of the mediation layer, found by name: network adapters and a
// publisher's custom events. A mediation response names the classes that
// may serve a network ("adapters", "class_name"); the waterfall looks each
// name up here, reads what the class adopts and answers, and makes its
// instances through the class's factories.
//
// The SDK registers its built-in adapters on first use (the HTML adapter,
// the custom event adapter, the ad URL adapter and the own network's
// adapter); a host app adds its own adapters and custom event classes with
// registerClass(), the one public call. A later registration of a name
// replaces the earlier one.
//
// Thread-safe: lookups and registrations may come from any thread.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/Value.h"

namespace ads {

class DZCustomEvent;
class DZMAdNetworkAdapter;
class DZMAdNetworkConnector;
class DZMRewardBasedVideoAdNetworkAdapter;
class DZMRewardBasedVideoAdNetworkConnector;

// The protocols a class may adopt.
enum class DZMProtocol {
    adNetworkAdapter,
    rewardBasedVideoAdNetworkAdapter,
    customEventBanner,
    customEventInterstitial,
    customEventNativeAd,
};

// What instances of a class may answer beyond their protocols' required
// operations.
enum class DZMSelector {
    getBannerWithSize,
    getInterstitial,
    getNativeAdWithAdTypesOptions,
    initWithRewardBasedVideoAdNetworkConnector,
    initWithRewardBasedVideoAdNetworkConnectorCredentials,
    initWithDZMAdNetworkConnector,
    setUp,
    setUpWithUserID,
    requestNativeAdWithParameter,
};

// "DZMAdNetworkAdapter", "DZCustomEventInterstitial", ...
[[nodiscard]] std::string_view DZMProtocolName(DZMProtocol protocol);
// The operation's full name, "getBannerWithSize:", ...
[[nodiscard]] std::string_view DZMSelectorName(DZMSelector selector);

struct DZMClassDescription {
    using AdapterFactory = std::function<std::shared_ptr<DZMAdNetworkAdapter>(
        const std::shared_ptr<DZMAdNetworkConnector>& connector)>;
    using ObjectFactory = std::function<std::shared_ptr<DZCustomEvent>()>;
    using RewardedAdapterFactory = std::function<std::shared_ptr<DZMRewardBasedVideoAdNetworkAdapter>(
        const std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector>& connector)>;
    using RewardedAdapterCredentialsFactory =
        std::function<std::shared_ptr<DZMRewardBasedVideoAdNetworkAdapter>(
            const std::shared_ptr<DZMRewardBasedVideoAdNetworkConnector>& connector,
            const core::Array& credentials)>;

    std::string name;
    // Its protocols and operations count for this class too.
    std::optional<std::string> superclassName;
    std::set<DZMProtocol> protocols;
    std::set<DZMSelector> instanceSelectors;
    // The class-side version text; nullopt when the class does not answer.
    std::optional<std::string> adapterVersion;
    // Whether the class answers networkExtrasClass, and its answer (the
    // extras class name, or none).
    bool answersNetworkExtrasClass = false;
    std::optional<std::string> networkExtrasClass;
    // An instance made with the connector (initWithDZMAdNetworkConnector:).
    AdapterFactory makeAdapter;
    // An instance made with the plain initializer.
    ObjectFactory makeObject;
    // Rewarded adapters, each used only when instanceSelectors names its
    // initializer: made with the rewarded connector
    // (initWithRewardBasedVideoAdNetworkConnector:), with the connector and
    // the credentials of several app-settings entries
    // (initWithRewardBasedVideoAdNetworkConnector:credentials:), or with
    // the rewarded connector in place of a banner connector
    // (initWithDZMAdNetworkConnector:).
    RewardedAdapterFactory makeRewardedAdapter;
    RewardedAdapterCredentialsFactory makeRewardedAdapterWithCredentials;
    RewardedAdapterFactory makeRewardedAdapterWithAdNetworkConnector;
};

class DZMClassRegistry {
public:
    // The process-wide registry, with the built-in adapters registered.
    [[nodiscard]] static DZMClassRegistry& shared();

    // Adds a class, or replaces the one of the same name. A description
    // without a name is ignored.
    static void registerClass(DZMClassDescription description);
    // Forgets a class (tests).
    void unregisterClass(std::string_view name);

    [[nodiscard]] std::shared_ptr<const DZMClassDescription>
    classNamed(std::string_view name) const;
    [[nodiscard]] bool classExists(std::string_view name) const {
        return classNamed(name) != nullptr;
    }
    // The class or one of its superclasses adopts the protocol.
    [[nodiscard]] bool conformsToProtocol(std::string_view name, DZMProtocol protocol) const;
    // Instances of the class or of one of its superclasses answer it.
    [[nodiscard]] bool instancesRespondToSelector(std::string_view name,
                                                  DZMSelector selector) const;

private:
    DZMClassRegistry();
    void add(DZMClassDescription description);
    // The class and its superclasses, nearest first; a loop ends the walk.
    [[nodiscard]] std::vector<std::shared_ptr<const DZMClassDescription>>
    lineage(std::string_view name) const;

    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<const DZMClassDescription>, std::less<>> classes_;
};

}  // namespace ads
