#pragma once
// Shared by the rewarded video tests: scripted rewarded adapters registered
// under several class names, and a host delegate that records what it
// hears.
//
// A scripted adapter reads its connector's credentials (the network's
// "data"):
//   "setUp":   "succeed" (the default), "fail", or "wait" (the test reports
//              with reportSetUp());
//   "answer":  "fill" (the default), "noFill" (code 1), "error" (code 2) or
//              "silent";
//   "label":   a name the adapter's log carries.
// The answer is read at each request, so each network entry of a class
// drives its own turn. Every request is logged in requests() as
// "<class> <label>".

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZError.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "ads/mediation/rewarded/DZMRewardBasedVideoAdNetworkAdapter.h"
#include "ads/mediation/rewarded/DZMRewardBasedVideoAdNetworkConnector.h"
#include "ads/presentation/rewarded/DZAdReward.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAd.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAdDelegate.h"

namespace rewardedtesting {

// Made with the rewarded connector, set up with setUp.
inline constexpr const char* kAlpha = "ScriptedRewardedAlpha";
inline constexpr const char* kBeta = "ScriptedRewardedBeta";
// Made with the connector and the credentials of several app-settings
// entries, set up with setUpWithUserID.
inline constexpr const char* kMulti = "ScriptedRewardedMulti";
// Made, but answers neither set-up.
inline constexpr const char* kNoSetUp = "ScriptedRewardedNoSetUp";

class ScriptedRewardedAdapter : public ads::DZMRewardBasedVideoAdNetworkAdapter {
public:
    ScriptedRewardedAdapter(std::string className,
                            const std::shared_ptr<ads::DZMRewardBasedVideoAdNetworkConnector>& connector,
                            core::Array multipleCredentials = {})
        : className_(std::move(className)), connector_(connector),
          multipleCredentials_(std::move(multipleCredentials)) {}

    static std::vector<std::shared_ptr<ScriptedRewardedAdapter>>& made() {
        static std::vector<std::shared_ptr<ScriptedRewardedAdapter>> adapters;
        return adapters;
    }
    static std::vector<std::string>& requests() {
        static std::vector<std::string> log;
        return log;
    }
    static std::shared_ptr<ScriptedRewardedAdapter> latest(const std::string& className) {
        for (auto it = made().rbegin(); it != made().rend(); ++it)
            if ((*it)->className_ == className) return *it;
        return nullptr;
    }
    static void registerClasses() {
        for (const char* name : {kAlpha, kBeta}) {
            ads::DZMClassDescription description;
            description.name = name;
            description.protocols = {ads::DZMProtocol::rewardBasedVideoAdNetworkAdapter};
            description.instanceSelectors = {
                ads::DZMSelector::initWithRewardBasedVideoAdNetworkConnector, ads::DZMSelector::setUp};
            description.makeRewardedAdapter = [name](const auto& connector) { return make(name, connector); };
            ads::DZMClassRegistry::registerClass(std::move(description));
        }
        ads::DZMClassDescription multi;
        multi.name = kMulti;
        multi.protocols = {ads::DZMProtocol::rewardBasedVideoAdNetworkAdapter};
        multi.instanceSelectors = {ads::DZMSelector::initWithRewardBasedVideoAdNetworkConnectorCredentials,
                                   ads::DZMSelector::initWithRewardBasedVideoAdNetworkConnector,
                                   ads::DZMSelector::setUpWithUserID};
        multi.makeRewardedAdapter = [](const auto& connector) { return make(kMulti, connector); };
        multi.makeRewardedAdapterWithCredentials = [](const auto& connector, const core::Array& all) {
            return make(kMulti, connector, all);
        };
        ads::DZMClassRegistry::registerClass(std::move(multi));
        ads::DZMClassDescription none;
        none.name = kNoSetUp;
        none.protocols = {ads::DZMProtocol::rewardBasedVideoAdNetworkAdapter};
        none.instanceSelectors = {ads::DZMSelector::initWithRewardBasedVideoAdNetworkConnector};
        none.makeRewardedAdapter = [](const auto& connector) { return make(kNoSetUp, connector); };
        ads::DZMClassRegistry::registerClass(std::move(none));
    }
    static void reset() {
        made().clear();
        requests().clear();
    }

    void setUp() override { startSetUp("setUp"); }
    void setUpWithUserID(const std::optional<std::string>&) override { startSetUp("setUpWithUserID"); }
    void requestRewardBasedVideoAd() override {
        const auto connector = connector_.lock();
        if (!connector) return;
        const auto data = connector->credentials().value_or(core::Dictionary());
        requests().push_back(className_ + " " + data["label"].stringValue());
        const std::string answer = data["answer"].string() ? *data["answer"].string() : "fill";
        if (answer == "fill") {
            connector->adapterDidReceiveRewardBasedVideoAd(this);
        } else if (answer == "noFill") {
            connector->adapterDidFailToLoadRewardBasedVideoAdwithError(this, ads::DZErrorWithCode(1));
        } else if (answer == "error") {
            connector->adapterDidFailToLoadRewardBasedVideoAdwithError(this, ads::DZErrorWithCode(2));
        }
    }
    void presentRewardBasedVideoAdWithRootViewController(const std::shared_ptr<ui::ViewController>&) override {
        ++presents;
    }
    void stopBeingDelegate() override { stopped = true; }

    // Reports the set-up of an adapter whose set-up waits.
    void reportSetUp(bool succeeded) {
        const auto connector = connector_.lock();
        if (!connector) return;
        if (succeeded)
            connector->adapterDidSetUpRewardBasedVideoAd(this);
        else
            connector->adapterDidFailToSetUpRewardBasedVideoAd(this, ads::DZErrorWithCode(7));
    }
    [[nodiscard]] std::shared_ptr<ads::DZMRewardBasedVideoAdNetworkConnector> connector() const {
        return connector_.lock();
    }

    std::string setUpCall;
    int presents = 0;
    bool stopped = false;
    [[nodiscard]] const core::Array& multipleCredentials() const { return multipleCredentials_; }

private:
    static std::shared_ptr<ads::DZMRewardBasedVideoAdNetworkAdapter>
    make(const std::string& name, const std::shared_ptr<ads::DZMRewardBasedVideoAdNetworkConnector>& connector,
         core::Array all = {}) {
        auto adapter = std::make_shared<ScriptedRewardedAdapter>(name, connector, std::move(all));
        made().push_back(adapter);
        return adapter;
    }
    void startSetUp(const char* call) {
        setUpCall = call;
        const auto connector = connector_.lock();
        if (!connector) return;
        const auto data = connector->credentials().value_or(core::Dictionary());
        const std::string behaviour = data["setUp"].string() ? *data["setUp"].string() : "succeed";
        if (behaviour == "succeed") reportSetUp(true);
        if (behaviour == "fail") reportSetUp(false);
    }

    std::string className_;
    std::weak_ptr<ads::DZMRewardBasedVideoAdNetworkConnector> connector_;
    core::Array multipleCredentials_;
};

// What the host hears: "receive", "fail <code>", "open", "start",
// "reward <type> <amount>", "close", "leave", "click".
class RecordingHost : public ads::DZRewardBasedVideoAdDelegate,
                      public ads::DZRewardBasedVideoAdClickDelegate {
public:
    std::vector<std::string> events;
    std::vector<ads::DZRequestError> failures;

    void didRewardUserWithReward(ads::DZRewardBasedVideoAd&,
                                 const std::shared_ptr<ads::DZAdReward>& reward) override {
        events.push_back(reward ? "reward " + reward->rewardType() + " " + reward->rewardAmount().string()
                                : "reward none");
    }
    void didFailToLoadWithError(ads::DZRewardBasedVideoAd&, const ads::DZRequestError& error) override {
        failures.push_back(error);
        events.push_back("fail " + std::to_string(error.code));
    }
    void rewardBasedVideoAdDidReceiveAd(ads::DZRewardBasedVideoAd&) override { events.push_back("receive"); }
    void rewardBasedVideoAdDidOpen(ads::DZRewardBasedVideoAd&) override { events.push_back("open"); }
    void rewardBasedVideoAdDidStartPlaying(ads::DZRewardBasedVideoAd&) override { events.push_back("start"); }
    void rewardBasedVideoAdDidClose(ads::DZRewardBasedVideoAd&) override { events.push_back("close"); }
    void rewardBasedVideoAdWillLeaveApplication(ads::DZRewardBasedVideoAd&) override {
        events.push_back("leave");
    }
    void rewardBasedVideoAdDidReceiveAdClick(ads::DZRewardBasedVideoAd&) override { events.push_back("click"); }
};

}  // namespace rewardedtesting
