#pragma once
// Lets ads with sound take over the app's shared audio session and give it
// back: the app's category, mode and options are saved before the first ad
// changes them and put back by restoreState(); an ad that silenced another
// app's audio can hand it back. The app may disable all of it.
//
// Any thread. Flags and saved values change only on the lock queue; the
// session calls run on the calling thread after the locked block.

#include <cstdint>
#include <memory>
#include <string>

#include "core/Queue.h"
#include "ui/AudioSession.h"

namespace ads {

class DZAudioSession {
public:
    static DZAudioSession& sharedInstance();
    // A separate instance over the given session (the shared one serves the
    // process; tests make their own).
    [[nodiscard]] static std::unique_ptr<DZAudioSession> create(ui::AudioSession& session);

    // Waits for queued changes, which refer to this instance.
    ~DZAudioSession();
    DZAudioSession(const DZAudioSession&) = delete;
    DZAudioSession& operator=(const DZAudioSession&) = delete;

    void enable();
    // Also forgets a saved state without restoring it.
    void disable();
    // An ad is about to play; mixable says whether its audio may mix with
    // other apps' audio.
    void setMixable(bool mixable);
    void restoreState();
    void resumeBackgroundAppAudioIfInterrupted();

    // What the app's audio policy has decided so far: whether ads may touch
    // the session, whether the app's state is kept for a restore, and
    // whether an ad's sound silenced another app's audio.
    [[nodiscard]] bool isEnabled() const;
    [[nodiscard]] bool isStateSaved() const;
    [[nodiscard]] bool wasOtherAppAudioInterrupted() const;

private:
    explicit DZAudioSession(ui::AudioSession& session);

    ui::AudioSession& session_;
    std::shared_ptr<core::Queue> lockQueue_;
    bool audioSessionStateSaved_ = false;
    std::string savedAudioSessionCategory_;
    std::string savedAudioSessionMode_;
    std::uint64_t savedAudioSessionCategoryOption_ = 0;
    bool enabled_ = true;
    bool wasOtherAppAudioInterrupted_ = false;
};

}  // namespace ads
