#include "ads/foundation/DZCSIVariableTiming.h"

#include <utility>

#include "core/NotificationCenter.h"
#include "ui/Application.h"

namespace ads {

std::shared_ptr<DZCSIVariableTiming> DZCSIVariableTiming::create(std::string name,
                                                                 double startTime) {
    std::shared_ptr<DZCSIVariableTiming> timing(
        new DZCSIVariableTiming(std::move(name), startTime));
    std::lock_guard lock(timing->mutex_);
    timing->watchResignActiveWhileRunningLocked();
    return timing;
}

DZCSIVariableTiming::DZCSIVariableTiming(std::string name, double startTime)
    : name_(std::move(name)), start_(startTime) {}

DZCSIVariableTiming::~DZCSIVariableTiming() {
    if (watching_)
        core::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

void DZCSIVariableTiming::watchResignActiveWhileRunningLocked() {
    const bool running = length_ < 0;
    if (running == watching_) return;
    watching_ = running;
    auto& center = core::NotificationCenter::defaultCenter();
    if (!running) {
        center.removeObserver(static_cast<const void*>(this));
        return;
    }
    std::weak_ptr<DZCSIVariableTiming> weakSelf = weak_from_this();
    center.addObserver(std::weak_ptr<void>(weakSelf), ui::Application::WillResignActiveNotification,
                       nullptr, [weakSelf](const core::Notification&) {
                           if (const auto self = weakSelf.lock())
                               self->applicationWillResignActive();
                       });
}

void DZCSIVariableTiming::applicationWillResignActive() {
    std::lock_guard lock(mutex_);
    if (length_ < 0) start_ = -1.0;
}

double DZCSIVariableTiming::start() const {
    std::lock_guard lock(mutex_);
    return start_;
}

void DZCSIVariableTiming::setStart(double start) {
    std::lock_guard lock(mutex_);
    start_ = start;
}

double DZCSIVariableTiming::length() const {
    std::lock_guard lock(mutex_);
    return length_;
}

void DZCSIVariableTiming::setLength(double length) {
    std::lock_guard lock(mutex_);
    length_ = length;
    watchResignActiveWhileRunningLocked();
}

double DZCSIVariableTiming::endAtTime(double time) {
    std::lock_guard lock(mutex_);
    length_ = time - start_;
    watchResignActiveWhileRunningLocked();
    return length_;
}

bool DZCSIVariableTiming::isValid() const {
    std::lock_guard lock(mutex_);
    return start_ > 0 && length_ > 0;
}

}  // namespace ads
