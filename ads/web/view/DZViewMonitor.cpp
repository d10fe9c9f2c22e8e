#include "ads/web/view/DZViewMonitor.h"

#include "ads/foundation/DZGeometry.h"
#include "ads/foundation/DZScheduler.h"
#include "ads/foundation/DZThreading.h"
#include "ui/Application.h"

namespace ads {

namespace {

bool isTransparent(const ui::View* view) {
    for (const ui::View* current = view; current; current = current->superview().get()) {
        if (current->alpha() <= 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::shared_ptr<DZViewMonitor> DZViewMonitor::create(const std::shared_ptr<ui::View>& view) {
    if (!view) {
        return nullptr;
    }
    return std::shared_ptr<DZViewMonitor>(new DZViewMonitor(view));
}

void DZViewMonitor::startMonitoringWithSamplingInterval(double seconds) {
    DZRunOnMainThread([weakSelf = weak_from_this(), seconds] {
        const auto self = weakSelf.lock();
        if (!self || self->scheduler_) {
            return;
        }
        self->scheduler_ = DZScheduler::create(seconds);
        self->scheduler_->taskIDScheduledOnQueue(core::Queue::main(), [weakSelf] {
            if (const auto monitor = weakSelf.lock()) {
                monitor->updateViewBounds();
            }
        });
        self->scheduler_->start();
    });
}

void DZViewMonitor::stopMonitoring() {
    DZRunOnMainThread([weakSelf = weak_from_this()] {
        const auto self = weakSelf.lock();
        if (self && self->scheduler_) {
            self->scheduler_->stop();
            self->scheduler_.reset();
        }
    });
}

void DZViewMonitor::sample() {
    DZRunOnMainThread([weakSelf = weak_from_this()] {
        if (const auto self = weakSelf.lock()) {
            self->updateViewBounds();
        }
    });
}

bool DZViewMonitor::monitoredViewVisible() const {
    if (ui::Application::shared().state() != ui::ApplicationState::Active) {
        return false;
    }
    std::lock_guard lock(mutex_);
    return visible_;
}

gfx::Rect DZViewMonitor::monitoredViewVisibleBounds() const {
    std::lock_guard lock(mutex_);
    return visibleBounds_;
}

void DZViewMonitor::setDelegate(std::weak_ptr<DZViewMonitorDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<DZViewMonitorDelegate> DZViewMonitor::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void DZViewMonitor::updateViewBounds() {
    const auto view = view_.lock();
    gfx::Rect bounds = DZVisibleFrameOfView(view.get());
    if (isTransparent(view.get())) {
        bounds = gfx::Rect();
    }
    {
        std::lock_guard lock(mutex_);
        visibleBounds_ = bounds;
        visible_ = !bounds.isEmpty();
    }
    if (!view) {
        stopMonitoring();
    }
    if (const auto listener = delegate()) {
        listener->viewMonitorDidRefresh(*this);
    }
}

}  // namespace ads
