#include "ads/core/app/DZApplication.h"


#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZContentHashing.h"
#include "ads/foundation/DZOrientation.h"
#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "ads/presentation/iap/DZInAppPurchaseTransactionReporter.h"
#include "core/Bundle.h"
#include "core/Random.h"
#include "core/StringFormat.h"
#include "core/UUID.h"
#include "core/UserDefaults.h"
#include "ui/Application.h"

namespace ads {

namespace {

constexpr const char* kBackgroundReloadKey = "/dozuza/ads/bg_reload_enabled";

std::string infoString(const char* key) {
    const core::Value& value = core::Bundle::main()->objectForInfoDictionaryKey(key);
    return value.isString() ? *value.string() : std::string();
}

struct Shared {
    std::mutex mutex;
    std::shared_ptr<DZApplication> instance;
};

Shared& shared() {
    static Shared* const state = new Shared;
    return *state;
}

}  // namespace

std::shared_ptr<DZApplication> DZApplication::sharedInstance() {
    Shared& state = shared();
    std::lock_guard lock(state.mutex);
    if (!state.instance) {
        state.instance = std::shared_ptr<DZApplication>(new DZApplication());
        state.instance->observeLifecycle();
    }
    return state.instance;
}

void DZApplication::resetForTesting() {
    std::shared_ptr<DZApplication> previous;
    {
        Shared& state = shared();
        std::lock_guard lock(state.mutex);
        previous = std::move(state.instance);
    }
    earlyActivitiesDone_ = false;
    // The start-up switched the purchase reporter on and had it watch the
    // payment queue: a new start decides afresh.
    DZInAppPurchaseTransactionReporter::sharedInstance()->resetForTesting();
}

DZApplication::DZApplication()
    : version_(infoString("CFBundleVersion")),
      mainBundleIdentifier_(infoString("CFBundleIdentifier")),
      sessionIdentifier_(core::format("%llu", core::Random::secureUInt64())),
      UUIDString_(core::UUID::random().string()), statistics_(DZStatisticDictionary::create()),
      nativeAdStatistics_(DZStatisticDictionary::create()),
      notificationSerialQueue_(core::Queue::serial(DZQueueLabel("application-notification"))),
      statisticsSerialQueue_(core::Queue::serial(DZQueueLabel("application-statistics"))),
      lockQueue_(core::Queue::serial(DZQueueLabel("application-ivar-lock"))),
      contentHashing_(DZContentHashing::create()),
      configurationSaveQueue_(core::Queue::serial(DZQueueLabel("application-config-save"))) {
    statistics_->setObject(sessionIdentifier_, "session_id", false);
    statistics_->decrementNumberForKey("preqs", false);
    const core::Value stored = core::UserDefaults::standard()->objectForKey(kPreqsInSessionKey);
    statistics_->setObject(stored.isNull() ? core::Value(-1) : stored, "preqs_in_session", false);
    DZSetSplitScreenProvider([] { return sharedInstance()->isSplitScreenEnabled(); });
}

DZApplication::~DZApplication() {
    core::NotificationCenter& center = core::NotificationCenter::defaultCenter();
    center.removeObserver(appBecameActiveObserver_);
    center.removeObserver(appWillEnterForegroundObserver_);
    center.removeObserver(appWillResignActiveObserver_);
    statistics_->didFinishModifying();
    // Queued writes hold no reference to this object: let them finish first.
    DZSyncOnQueue(*lockQueue_, [] {});
    DZSyncOnQueue(*statisticsSerialQueue_, [] {});
}

void DZApplication::observeLifecycle() {
    core::NotificationCenter& center = core::NotificationCenter::defaultCenter();
    const void* application = &ui::Application::shared();
    const std::weak_ptr<DZApplication> weak = weak_from_this();
    auto observe = [&](const char* name, void (DZApplication::*handler)()) {
        return center.addObserver(name, application, nullptr,
                                  [weak, handler](const core::Notification&) {
                                      DZRunOnMainThread([weak, handler] {
                                          if (const auto self = weak.lock()) ((*self).*handler)();
                                      });
                                  });
    };
    appBecameActiveObserver_ =
        observe(ui::Application::DidBecomeActiveNotification, &DZApplication::didBecomeActive);
    appWillEnterForegroundObserver_ = observe(ui::Application::WillEnterForegroundNotification,
                                              &DZApplication::willEnterForeground);
    appWillResignActiveObserver_ =
        observe(ui::Application::WillResignActiveNotification, &DZApplication::willResignActive);
}

void DZApplication::syncOnLockQueue(const std::function<void()>& block) const {
    DZSyncOnQueue(*lockQueue_, block);
}

bool DZApplication::active() const {
    if (ui::Application::shared().state() != ui::ApplicationState::Background) return true;
    return !appFinishedLaunching_;
}

bool DZApplication::backgroundReloadingEnabled() const {
    return backgroundLoadingEnabled_ &&
           core::UserDefaults::standard()->objectForKey(kBackgroundReloadKey).boolValue();
}

std::optional<std::string> DZApplication::inAppPreviewCreativeToken() const {
    std::lock_guard lock(tokenMutex_);
    return inAppPreviewCreativeToken_;
}

void DZApplication::setInAppPreviewCreativeToken(std::optional<std::string> token) {
    std::lock_guard lock(tokenMutex_);
    inAppPreviewCreativeToken_ = std::move(token);
}

std::optional<std::vector<std::string>> DZApplication::availableAdapterNames() const {
    std::optional<std::vector<std::string>> names;
    syncOnLockQueue([&] { names = availableAdapterNames_; });
    return names;
}

void DZApplication::setAvailableAdapterNames(std::optional<std::vector<std::string>> names) {
    lockQueue_->async(
        [this, names = std::move(names)]() mutable { availableAdapterNames_ = std::move(names); });
}

std::uint64_t DZApplication::nextLiveViewID() {
    std::uint64_t identifier = 0;
    syncOnLockQueue([&] { identifier = ++liveViewID_; });
    return identifier;
}

void DZApplication::startContentHashing() {
    DZCallLog::record("DZApplication.startContentHashing");
    contentHashing_->startContentHashing();
}

void DZApplication::stopContentHashing() {
    contentHashing_->stopContentHashing();
}

std::optional<std::string> DZApplication::fingerprintWithServedPenaltyDeduction() {
    return contentHashing_->fingerprintWithServedPenaltyDeduction();
}

}  // namespace ads
