#pragma once
// One full-screen episode of one slot: from the moment the first participant
// takes the screen until the last one has given it back. It counts the
// participants, tells the slot and the app (kAdModalViewControllerWillPresent-
// FullScreen / ...DidDismissFullScreen, with the intermission as object) when
// the episode begins and ends, keeps the idle timer off during it, restores
// the status bar after it when a participant hid it, and makes participants
// that ask for it leave one after another when the app returns to the
// foreground.
//
// Participants are held weakly: one freed without leaving is found by the
// difference between a counter and the live size of its table, and the
// episode still ends (at the next participant operation, or when the
// intermission itself goes).
//
// Main thread, except the deactivation queue's operations, which hop
// synchronously onto the main queue to act.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/NotificationCenter.h"

namespace core {
class OperationQueue;
}

namespace ads {

class DZIntermitting;
class DZSlot;

class DZIntermission : public std::enable_shared_from_this<DZIntermission> {
public:
    // nullptr without a slot.
    [[nodiscard]] static std::shared_ptr<DZIntermission> create(const std::shared_ptr<DZSlot>& slot);
    ~DZIntermission();
    DZIntermission(const DZIntermission&) = delete;
    DZIntermission& operator=(const DZIntermission&) = delete;

    void addParticipant(const std::shared_ptr<DZIntermitting>& participant);
    void participantWillOverrideStatusBarVisibility(const DZIntermitting* participant);
    void participantWillRelinquishScreen(const std::shared_ptr<DZIntermitting>& participant);
    void participantDidRelinquishScreen(const std::shared_ptr<DZIntermitting>& participant);
    // The live active participants, in the order they joined.
    [[nodiscard]] std::vector<std::shared_ptr<DZIntermitting>> activeParticipants() const;
    [[nodiscard]] bool isActiveParticipant(const DZIntermitting* participant) const;
    void cleanUpDeallocatedParticipants();
    void applicationWillEnterForegroundWithNotification();

    [[nodiscard]] std::shared_ptr<DZSlot> slot() const { return slot_.lock(); }
    [[nodiscard]] std::int64_t activeParticipantsCount() const { return activeParticipantsCount_; }
    [[nodiscard]] std::int64_t deactivatingParticipantsCount() const {
        return deactivatingParticipantsCount_;
    }
    [[nodiscard]] bool statusBarOverridden() const { return statusBarOverridden_; }
    [[nodiscard]] bool publisherIdleTimerDisabled() const { return publisherIdleTimerDisabled_; }
    [[nodiscard]] bool statusBarWasOriginallyHidden() const {
        return statusBarWasOriginallyHidden_;
    }
    [[nodiscard]] const std::shared_ptr<core::OperationQueue>& deactivationQueue() const {
        return deactivationQueue_;
    }

private:
    using Table = std::vector<std::weak_ptr<DZIntermitting>>;

    explicit DZIntermission(const std::shared_ptr<DZSlot>& slot);
    void begin();
    void willEnd();
    void didEnd();
    static bool contains(const Table& table, const DZIntermitting* participant);
    static void remove(Table& table, const DZIntermitting* participant);

    bool publisherIdleTimerDisabled_ = false;
    std::weak_ptr<DZSlot> slot_;
    bool statusBarWasOriginallyHidden_ = false;
    std::int64_t activeParticipantsCount_ = 0;
    std::int64_t deactivatingParticipantsCount_ = 0;
    Table activeParticipants_;
    Table deactivatingParticipants_;
    std::shared_ptr<core::OperationQueue> deactivationQueue_;
    bool statusBarOverridden_ = false;
    core::NotificationCenter::Token foregroundObserver_;
};

}  // namespace ads
