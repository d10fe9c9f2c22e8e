// DZApplication: the application configuration, its creation from the
// stored archive and its saves, and the app-settings cycle with the core
// page.

#include <cmath>
#include <mutex>

#include "ads/core/app/DZApplication.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZThreading.h"
#include "core/Clock.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

struct ReceiverSlot {
    std::mutex mutex;
    DZApplication::ScriptBuilderReceiver receiver;
};

ReceiverSlot& receiverSlot() {
    static auto* const slot = new ReceiverSlot;
    return *slot;
}

// The stale time in seconds; the default when the stored one is absent,
// zero, negative or not finite.
double staleTime() {
    const core::Value stored =
        core::UserDefaults::standard()->objectForKey(DZApplication::kStaleTimeKey);
    const double limit = stored.isNull() ? 0 : stored.doubleValue();
    return std::isfinite(limit) && limit > 0 ? limit : DZApplication::kDefaultStaleTime;
}

// Archives the configuration as it is now, stores it and announces it.
void saveAndAnnounce(const std::shared_ptr<DZConfiguration>& configuration) {
    std::string error;
    if (auto archive = configuration->archive(&error)) {
        core::UserDefaults::standard()->setData(
            std::string(DZApplication::kConfigurationDefaultsKey), std::move(*archive));
    } else {
        DZLogWithLevel(1, "The application configuration could not be saved: %@", error);
    }
    core::NotificationCenter::defaultCenter().post(DZApplication::kConfigurationChangedNotification,
                                                   configuration.get());
}

}  // namespace

std::shared_ptr<DZConfiguration> DZApplication::configuration() {
    std::shared_ptr<DZConfiguration> configuration;
    syncOnLockQueue([&] {
        if (!configuration_) createConfiguration();
        configuration = configuration_;
    });
    return configuration;
}

void DZApplication::createConfiguration() {
    const core::Value stored =
        core::UserDefaults::standard()->objectForKey(kConfigurationDefaultsKey);
    if (const core::Data* archive = stored.data()) {
        std::string error;
        configuration_ = DZConfiguration::createWithArchive(*archive, &error);
        if (!configuration_) {
            DZLogWithLevel(1,
                           "The stored application configuration could not be read (%@); "
                           "starting with an empty one.",
                           error);
        }
    } else if (!stored.isNull()) {
        DZLogWithLevel(1, "The stored application configuration is not an archive; starting "
                          "with an empty one.");
    }
    if (configuration_) {
        configuration_->setObject(core::Value(false), std::string(kRefreshedSinceAppStartKey),
                                  kServerPriority);
    } else {
        configuration_ = DZConfiguration::create();
    }
    // Queued after the change above, so that change is neither announced nor
    // saved.
    configuration_->setDelegate(std::weak_ptr<DZApplication>(weak_from_this()));
}

void DZApplication::configurationDidUpdate(const std::shared_ptr<DZConfiguration>& configuration) {
    configurationSaveQueue_->async([configuration] { saveAndAnnounce(configuration); });
}

void DZApplication::setScriptBuilderReceiverForTesting(ScriptBuilderReceiver receiver) {
    std::lock_guard lock(receiverSlot().mutex);
    receiverSlot().receiver = std::move(receiver);
}

void DZApplication::loadServerSideConfigurationForPublisherApplicationID(
    const std::optional<std::string>& applicationID) {
    std::optional<core::Value> value;
    if (applicationID) value = core::Value(*applicationID);
    configuration()->setObject(std::move(value), std::string(kApplicationIDKey),
                               kPublisherPriority);
    lockQueue_->async([this] { isConfigurationUpdatePublisherInitiated_ = true; });
    refreshServerSideConfiguration();
}

void DZApplication::refreshServerSideConfiguration() {
    DZCallLog::record("DZApplication.refreshServerSideConfiguration");
    lockQueue_->async([this] { needsConfigurationUpdate_ = true; });
    auto builder = [weak = weak_from_this()](const std::string&) -> std::optional<std::string> {
        const auto self = weak.lock();
        return self ? self->javaScriptForRequestingServerSideConfiguration() : std::nullopt;
    };
    ScriptBuilderReceiver receiver;
    {
        std::lock_guard lock(receiverSlot().mutex);
        receiver = receiverSlot().receiver;
    }
    if (receiver) {
        receiver(std::move(builder));
        return;
    }
    // The controller makes its page's views when it is first used: on the
    // main thread.
    DZRunOnMainThread([builder = std::move(builder)]() mutable {
        DZSDKCoreController::sharedInstance()->executeJavaScriptFromBlockWhenReady(
            std::move(builder), nullptr);
    });
}

std::optional<std::string> DZApplication::javaScriptForRequestingServerSideConfiguration() {
    bool needed = false;
    bool publisherInitiated = false;
    syncOnLockQueue([&] {
        needed = std::exchange(needsConfigurationUpdate_, false);
        publisherInitiated = std::exchange(isConfigurationUpdatePublisherInitiated_, false);
    });
    if (!needed) return std::nullopt;
    const auto configuration = this->configuration();
    core::Dictionary request;
    if (auto applicationID = configuration->objectForKeyedSubscript(kApplicationIDKey)) {
        request.set("app_id", std::move(*applicationID));
    } else if (auto adUnitID = configuration->objectForKeyedSubscript(kLastRequestedAdUnitIDKey)) {
        request.set("ad_unit_id", std::move(*adUnitID));
    } else {
        return std::nullopt;
    }
    request.set("pn", mainBundleIdentifier_);
    if (publisherInitiated) request.set("is_init", true);
    const auto json = dz_JSONStringPretty(request, false, nullptr);
    if (!json) return std::nullopt;
    return "setTimeout(function(){DUZO_fetchAppSettings(" + *json + ");}, 1);";
}

void DZApplication::loadServerSideConfigurationIfNeeded() {
    const auto last = configuration()->objectForKeyedSubscript(kLastRefreshTimestampKey);
    if (last && last->isDate()) {
        const double elapsed =
            core::Clock::current()->wallSeconds() - last->date()->secondsSince1970;
        if (elapsed < staleTime()) return;
    }
    refreshServerSideConfiguration();
}

void DZApplication::didFetchServerSideConfiguration(core::Dictionary settings) {
    settings.remove("status");
    settings.set(std::string(kLastRefreshTimestampKey),
                 core::Date{core::Clock::current()->wallSeconds()});
    settings.set(std::string(kRefreshedSinceAppStartKey), true);
    configuration()->addEntriesFromDictionary(std::move(settings), kServerPriority);
}

}  // namespace ads
