// DZApplication: the launch registration, the two start-up stages and the
// lifecycle handlers.

#include <mutex>

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZAppSession.h"
#include "ads/foundation/DZBoolCache.h"
#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZCrashReporter.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZFileSystem.h"
#include "ads/foundation/DZNetwork.h"
#include "ads/foundation/DZThreading.h"
#include "ads/presentation/iap/DZInAppPurchaseTransactionReporter.h"
#include "ads/presentation/interstitial/cache/DZInterstitialCache.h"
#include "ads/presentation/rewarded/DZRewardBasedVideoAd.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/intercept/DZURLProtocol.h"
#include "ads/web/net/DZPinger.h"
#include "ads/web/view/DZSawmillAdViewCommandExecutor.h"
#include "core/Bundle.h"
#include "core/FileManager.h"
#include "core/UserDefaults.h"
#include "ui/Application.h"

namespace ads {

namespace {

constexpr const char* kContentURLEnabledKey = "/dozuza/ads/content_url_enabled";
constexpr const char* kInterstitialPoolEnabledKey =
    "/dozuza/ads/dzads:interstitial_ad_pool:enabled";

void removeTemporaryDirectory() {
    const auto folder = DZCreateTemporaryDirectory(false, nullptr);
    if (!folder) return;
    if (const auto path = folder->fileSystemPath()) (void)core::FileManager::removeItem(*path);
}

}  // namespace

bool DZApplication::earlyActivitiesDone_ = false;

void DZApplication::load() {
    static std::once_flag once;
    std::call_once(once, [] {
        core::NotificationCenter::defaultCenter().addObserver(
            ui::Application::DidFinishLaunchingNotification, nullptr, nullptr,
            [](const core::Notification&) {
                DZRunOnMainThread([] {
                    const auto application = sharedInstance();
                    application->appDidFinishLaunching();
                    application->runEarlyActivities();
                });
            });
    });
}

void DZApplication::runEarlyActivities() {
    if (earlyActivitiesDone_) return;
    DZCallLog::record("DZApplication.runEarlyActivities");
    DZCallLog::record("DZAdURLStash.sharedInstance");
    (void)DZAdURLStash::sharedInstance();
    DZCallLog::record("DZRegisterURLProtocol");
    DZRegisterURLProtocol();
    DZRegisterSawmillAdViewCommandExecutor();
    DZCallLog::record("DZDevice.cacheStaticParameters");
    DZDevice::sharedInstance()->cacheStaticParameters();
    DZCallLog::record("DZApplication.removeTemporaryDirectory");
    removeTemporaryDirectory();
    DZCallLog::record("DZNetwork.sharedInstance");
    (void)DZNetwork::sharedInstance();
    DZCallLog::record("DZInAppPurchaseTransactionReporter.sharedInstance");
    const auto reporter = DZInAppPurchaseTransactionReporter::sharedInstance();
    DZCallLog::record("DZInAppPurchaseTransactionReporter.shouldBeEnabled");
    if (reporter->shouldBeEnabled()) reporter->enableReporting();
    DZCallLog::record("DZCrashReporter.sharedInstance");
    (void)DZCrashReporter::sharedInstance();
    if (stageTwoRunsNow()) runAdditionalEarlyActivities();
    willEnterForeground();
    earlyActivitiesDone_ = true;
    DZCallLog::record("DZApplication.runEarlyActivities.done");
}

bool DZApplication::stageTwoRunsNow() const {
    const core::Value& delay =
        core::Bundle::main()->objectForInfoDictionaryKey(kDelayEarlyActivitiesKey);
    if (delay.isBool() || delay.isNumber() || delay.isString()) return !delay.boolValue();
    return !DZBoolCacheGet(kInitDelayFlag);
}

void DZApplication::runAdditionalEarlyActivities() {
    DZRunOnMainThread([weak = weak_from_this()] {
        if (const auto self = weak.lock()) self->runStageTwoOnMainThread();
    });
}

void DZApplication::runStageTwoOnMainThread() {
    if (hasRunAdditionalEarlyActivities_) return;
    DZCallLog::record("DZApplication.runAdditionalEarlyActivities");
    DZCallLog::record("DZPinger.start");
    DZPinger::sharedInstance()->start();
    DZCallLog::record("DZDevice.cacheAdditionalStaticParameters");
    DZDevice::sharedInstance()->cacheAdditionalStaticParameters();
    const auto defaults = core::UserDefaults::standard();
    if (defaults->boolForKey(kContentURLEnabledKey)) startContentHashing();
    if (defaults->objectForKey(kInterstitialPoolEnabledKey).boolValue()) {
        core::Queue::global()->async([] { (void)DZInterstitialCache::sharedInstance(); });
    }
    (void)DZRewardBasedVideoAd::sharedInstance();
    if (configuration()->objectForKeyedSubscript(kApplicationIDKey))
        refreshServerSideConfiguration();
    hasRunAdditionalEarlyActivities_ = true;
    DZCallLog::record("DZApplication.runAdditionalEarlyActivities.done");
}

void DZApplication::willEnterForeground() {
    DZCallLog::record("DZApplication.willEnterForeground");
    if (DZIsNewAppSession()) {
        resetPreqsInSession();
        resetTimeInSession();
    }
    DZRecordUserEngagementTime();
    sendForegroundPing();
}

void DZApplication::willResignActive() {
    DZCallLog::record("DZApplication.willResignActive");
    DZRecordUserEngagementTime();
}

}  // namespace ads
