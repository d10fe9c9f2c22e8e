#pragma once
// The SDK's process-wide view of the host application. It starts the SDK
// in two stages, follows the application's lifecycle notifications, and
// answers what the rest of the SDK asks about the host: whether it is
// active, which window and view controller are on top, which orientations it
// supports, how to open a URL. It also keeps the request statistics and the
// session, collects the ads' statistics, sends the foreground ping, owns the
// application configuration with the server's app settings, and the content
// hashing of the host's screens.
//
// Start-up: the process entry calls load() before the application launches
// (DZMobileAds::registerForLaunch). At the launch notification the SDK runs
// stage 1 (runEarlyActivities) once; stage 2 (runAdditionalEarlyActivities)
// runs once, from stage 1 unless the host's "DZDelayEarlyActivities" or the
// "init_delay" flag postpones it, or earlier or later from
// DZMobileAds::configureWithApplicationID and the ad load entry points.
// Every step is recorded in DZCallLog.
//
// Threading: start-up, the lifecycle handlers, window, view-controller and
// orientation queries and URL opening run on the main thread (stage 2 and
// supportsOrientations hop there themselves). The fields listed as guarded
// are read synchronously and written asynchronously on the lock queue
// "com.dozuza.vuraz.application-ivar-lock"; the rest are fixed at creation
// or atomic.
//
// The application configuration is made on first use from the archive under
// kConfigurationDefaultsKey (an empty one when there is none or it cannot be
// read). Each change is archived and stored again, and then announced with
// kConfigurationChangedNotification (object: the configuration), on the
// serial queue "com.dozuza.vuraz.application-config-save": saves run one at
// a time and each stores the configuration as it is then, so the stored
// archive never goes back to an older state.
//
// Statistics: the counters live in statistics() (a DZStatisticDictionary
// without a delegate). Request snapshots, session resets, sequence numbers
// and the click-return bookkeeping run in order on the serial queue
// "com.dozuza.vuraz.application-statistics"; the ads' changed statistics
// are collected on "com.dozuza.vuraz.application-notification".

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ads/core/app/DZConfiguration.h"
#include "ads/core/app/DZConfigurationDelegate.h"
#include "ads/foundation/DZStatisticDictionary.h"
#include "ads/foundation/DZStatisticDictionaryDelegate.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ui {
class ViewController;
class Window;
}  // namespace ui

namespace ads {

class DZAd;
class DZContentHashing;

class DZApplication : public DZStatisticDictionaryDelegate,
                      public DZConfigurationDelegate,
                      public std::enable_shared_from_this<DZApplication> {
public:
    static constexpr const char* kDelayEarlyActivitiesKey = "DZDelayEarlyActivities";
    static constexpr const char* kInitDelayFlag = "init_delay";
    // All four interface orientations.
    static constexpr std::uint64_t kAllOrientationsMask = 30;
    static constexpr std::string_view kConfigurationDefaultsKey =
        "/dozuza/ads/DZApplicationConfiguration";
    static constexpr const char* kConfigurationChangedNotification =
        "DZApplicationConfigurationChangedNotification";
    static constexpr std::string_view kRefreshedSinceAppStartKey =
        "app_config_refreshed_since_app_start";
    // The priorities of what the publisher states and what the server sends.
    static constexpr std::int64_t kPublisherPriority = 999;
    static constexpr std::int64_t kServerPriority = 500;
    static constexpr std::string_view kApplicationIDKey = "app_id";
    static constexpr std::string_view kLastRequestedAdUnitIDKey = "last_requested_ad_unit_id";
    static constexpr std::string_view kLastRefreshTimestampKey =
        "app_config_last_refresh_timestamp";
    static constexpr std::string_view kStaleTimeKey = "/dozuza/ads/dzads:app_settings_stale_time";
    static constexpr double kDefaultStaleTime = 7200;
    static constexpr const char* kCurrentAdRequestCountChangedNotification =
        "DZApplicationStatisticsCurrentAdRequestCountChangedNotification";
    static constexpr std::string_view kPreqsInSessionKey = "/dozuza/ads/preqs_in_session";
    static constexpr std::string_view kMediatingSlotCheckKey =
        "/dozuza/ads/dzads:mediating_slot_check:enabled";
    static constexpr std::string_view kForegroundPingEnabledKey =
        "/dozuza/ads/foreground_ping_enabled";
    static constexpr std::string_view kForegroundPingDelayKey = "/dozuza/ads/foreground_ping_delay";
    static constexpr std::string_view kForegroundPingURLKey = "/dozuza/ads/foreground_ping_url";
    static constexpr const char* kForegroundPingGroup = "dozuza_fp";
    static constexpr double kDefaultForegroundPingDelay = 10;

    [[nodiscard]] static std::shared_ptr<DZApplication> sharedInstance();
    // Observes the launch notification once for the process: at each
    // launch notification, appDidFinishLaunching and runEarlyActivities on
    // the shared instance. Later calls do nothing.
    static void load();
    // A fresh shared instance and a fresh start-up (stage 1 may run again);
    // the registration of load() stays.
    static void resetForTesting();

    ~DZApplication() override;
    DZApplication(const DZApplication&) = delete;
    DZApplication& operator=(const DZApplication&) = delete;

    // Stage 1, at most once per process. Main thread.
    void runEarlyActivities();
    // Stage 2, at most once per process; from any thread (runs on the main
    // thread, at once when called there).
    void runAdditionalEarlyActivities();
    void appDidFinishLaunching() { appFinishedLaunching_ = true; }
    [[nodiscard]] bool appFinishedLaunching() const { return appFinishedLaunching_; }
    [[nodiscard]] bool hasRunAdditionalEarlyActivities() const {
        return hasRunAdditionalEarlyActivities_;
    }

    // Not in the background, or in the background before the launch
    // notification was handled.
    [[nodiscard]] bool active() const;
    void enableBackgroundAdLoading() { backgroundLoadingEnabled_ = true; }
    [[nodiscard]] bool backgroundLoadingEnabled() const { return backgroundLoadingEnabled_; }
    // Background loading enabled and the server's "bg_reload_enabled".
    [[nodiscard]] bool backgroundReloadingEnabled() const;

    // The host's "CFBundleVersion", empty when absent.
    [[nodiscard]] const std::string& version() const { return version_; }
    [[nodiscard]] const std::string& mainBundleIdentifier() const { return mainBundleIdentifier_; }
    // A random 64-bit number in decimal, per process.
    [[nodiscard]] const std::string& sessionIdentifier() const { return sessionIdentifier_; }
    // An upper-case version 4 UUID, per process.
    [[nodiscard]] const std::string& UUIDString() const { return UUIDString_; }

    [[nodiscard]] bool debugModeEnabled() const { return debugModeEnabled_; }
    void setDebugModeEnabled(bool enabled) { debugModeEnabled_ = enabled; }
    [[nodiscard]] std::optional<std::string> inAppPreviewCreativeToken() const;
    void setInAppPreviewCreativeToken(std::optional<std::string> token);
    // Guarded; nullopt until set.
    [[nodiscard]] std::optional<std::vector<std::string>> availableAdapterNames() const;
    void setAvailableAdapterNames(std::optional<std::vector<std::string>> names);
    // Stores, in order and once each, the given names and the built-in
    // adapters whose classes are present in the process.
    void updateAvailableAdapterNamesWithPotentialAdapterNames(
        const std::optional<std::vector<std::string>>& names);
    static constexpr const char* kBuiltInAdapterClassNames[] = {
        "DZMAdapterDozuzaVuRazAds", "DZMAdapterCustomEvents", "DZMAdapterHTML", "DZMAdURLAdapter"};
    // The names, in order and once each, of registered adapter classes
    // (DZMClassRegistry).
    [[nodiscard]] static std::vector<std::string>
    availableAdapterNamesInSet(const std::vector<std::string>& names);

    // 1, 2, 3 ... across the process.
    [[nodiscard]] std::uint64_t nextLiveViewID();

    // "iTunesMetadata.plist" beside the documents folder.
    [[nodiscard]] static std::optional<std::string> iTunesMetadataPath();
    // The store's metadata file, read once per process; an empty dictionary
    // when it is missing, unreadable or not a dictionary.
    [[nodiscard]] static const core::Dictionary& iTunesMetadata();
    // The metadata dictionary of the file at path, read now.
    [[nodiscard]] static core::Dictionary iTunesMetadataAt(const std::string& path);

    // A window made on first use and kept for the process, never shown or
    // made key: the parent of SDK views that are not on screen.
    [[nodiscard]] static std::shared_ptr<ui::Window> placeholderWindow();
    // The key window, else the application delegate's window.
    [[nodiscard]] std::shared_ptr<ui::Window> mainWindow() const;
    // The main window's root controller followed through what it presents.
    [[nodiscard]] std::shared_ptr<ui::ViewController> topViewController() const;
    // The status-bar orientation, unless the controller on top of the key
    // window is an ad that forces another.
    [[nodiscard]] long topViewControllerOrientation() const;
    [[nodiscard]] bool isSplitScreenEnabled() const;
    [[nodiscard]] std::uint64_t mainWindowSupportedInterfaceOrientations() const;
    // Whether the main window's mask (refreshed through the main thread)
    // shares a bit with mask.
    [[nodiscard]] bool supportsOrientations(std::uint64_t mask);

    void openURL(const core::URL& url);
    // strict limits the open to apps that claim the link, for http and
    // https URLs only. The completion gets whether something opened.
    void openURL(const core::URL& url, bool strictUniversalLink,
                 std::function<void(bool)> completion);

    // Lifecycle handlers; the observers installed at creation call them.
    void didBecomeActive();
    void willEnterForeground();
    void willResignActive();

    // Made on first use; any thread.
    [[nodiscard]] std::shared_ptr<DZConfiguration> configuration();
    // DZConfigurationDelegate: queues the save and the announcement.
    void configurationDidUpdate(const std::shared_ptr<DZConfiguration>& configuration) override;

    // The server's app settings (DZApplicationConfiguration.cpp). The
    // publisher's identifier goes under "app_id" at the publisher's priority
    // (nullopt removes it), then the settings are asked for as the
    // publisher's request.
    void loadServerSideConfigurationForPublisherApplicationID(
        const std::optional<std::string>& applicationID);
    // Raises the one refresh flag and hands the SDK core controller a script
    // builder; builders that find the flag cleared send nothing.
    void refreshServerSideConfiguration();
    // The "DUZO_fetchAppSettings" call while a refresh is wanted and an
    // identifier is known; clears both flags in any case. Not from the lock
    // queue.
    [[nodiscard]] std::optional<std::string> javaScriptForRequestingServerSideConfiguration();
    // Refreshes when the last answer is missing or older than the stale
    // time ("/dozuza/ads/dzads:app_settings_stale_time", 7200 s when absent,
    // zero, negative or not finite). The slot calls it before each load.
    void loadServerSideConfigurationIfNeeded();
    // Merges a successful answer of the page at the server's priority, with
    // the refresh time and flag.
    void didFetchServerSideConfiguration(core::Dictionary settings);
    // Where refreshServerSideConfiguration hands its builder: the shared SDK
    // core controller unless a test installs another receiver (nullptr
    // restores it).
    using ScriptBuilderReceiver =
        std::function<void(std::function<std::optional<std::string>(const std::string&)>)>;
    static void setScriptBuilderReceiverForTesting(ScriptBuilderReceiver receiver);

    // Request statistics, session, per-ad statistics and the foreground
    // ping (DZApplicationStatistics.cpp).
    //
    // Requests in flight, counted once per requester (compared by address,
    // never dereferenced). Beginning and ending post
    // kCurrentAdRequestCountChangedNotification on a global queue.
    void requesterWillBeginRequest(const void* requester);
    void requesterDidEndRequest(const void* requester);
    // "crqc", 0 when absent.
    [[nodiscard]] std::int64_t currentAdRequestCount() const;
    // The statistics after counting one request of a slot; a copy. Not from
    // the statistics queue. Slot is any type answering isMediating() and
    // isBeingMediated().
    template <typename Slot>
    [[nodiscard]] core::Dictionary nextRequestStatisticsDictionaryForSlot(const Slot& slot) {
        return nextRequestStatisticsDictionary(slot.isMediating(), slot.isBeingMediated());
    }
    [[nodiscard]] core::Dictionary nextRequestStatisticsDictionary(bool slotIsMediating,
                                                                   bool slotIsBeingMediated);
    void incrementTotalAdRequestCount();
    void decrementTotalAdRequestCount();
    // Also stores the new value under kPreqsInSessionKey.
    void incrementTotalAdRequestCountInCurrentSession();
    void updateTimeInSession();
    void incrementSequenceNumber();
    // Raises "seq_num" and answers "preqs" in decimal: mediation tracking
    // URLs carry the request count as their sequence number. Not from the
    // statistics queue.
    [[nodiscard]] std::string nextSequenceNumberAsString();
    void incrementTotalAdClickCount();
    // Milliseconds since the first request snapshot; 0 before it.
    [[nodiscard]] std::uint64_t timeSinceFirstAdRequestInMilliseconds() const;

    // Session counters.
    void resetPreqsInSession();
    void resetTimeInSession();
    // After "/dozuza/ads/foreground_ping_delay" seconds (10 when absent,
    // negative or not finite) pings "/dozuza/ads/foreground_ping_url" with
    // its macros filled, through the pinger's retry group kForegroundPingGroup.
    // Nothing while "/dozuza/ads/foreground_ping_enabled" is off.
    void sendForegroundPing();

    // The ad statistics changed since they were last taken, emptied.
    [[nodiscard]] std::set<std::shared_ptr<DZStatisticDictionary>> pendingAdStatistics();
    // Puts back statistics that a failed request did not send.
    void didNotSendAdStatistics(const std::set<std::shared_ptr<DZStatisticDictionary>>& statistics);

    // The ad whose click takes the user out of the application; at the next
    // didBecomeActive its "tclickcurr" and the return time are appended to
    // its "tclick".
    void willLeaveApplicationDueToClickOnAd(const std::shared_ptr<DZAd>& ad);

    // "appversion", "bundleid", "osversion", "rdid", "lat", "sdkversion".
    [[nodiscard]] core::Dictionary parameters() const;

    void startContentHashing();
    void stopContentHashing();
    [[nodiscard]] std::optional<std::string> fingerprintWithServedPenaltyDeduction();

    [[nodiscard]] const std::shared_ptr<DZStatisticDictionary>& statistics() const {
        return statistics_;
    }
    [[nodiscard]] const std::shared_ptr<DZStatisticDictionary>& nativeAdStatistics() const {
        return nativeAdStatistics_;
    }

    // DZStatisticDictionaryDelegate: the ads' statistics that changed are
    // collected on the notification queue.
    std::shared_ptr<core::Queue> notificationQueue() override { return notificationSerialQueue_; }
    void
    didUpdateStatisticDictionary(const std::shared_ptr<DZStatisticDictionary>& dictionary) override;

private:
    DZApplication();
    void observeLifecycle();
    [[nodiscard]] bool stageTwoRunsNow() const;
    void runStageTwoOnMainThread();
    void syncOnLockQueue(const std::function<void()>& block) const;
    // Lock queue.
    void createConfiguration();

    const std::string version_;
    const std::string mainBundleIdentifier_;
    const std::string sessionIdentifier_;
    const std::string UUIDString_;
    const std::shared_ptr<DZStatisticDictionary> statistics_;
    const std::shared_ptr<DZStatisticDictionary> nativeAdStatistics_;
    const std::shared_ptr<core::Queue> notificationSerialQueue_;
    const std::shared_ptr<core::Queue> statisticsSerialQueue_;
    const std::shared_ptr<core::Queue> lockQueue_;
    const std::shared_ptr<DZContentHashing> contentHashing_;
    const std::shared_ptr<core::Queue> configurationSaveQueue_;

    // Lock queue only.
    std::shared_ptr<DZConfiguration> configuration_;
    std::optional<std::vector<std::string>> availableAdapterNames_;
    std::uint64_t liveViewID_ = 0;
    std::uint64_t mainWindowSupportedInterfaceOrientations_ = kAllOrientationsMask;
    bool needsConfigurationUpdate_ = false;
    bool isConfigurationUpdatePublisherInitiated_ = false;
    std::set<const void*> adRequesters_;
    // Notification queue only.
    std::set<std::shared_ptr<DZStatisticDictionary>> adStatistics_;
    // Statistics queue only.
    std::shared_ptr<DZAd> backgroundingAd_;

    // Main thread only. Stage 1 runs once per process, stage 2 once per
    // instance (one instance per process outside tests).
    static bool earlyActivitiesDone_;
    bool hasRunAdditionalEarlyActivities_ = false;
    core::NotificationCenter::Token appBecameActiveObserver_;
    core::NotificationCenter::Token appWillEnterForegroundObserver_;
    core::NotificationCenter::Token appWillResignActiveObserver_;

    std::atomic<bool> appFinishedLaunching_{false};
    std::atomic<bool> backgroundLoadingEnabled_{false};
    std::atomic<bool> debugModeEnabled_{false};
    mutable std::mutex tokenMutex_;
    std::optional<std::string> inAppPreviewCreativeToken_;
};

}  // namespace ads
