#pragma once
// A host analytics library for tests: identifiers it is given, a log of the
// events and exposure calls it receives, registered under the host class
// names while the scope lives, with the server switch on.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ads/foundation/DZAnalytics.h"
#include "ads/foundation/DZHostAnalyticsRegistry.h"
#include "core/UserDefaults.h"

namespace adstest {

struct LoggedEvent {
    std::string origin;
    std::string name;
    core::Dictionary parameters;
    friend bool operator==(const LoggedEvent&, const LoggedEvent&) = default;
};

class FakeHostAnalytics : public ads::DZHostAnalyticsIdentifiers,
                          public ads::DZHostAnalyticsEventLogger,
                          public ads::DZHostAdExposureBeginning,
                          public ads::DZHostAdExposureEnding {
public:
    std::optional<std::string> appID = "1:app";
    std::optional<std::string> instanceID = "instance";
    std::optional<std::string> eventID = "E1";

    std::optional<std::string> dozuzaAppID() const override { return appID; }
    std::optional<std::string> appInstanceID() const override { return instanceID; }
    std::optional<std::string> adEventID() const override { return eventID; }

    void logInternalEventWithOrigin(const std::string& origin, const std::string& name,
                                    const core::Dictionary& parameters) override {
        std::lock_guard lock(mutex_);
        events_.push_back({origin, name, parameters});
    }
    void beginAdUnitExposure(const std::string& adUnitID) override { record("begin " + adUnitID); }
    void endAdUnitExposure(const std::string& adUnitID) override { record("end " + adUnitID); }

    std::vector<LoggedEvent> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<std::string> exposures() const {
        std::lock_guard lock(mutex_);
        return exposures_;
    }

private:
    void record(std::string call) {
        std::lock_guard lock(mutex_);
        exposures_.push_back(std::move(call));
    }
    mutable std::mutex mutex_;
    std::vector<LoggedEvent> events_;
    std::vector<std::string> exposures_;
};

class HostAnalyticsScope {
public:
    explicit HostAnalyticsScope(bool enabled = true) : host(std::make_shared<FakeHostAnalytics>()) {
        auto& registry = ads::DZHostAnalyticsRegistry::shared();
        registry.registerObject(ads::DZHostAnalyticsRegistry::kIdentifiers, host);
        registry.registerObject(ads::DZHostAnalyticsRegistry::kAnalytics, host);
        registry.registerObject(ads::DZHostAnalyticsRegistry::kAdExposureReporter, host);
        setEnabled(enabled);
        ads::DZAnalytics::resetSharedInstanceForTesting();
    }
    ~HostAnalyticsScope() {
        auto& registry = ads::DZHostAnalyticsRegistry::shared();
        for (auto name :
             {ads::DZHostAnalyticsRegistry::kIdentifiers, ads::DZHostAnalyticsRegistry::kAnalytics,
              ads::DZHostAnalyticsRegistry::kAdExposureReporter,
              ads::DZHostAnalyticsRegistry::kScreenViewReporter}) {
            registry.unregisterObject(name);
        }
        const auto defaults = core::UserDefaults::standard();
        for (auto key :
             {ads::DZAnalytics::kEnabledKey, ads::DZAnalytics::kUsingMacroKey,
              ads::DZAnalytics::kImpressionPingSchemaKey, ads::DZAnalytics::kClickPingSchemaKey}) {
            defaults->removeObjectForKey(key);
        }
        ads::DZAnalytics::resetSharedInstanceForTesting();
    }
    HostAnalyticsScope(const HostAnalyticsScope&) = delete;
    HostAnalyticsScope& operator=(const HostAnalyticsScope&) = delete;

    // The server delivers the switch as text.
    static void setEnabled(bool enabled) {
        core::UserDefaults::standard()->setString(std::string(ads::DZAnalytics::kEnabledKey),
                                                  enabled ? "1" : "0");
    }
    static void setMacroMode(bool on) {
        core::UserDefaults::standard()->setString(std::string(ads::DZAnalytics::kUsingMacroKey),
                                                  on ? "true" : "false");
    }

    const std::shared_ptr<FakeHostAnalytics> host;
};

}  // namespace adstest
