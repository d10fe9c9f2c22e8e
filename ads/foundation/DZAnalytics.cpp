#include "ads/foundation/DZAnalytics.h"

#include <mutex>

#include "ads/foundation/DZHostAnalyticsRegistry.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

std::mutex gSharedMutex;
bool gSharedMade = false;
std::shared_ptr<DZAnalytics> gShared;

template <typename Interface>
std::shared_ptr<Interface> hostObject(std::string_view name) {
    return std::dynamic_pointer_cast<Interface>(DZHostAnalyticsRegistry::shared().object(name));
}

}  // namespace

std::shared_ptr<DZAnalytics> DZAnalytics::sharedInstance() {
    if (!core::UserDefaults::standard()->boolForKey(kEnabledKey)) {
        return nullptr;
    }
    std::lock_guard lock(gSharedMutex);
    if (!gSharedMade) {
        gShared = createFromRegistry();
        gSharedMade = true;
    }
    return gShared;
}

void DZAnalytics::resetSharedInstanceForTesting() {
    std::lock_guard lock(gSharedMutex);
    gShared.reset();
    gSharedMade = false;
}

std::shared_ptr<DZAnalytics> DZAnalytics::createFromRegistry() {
    auto identifiers =
        hostObject<DZHostAnalyticsIdentifiers>(DZHostAnalyticsRegistry::kIdentifiers);
    auto analytics = hostObject<DZHostAnalyticsEventLogger>(DZHostAnalyticsRegistry::kAnalytics);
    if (!identifiers || !analytics) {
        return nullptr;
    }
    std::shared_ptr<DZAnalytics> bridge(new DZAnalytics());
    bridge->identifiers_ = std::move(identifiers);
    bridge->analytics_ = std::move(analytics);

    auto beginning =
        hostObject<DZHostAdExposureBeginning>(DZHostAnalyticsRegistry::kAdExposureReporter);
    auto ending = hostObject<DZHostAdExposureEnding>(DZHostAnalyticsRegistry::kAdExposureReporter);
    if (beginning && ending) {
        bridge->exposureBeginning_ = std::move(beginning);
        bridge->exposureEnding_ = std::move(ending);
    }
    bridge->screenViewReporter_ =
        hostObject<DZHostScreenViewReporter>(DZHostAnalyticsRegistry::kScreenViewReporter);
    if (bridge->screenViewReporter_) {
        bridge->screenViewSource_ =
            hostObject<DZHostScreenViewSource>(DZHostAnalyticsRegistry::kScreenViewReporter);
    }
    return bridge;
}

std::optional<std::string> DZAnalytics::dozuzaAppID() const {
    return identifiers_->dozuzaAppID();
}

std::optional<std::string> DZAnalytics::appInstanceID() const {
    return identifiers_->appInstanceID();
}

std::optional<std::string> DZAnalytics::adEventID() const {
    return identifiers_->adEventID();
}

void DZAnalytics::logEventWithName(const std::string& name,
                                   const std::optional<std::string>& adEventID) const {
    if (!adEventID) {
        return;
    }
    core::Dictionary parameters{{"_aeid", *adEventID}};
    if (name == kClickEvent) {
        parameters.set("_r", 1);
    }
    analytics_->logInternalEventWithOrigin("am", name, parameters);
}

DZHostScreenView DZAnalytics::getScreenName() const {
    return screenViewSource_ ? screenViewSource_->getScreenName() : DZHostScreenView{};
}

void DZAnalytics::setScreenName(const std::optional<std::string>& screenName,
                                const std::optional<std::string>& screenClass) const {
    if (screenViewReporter_) {
        screenViewReporter_->setScreenName(screenName, screenClass);
    }
}

void DZAnalytics::beginAdUnitExposure(const std::optional<std::string>& adUnitID) const {
    if (exposureBeginning_ && adUnitID) {
        exposureBeginning_->beginAdUnitExposure(*adUnitID);
    }
}

void DZAnalytics::endAdUnitExposure(const std::optional<std::string>& adUnitID) const {
    if (exposureEnding_ && adUnitID) {
        exposureEnding_->endAdUnitExposure(*adUnitID);
    }
}

void DZAddAnalyticsIdentifiersToParameters(core::Dictionary* parameters) {
    const auto analytics = DZAnalytics::sharedInstance();
    if (!parameters || !analytics) {
        return;
    }
    if (auto value = analytics->dozuzaAppID()) {
        parameters->set("hst_app_id", std::move(*value));
    }
    if (auto value = analytics->appInstanceID()) {
        parameters->set("hst_aiid", std::move(*value));
    }
    if (auto value = analytics->adEventID()) {
        parameters->set("hst_aeid", std::move(*value));
    }
}

}  // namespace ads
