#pragma once
// Shared by the mediation tests: adapters and custom events whose behaviour
// the network entry of the response sets, the response JSON they run in,
// and a banner slot owner that makes banner connectors.
//
// A scripted adapter reads its network's "data":
//   "behaviour": "fill" (a view, or an interstitial), "noFill" (the SDK's
//                code 1), "error" (code 2), "silent" (never answers);
//   "delay":     seconds of the manual clock before it answers (0: at once).
// Every adapter made is kept in ScriptedAdapter::made(), so a test can make
// one click, present full screen, send app events or answer late.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZAdType.h"
#include "ads/foundation/DZBlockTimer.h"
#include "ads/mediation/adapters/DZCustomEventBanner.h"
#include "ads/mediation/adapters/DZCustomEventInterstitial.h"
#include "ads/mediation/core/DZCustomEventRequest.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMAdNetworkConnector.h"
#include "ads/mediation/core/DZMAdNetworkConnectorBanner.h"
#include "ads/mediation/core/DZMAdNetworkConnectorInterstitial.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "core/Timer.h"
#include "ui/View.h"

namespace mediationtesting {

inline constexpr const char* kScriptedAdapter = "ScriptedAdapter";

class ScriptedAdapter : public ads::DZMAdNetworkAdapter,
                        public std::enable_shared_from_this<ScriptedAdapter> {
public:
    explicit ScriptedAdapter(const std::shared_ptr<ads::DZMAdNetworkConnector>& connector)
        : connector_(connector), networkID_(connector->networkConfig()->networkID()) {}

    // Every adapter made since the test began, kept for it to look at.
    static std::vector<std::shared_ptr<ScriptedAdapter>>& made() {
        static std::vector<std::shared_ptr<ScriptedAdapter>> adapters;
        return adapters;
    }
    // The latest adapter made for a network.
    static std::shared_ptr<ScriptedAdapter> forNetwork(const std::string& networkID) {
        for (auto it = made().rbegin(); it != made().rend(); ++it)
            if ((*it)->networkID() == networkID) return *it;
        return nullptr;
    }
    static void registerClasses() {
        ads::DZMClassDescription description;
        description.name = kScriptedAdapter;
        description.protocols = {ads::DZMProtocol::adNetworkAdapter};
        description.instanceSelectors = {ads::DZMSelector::getBannerWithSize,
                                         ads::DZMSelector::getInterstitial};
        description.adapterVersion = "scripted-1";
        description.answersNetworkExtrasClass = true;
        description.networkExtrasClass = "DZExtras";
        description.makeAdapter = [](const std::shared_ptr<ads::DZMAdNetworkConnector>& connector) {
            auto adapter = std::make_shared<ScriptedAdapter>(connector);
            made().push_back(adapter);
            return adapter;
        };
        ads::DZMClassRegistry::registerClass(description);
    }

    void getBannerWithSize(const ads::DZAdSize& adSize) override {
        bannerSizes.push_back(adSize);
        interstitial_ = false;
        schedule();
    }
    void getInterstitial() override {
        interstitial_ = true;
        schedule();
    }
    bool changeAdSizeTo(const ads::DZAdSize& adSize) override {
        changedSizes.push_back(adSize);
        return takesSizes;
    }
    void
    presentInterstitialFromRootViewController(const std::shared_ptr<ui::ViewController>&) override {
        ++presented;
    }
    void stopBeingDelegate() override {
        stopped = true;
        if (timer_) timer_->invalidate();
    }

    // Answers now as the script says, even after stopBeingDelegate (a late
    // answer).
    void answer() {
        const auto connector = connector_.lock();
        if (!connector) return;
        const std::string behaviour = setting("behaviour").value_or("fill");
        if (behaviour == "fill") {
            if (interstitial_) {
                connector->adapterDidReceiveInterstitial(this);
            } else {
                view = std::make_shared<ui::View>(gfx::Rect(0, 0, 320, 50));
                connector->adapterDidReceiveAdView(this, view);
            }
        } else if (behaviour == "noFill") {
            connector->adapterDidFailAd(this, ads::DZErrorWithCodeDescription(1, "no fill"));
        } else if (behaviour == "error") {
            connector->adapterDidFailAd(this, ads::DZErrorWithCodeDescription(2, "broken"));
        }
    }
    // What the network does later, told to the connector as it is.
    template <typename Call>
    void tell(const Call& call) {
        if (const auto connector = connector_.lock()) call(*connector, this);
    }

    [[nodiscard]] const std::string& networkID() const { return networkID_; }
    [[nodiscard]] std::shared_ptr<ads::DZMAdNetworkConnector> connector() const {
        return connector_.lock();
    }

    std::vector<ads::DZAdSize> bannerSizes;
    std::vector<ads::DZAdSize> changedSizes;
    bool takesSizes = true;
    int presented = 0;
    std::shared_ptr<ui::View> view;
    bool stopped = false;

private:
    [[nodiscard]] std::optional<std::string> setting(const char* key) const {
        const auto connector = connector_.lock();
        const auto credentials = connector ? connector->credentials() : std::nullopt;
        const core::Value value = credentials ? (*credentials)[key] : core::Value();
        if (value.isNull()) return std::nullopt;
        return value.stringValue();
    }
    void schedule() {
        if (setting("behaviour") == "silent") return;
        const double delay = std::stod(setting("delay").value_or("0"));
        if (delay <= 0) {
            answer();
            return;
        }
        timer_ = ads::DZCreateBlockTimer(
            false,
            [weak = weak_from_this()](core::Timer&) {
                if (const auto self = weak.lock(); self && !self->stopped) self->answer();
            },
            delay, 0);
    }

    std::weak_ptr<ads::DZMAdNetworkConnector> connector_;
    const std::string networkID_;
    std::shared_ptr<core::Timer> timer_;
    bool interstitial_ = false;
};

// A custom event banner whose server parameter is its behaviour: "fill"
// delivers a view at once, "noFill" fails, anything else waits. Instances
// are kept in made().
class ScriptedBannerEvent : public ads::DZCustomEventBanner {
public:
    static constexpr const char* kName = "ScriptedBannerEvent";
    static std::vector<std::shared_ptr<ScriptedBannerEvent>>& made() {
        static std::vector<std::shared_ptr<ScriptedBannerEvent>> events;
        return events;
    }
    static void registerClass() {
        auto description = ads::DZCustomEventClassDescription<ScriptedBannerEvent>(kName);
        description.makeObject = [] {
            auto event = std::make_shared<ScriptedBannerEvent>();
            made().push_back(event);
            return event;
        };
        ads::DZMClassRegistry::registerClass(description);
    }
    static std::shared_ptr<ScriptedBannerEvent> latest() {
        return made().empty() ? nullptr : made().back();
    }

    void requestBannerAd(const ads::DZAdSize& adSize, const std::optional<std::string>& parameter,
                         const std::optional<std::string>& label,
                         const ads::DZCustomEventRequest& request) override {
        size = adSize;
        serverParameter = parameter;
        serverLabel = label;
        additionalParameters = request.additionalParameters();
        testing = request.isTesting();
        const auto delegate = this->delegate();
        if (!delegate) return;
        if (parameter == "fill") {
            view = std::make_shared<ui::View>(gfx::Rect(0, 0, 320, 50));
            delegate->customEventBannerDidReceiveAd(*this, view);
        } else if (parameter == "noFill") {
            delegate->customEventBannerDidFailAd(*this, ads::DZErrorWithCodeDescription(1, "none"));
        }
    }

    ads::DZAdSize size;
    std::optional<std::string> serverParameter;
    std::optional<std::string> serverLabel;
    std::optional<core::Dictionary> additionalParameters;
    bool testing = false;
    std::shared_ptr<ui::View> view;
};

// Adopts only the banner protocol.
class BannerOnlyEvent : public ads::DZCustomEventBanner {
public:
    static constexpr const char* kName = "BannerOnlyEvent";
    void requestBannerAd(const ads::DZAdSize&, const std::optional<std::string>&,
                         const std::optional<std::string>&,
                         const ads::DZCustomEventRequest&) override {}
};

// Classes that are only facts: an adapter of the old API (adopts the
// protocol, answers neither request), a class that answers a banner request
// but adopts no adapter protocol, a rewarded adapter, and a subclass of the
// scripted adapter that declares nothing itself.
inline void registerFactClasses() {
    ads::DZMClassDescription old;
    old.name = "OldAdapter";
    old.protocols = {ads::DZMProtocol::adNetworkAdapter};
    ads::DZMClassRegistry::registerClass(old);
    ads::DZMClassDescription notAdapter;
    notAdapter.name = "NotAnAdapter";
    notAdapter.instanceSelectors = {ads::DZMSelector::getBannerWithSize};
    ads::DZMClassRegistry::registerClass(notAdapter);
    ads::DZMClassDescription rewarded;
    rewarded.name = "RewardedAdapter";
    rewarded.protocols = {ads::DZMProtocol::rewardBasedVideoAdNetworkAdapter};
    ads::DZMClassRegistry::registerClass(rewarded);
    ads::DZMClassDescription sub;
    sub.name = "ScriptedSubAdapter";
    sub.superclassName = kScriptedAdapter;
    ads::DZMClassRegistry::registerClass(sub);
}

// Registers the classes and forgets the instances of earlier tests.
inline void registerTestClasses() {
    ScriptedAdapter::made().clear();
    ScriptedBannerEvent::made().clear();
    registerFactClasses();
    ScriptedAdapter::registerClasses();
    ScriptedBannerEvent::registerClass();
    ads::DZMClassRegistry::registerClass(
        ads::DZCustomEventClassDescription<BannerOnlyEvent>(BannerOnlyEvent::kName));
}

// One network entry of a response for the scripted adapter.
inline core::Dictionary scriptedNetwork(const std::string& id, const std::string& behaviour,
                                        double delay = 0, core::Dictionary more = {}) {
    core::Dictionary data{{"behaviour", behaviour}, {"delay", std::to_string(delay)}};
    core::Dictionary network{{"id", id},
                             {"adapters", core::Array{kScriptedAdapter}},
                             {"allocation_id", "alloc-" + id},
                             {"data", std::move(data)}};
    for (const auto& [key, value] : more) network.set(key, value);
    return network;
}

// A network served by the custom event adapter with that class and
// parameter.
inline core::Dictionary customEventNetwork(const std::string& id, const std::string& className,
                                           const std::string& parameter,
                                           core::Dictionary more = {}) {
    core::Dictionary network{
        {"id", id},
        {"adapters", core::Array{"DZMAdapterCustomEvents"}},
        {"allocation_id", "alloc-" + id},
        {"data", core::Dictionary{{"class_name", className}, {"parameter", parameter}}}};
    for (const auto& [key, value] : more) network.set(key, value);
    return network;
}

}  // namespace mediationtesting
