#include "ads/presentation/fullscreen/DZIntermission.h"

#include <algorithm>

#include "ads/core/response/DZAd.h"
#include "ads/core/slot/DZMRAIDEventHandling.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/presentation/fullscreen/DZIntermitting.h"
#include "core/OperationQueue.h"
#include "core/Queue.h"
#include "ui/Application.h"

namespace ads {

namespace {

void updateMRAIDVisibility(const std::shared_ptr<DZSlot>& slot, bool visible) {
    if (!slot || !slot->ad()) return;
    if (const auto handler = slot->ad()->MRAIDEventHandler().lock()) handler->updateVisibility(visible);
}

size_t liveSize(const std::vector<std::weak_ptr<DZIntermitting>>& table) {
    return static_cast<size_t>(std::count_if(table.begin(), table.end(),
                                             [](const auto& entry) { return !entry.expired(); }));
}

}  // namespace

std::shared_ptr<DZIntermission> DZIntermission::create(const std::shared_ptr<DZSlot>& slot) {
    if (!slot) return nullptr;
    return std::shared_ptr<DZIntermission>(new DZIntermission(slot));
}

DZIntermission::DZIntermission(const std::shared_ptr<DZSlot>& slot)
    : slot_(slot), deactivationQueue_(core::OperationQueue::create("intermission deactivation")) {
    deactivationQueue_->setMaxConcurrentOperationCount(1);
}

DZIntermission::~DZIntermission() {
    cleanUpDeallocatedParticipants();
    if (activeParticipantsCount_ > 0) {
        activeParticipantsCount_ = 0;
        deactivatingParticipantsCount_ = 0;
        willEnd();
        didEnd();
    } else if (deactivatingParticipantsCount_ > 0) {
        deactivatingParticipantsCount_ = 0;
        didEnd();
    }
    if (foregroundObserver_) core::NotificationCenter::defaultCenter().removeObserver(foregroundObserver_);
    deactivationQueue_->cancelAllOperations();
    deactivationQueue_->setSuspended(false);
}

bool DZIntermission::contains(const Table& table, const DZIntermitting* participant) {
    return std::any_of(table.begin(), table.end(), [&](const auto& entry) {
        const auto live = entry.lock();
        return live && live.get() == participant;
    });
}

void DZIntermission::remove(Table& table, const DZIntermitting* participant) {
    std::erase_if(table, [&](const auto& entry) {
        const auto live = entry.lock();
        return live && live.get() == participant;
    });
}

void DZIntermission::addParticipant(const std::shared_ptr<DZIntermitting>& participant) {
    cleanUpDeallocatedParticipants();
    if (!participant) return;
    if (activeParticipantsCount_ == 0 && deactivatingParticipantsCount_ == 0) begin();
    activeParticipants_.push_back(participant);
    ++activeParticipantsCount_;
}

void DZIntermission::participantWillOverrideStatusBarVisibility(const DZIntermitting*) {
    statusBarOverridden_ = true;
}

void DZIntermission::participantWillRelinquishScreen(
    const std::shared_ptr<DZIntermitting>& participant) {
    cleanUpDeallocatedParticipants();
    deactivationQueue_->setSuspended(true);
    if (!participant || !contains(activeParticipants_, participant.get())) return;
    remove(activeParticipants_, participant.get());
    deactivatingParticipants_.push_back(participant);
    --activeParticipantsCount_;
    ++deactivatingParticipantsCount_;
    if (activeParticipantsCount_ == 0) willEnd();
}

void DZIntermission::participantDidRelinquishScreen(
    const std::shared_ptr<DZIntermitting>& participant) {
    cleanUpDeallocatedParticipants();
    if (participant && contains(activeParticipants_, participant.get()))
        participantWillRelinquishScreen(participant);
    if (participant && contains(deactivatingParticipants_, participant.get())) {
        remove(deactivatingParticipants_, participant.get());
        --deactivatingParticipantsCount_;
        if (activeParticipantsCount_ == 0 && deactivatingParticipantsCount_ == 0) didEnd();
    }
    if (deactivatingParticipantsCount_ == 0) deactivationQueue_->setSuspended(false);
}

std::vector<std::shared_ptr<DZIntermitting>> DZIntermission::activeParticipants() const {
    std::vector<std::shared_ptr<DZIntermitting>> live;
    for (const auto& entry : activeParticipants_)
        if (auto participant = entry.lock()) live.push_back(std::move(participant));
    return live;
}

bool DZIntermission::isActiveParticipant(const DZIntermitting* participant) const {
    return contains(activeParticipants_, participant);
}

void DZIntermission::cleanUpDeallocatedParticipants() {
    const std::int64_t activeBefore = activeParticipantsCount_;
    const std::int64_t deactivatingBefore = deactivatingParticipantsCount_;
    const auto activeLive = static_cast<std::int64_t>(liveSize(activeParticipants_));
    const auto deactivatingLive = static_cast<std::int64_t>(liveSize(deactivatingParticipants_));
    std::erase_if(activeParticipants_, [](const auto& entry) { return entry.expired(); });
    std::erase_if(deactivatingParticipants_, [](const auto& entry) { return entry.expired(); });
    activeParticipantsCount_ = activeLive;
    deactivatingParticipantsCount_ = deactivatingLive;
    if (activeBefore <= activeLive && deactivatingBefore <= deactivatingLive) return;
    if (activeBefore > activeLive && activeParticipantsCount_ == 0) willEnd();
    if (deactivatingParticipantsCount_ == 0) {
        deactivationQueue_->setSuspended(false);
        if (activeParticipantsCount_ == 0) didEnd();
    }
}

void DZIntermission::applicationWillEnterForegroundWithNotification() {
    // The latest participant is the topmost: it leaves first.
    const auto participants = activeParticipants();
    for (auto it = participants.rbegin(); it != participants.rend(); ++it) {
        if (!(*it)->shouldDismissOnApplicationEnteringForeground()) continue;
        std::weak_ptr<DZIntermitting> weakParticipant = *it;
        std::weak_ptr<DZIntermission> weakSelf = weak_from_this();
        deactivationQueue_->addOperation([weakParticipant, weakSelf] {
            core::Queue::main()->sync([&] {
                const auto self = weakSelf.lock();
                const auto participant = weakParticipant.lock();
                if (!self || !participant || !self->isActiveParticipant(participant.get())) return;
                participant->relinquishScreenWithCompletion(nullptr);
            });
        });
    }
}

void DZIntermission::begin() {
    const auto slot = slot_.lock();
    core::NotificationCenter::defaultCenter().post(DZSlot::kWillPresentFullScreenNotification,
                                                   this);
    if (slot) slot->adWillPresentScreen();
    ui::Application& application = ui::Application::shared();
    publisherIdleTimerDisabled_ = application.isIdleTimerDisabled();
    application.setIdleTimerDisabled(true);
    statusBarWasOriginallyHidden_ = application.isStatusBarHidden();
    updateMRAIDVisibility(slot, false);
    if (!foregroundObserver_) {
        std::weak_ptr<DZIntermission> weakSelf = weak_from_this();
        foregroundObserver_ = core::NotificationCenter::defaultCenter().addObserver(
            ui::Application::WillEnterForegroundNotification, nullptr, nullptr,
            [weakSelf](const core::Notification&) {
                if (const auto self = weakSelf.lock())
                    self->applicationWillEnterForegroundWithNotification();
            });
    }
}

void DZIntermission::willEnd() {
    ui::Application& application = ui::Application::shared();
    application.setIdleTimerDisabled(publisherIdleTimerDisabled_);
    if (statusBarOverridden_) application.setStatusBarHidden(statusBarWasOriginallyHidden_);
    if (const auto slot = slot_.lock()) slot->adWillDismissScreen();
}

void DZIntermission::didEnd() {
    if (foregroundObserver_) {
        core::NotificationCenter::defaultCenter().removeObserver(foregroundObserver_);
        foregroundObserver_ = {};
    }
    core::NotificationCenter::defaultCenter().post(DZSlot::kDidDismissFullScreenNotification, this);
    const auto slot = slot_.lock();
    if (!slot) return;
    slot->adDidDismissScreen();
    updateMRAIDVisibility(slot, slot->monitoredViewVisible());
}

}  // namespace ads
