// DZSlot: changes of the interface orientation turned into the slot's own
// creative orientation notification, which its MRAID creative follows.

#include "ads/core/slot/DZSlot.h"
#include "ui/DeviceProfile.h"

namespace ads {

void DZSlot::beginListeningToDeviceOrientationChangeEvent() {
    if (isListeningToDeviceOrientationChangeEvent_) return;
    didChangeDeviceOrientation();
    isListeningToDeviceOrientationChangeEvent_ = true;
    statusBarOrientationObserver_ = std::make_shared<char>();
    core::NotificationCenter::defaultCenter().addObserver(
        statusBarOrientationObserver_, ui::DeviceProfile::StatusBarOrientationDidChangeNotification,
        nullptr, [weak = weak_from_this()](const core::Notification&) {
            if (const auto self = weak.lock()) self->didChangeDeviceOrientation();
        });
}

void DZSlot::endListeningToDeviceOrientationChangeEvent() {
    if (!isListeningToDeviceOrientationChangeEvent_) return;
    isListeningToDeviceOrientationChangeEvent_ = false;
    auto& center = core::NotificationCenter::defaultCenter();
    if (statusBarOrientationObserver_) center.removeObserver(statusBarOrientationObserver_.get());
    statusBarOrientationObserver_.reset();
    if (creativeOrientationObserver_) center.removeObserver(creativeOrientationObserver_.get());
    creativeOrientationObserver_.reset();
}

void DZSlot::addCreativeOrientationChangeObserver(const std::shared_ptr<void>& observer,
                                                  std::function<void()> callback) {
    if (!observer || !callback) return;
    std::shared_ptr<void> registrant = observer;
    if (observer.get() == static_cast<const void*>(this)) {
        // The slot's own registration is made on behalf of a token of its
        // own, so that ending the listening removes it and nothing else.
        if (!creativeOrientationObserver_) creativeOrientationObserver_ = std::make_shared<char>();
        registrant = creativeOrientationObserver_;
    }
    core::NotificationCenter::defaultCenter().addObserver(
        registrant, kCreativeOrientationChangedNotification, static_cast<const void*>(this),
        [callback = std::move(callback)](const core::Notification&) { callback(); });
}

void DZSlot::didChangeDeviceOrientation() {
    core::NotificationCenter::defaultCenter().post(kCreativeOrientationChangedNotification,
                                                   static_cast<const void*>(this));
}

}  // namespace ads
