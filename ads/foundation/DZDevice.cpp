#include "ads/foundation/DZDevice.h"

#include <algorithm>
#include <charconv>

#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZValueHelpers.h"
#include "core/RunLoop.h"
#include "core/StringFormat.h"
#include "core/Unicode.h"
#include "core/URL.h"
#include "core/UserDefaults.h"
#include "ui/AudioSession.h"
#include "ui/DeviceProfile.h"

namespace ads {

namespace {

bool isLandscape(long orientation) {
    return orientation == 3 || orientation == 4;
}

std::int64_t leadingInteger(std::string_view text) {
    std::int64_t value = 0;
    (void)std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

std::shared_ptr<DZDevice> DZDevice::sharedInstance() {
    // Lives for the process: never destroyed at exit, when queues are gone.
    static const auto* const shared =
        new std::shared_ptr<DZDevice>(create(DZDeviceHost::platform()));
    return *shared;
}

std::shared_ptr<DZDevice> DZDevice::create(std::shared_ptr<DZDeviceHost> host) {
    if (!host) return nullptr;
    std::shared_ptr<DZDevice> device(new DZDevice(std::move(host)));
    device->observeOrientationChanges();
    return device;
}

DZDevice::DZDevice(std::shared_ptr<DZDeviceHost> host)
    : host_(std::move(host)), lockQueue_(core::Queue::serial(DZQueueLabel("device"))) {
    updateOperatingSystemVersionProperties();
}

DZDevice::~DZDevice() {
    lockQueue_->sync([] {});
    core::NotificationCenter::defaultCenter().removeObserver(orientationChangeObserver_);
}

void DZDevice::observeOrientationChanges() {
    std::weak_ptr<DZDevice> weak = weak_from_this();
    orientationChangeObserver_ = core::NotificationCenter::defaultCenter().addObserver(
        ui::DeviceProfile::StatusBarOrientationDidChangeNotification, nullptr, core::Queue::main(),
        [weak](const core::Notification&) {
            if (auto device = weak.lock()) device->updateOrientation();
        });
}

void DZDevice::syncOnLockQueue(const std::function<void()>& block) const {
    DZSyncOnQueue(*lockQueue_, block);
}

void DZDevice::updateOperatingSystemVersionProperties() {
    std::string text = ui::DeviceProfile::current().systemVersion;
    std::vector<std::string_view> parts;
    std::string_view rest = text;
    while (parts.size() < 3) {
        const size_t dot = rest.find('.');
        parts.push_back(rest.substr(0, dot));
        if (dot == std::string_view::npos) break;
        rest.remove_prefix(dot + 1);
    }
    while (parts.size() < 3) parts.push_back("0");
    osVersion_ = {leadingInteger(parts[0]), leadingInteger(parts[1]), leadingInteger(parts[2])};
    systemVersion_ = core::format("%ld.%ld.%ld", static_cast<long>(osVersion_.majorVersion),
                                  static_cast<long>(osVersion_.minorVersion),
                                  static_cast<long>(osVersion_.patchVersion));
}

bool DZDevice::isOSAtLeastMajor(std::int64_t major, std::int64_t minor, std::int64_t patch) const {
    return DZVersionIsAtLeast(osVersion_.majorVersion, osVersion_.minorVersion,
                              osVersion_.patchVersion, major, minor, patch);
}

void DZDevice::cacheStaticParameters() {
    if (!core::RunLoop::isMainThread() || hasCachedStatic()) return;
    const ui::DeviceProfile& profile = ui::DeviceProfile::current();
    infoPlist_ = host_->infoDictionary();
    deviceModel_ = profile.model;
    userInterfaceIdiomIsPhone_ = profile.idiom == ui::UserInterfaceIdiom::Phone;
    mainScreenDensity_ = profile.scale;
    standardizedMainScreenPortraitBounds_ = profile.screenBounds().standardized();

    const long orientation = profile.interfaceOrientation;
    lockQueue_->async([this, orientation] { statusBarOrientation_ = orientation; });
    if (isLandscape(orientation) && isOSAtLeastMajor(8, 0, 0)) {
        const gfx::Size size = standardizedMainScreenPortraitBounds_.size;
        standardizedMainScreenPortraitBounds_ = {0, 0, size.height, size.width};
    }
    supportedInterfaceOrientationsForKeyWindow_ =
        host_->supportedInterfaceOrientationsForMainWindow();
    const gfx::Size portrait = standardizedMainScreenPortraitBounds_.size;
    standardizedMainScreenLandscapeBounds_ = {0, 0, portrait.height, portrait.width};
    updateOrientedKeyWindowSize();
    hasCachedStaticParameters_ = true;
}

void DZDevice::cacheAdditionalStaticParameters() {
    if (!core::RunLoop::isMainThread() || hasCachedAdditionalStaticParameters_) return;
    if (isOSAtLeastMajor(9, 0, 0)) {
        canMakePhoneCalls_ = true;
        canText_ = ui::DeviceProfile::current().canSendText;
    } else {
        const core::Dictionary answers = canOpenURLs({"tel://", "sms://"});
        canMakePhoneCalls_ = answers["tel://"].boolValue();
        canText_ = answers["sms://"].boolValue();
    }
    hasCachedAdditionalStaticParameters_ = true;
}

core::Dictionary DZDevice::canOpenURLs(const std::vector<std::string>& urls) const {
    const bool queriesListed = isOSAtLeastMajor(9, 0, 0);
    std::vector<std::string> schemes;
    if (queriesListed) {
        const core::Value info = hasCachedStatic() ? infoPlist_ : host_->infoDictionary();
        if (const core::Array* listed = info["LSApplicationQueriesSchemes"].array()) {
            for (const core::Value& scheme : *listed) {
                if (scheme.isString()) schemes.push_back(*scheme.string());
            }
        }
    }
    core::Dictionary answers;
    for (const std::string& text : urls) {
        const auto url = core::URL::create(text);
        bool canOpen = false;
        // Schemes are compared without case, as the system opens them.
        const std::string scheme = url ? core::Unicode::toLower(url->scheme(), "") : "";
        if (url && (!queriesListed ||
                    std::any_of(schemes.begin(), schemes.end(), [&](const std::string& listed) {
                        return core::Unicode::toLower(listed, "") == scheme;
                    }))) {
            canOpen = ui::DeviceProfile::current().canOpenScheme(url->scheme());
        }
        answers.set(text, canOpen);
    }
    return answers;
}

void DZDevice::updateDynamicParameters() {
    updateOrientation();
    updateBookstores();
    updateOrientedKeyWindowSize();
    updateAudio();
}

void DZDevice::updateOrientation() {
    if (!core::RunLoop::isMainThread()) return;
    const long orientation = ui::DeviceProfile::current().interfaceOrientation;
    const unsigned long supported = host_->mainWindowSupportedInterfaceOrientations();
    lockQueue_->async([this, orientation, supported] {
        statusBarOrientation_ = orientation;
        mainWindowSupportedInterfaceOrientations_ = supported;
    });
}

void DZDevice::updateBookstores() {
    const core::Dictionary answers = canOpenURLs({"itms-books://", "kindle://home"});
    unsigned long bookstores = 0;
    if (isOSAtLeastMajor(8, 0, 0) || answers["itms-books://"].boolValue()) bookstores |= 1;
    if (answers["kindle://home"].boolValue()) bookstores |= 2;
    lockQueue_->async([this, bookstores] { bookstores_ = bookstores; });
}

void DZDevice::updateOrientedKeyWindowSize() {
    gfx::Size size = host_->mainWindowSize().value_or(gfx::Size{});
    if (!isOSAtLeastMajor(8, 0, 0) && orientationLandscape()) size = {size.height, size.width};
    lockQueue_->async([this, size] { standardizedOrientedKeyWindowSize_ = size; });
}

}  // namespace ads
