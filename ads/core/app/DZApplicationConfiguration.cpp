// DZApplication: the application configuration, its creation from the
// stored archive and its saves.

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZLogger.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

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

}  // namespace ads
