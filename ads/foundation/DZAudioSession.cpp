#include "ads/foundation/DZAudioSession.h"

#include "ads/foundation/DZThreading.h"

namespace ads {

DZAudioSession& DZAudioSession::sharedInstance() {
    static DZAudioSession* const shared = new DZAudioSession(ui::AudioSession::shared());
    return *shared;
}

std::unique_ptr<DZAudioSession> DZAudioSession::create(ui::AudioSession& session) {
    return std::unique_ptr<DZAudioSession>(new DZAudioSession(session));
}

DZAudioSession::DZAudioSession(ui::AudioSession& session)
    : session_(session),
      lockQueue_(DZCreateQueueWithQoS(DZQueueLabel("audio-session"), DZQoSUserInitiated)) {}

DZAudioSession::~DZAudioSession() {
    lockQueue_->sync([] {});
}

void DZAudioSession::enable() {
    lockQueue_->async([this] { enabled_ = true; });
}

void DZAudioSession::disable() {
    lockQueue_->async([this] {
        enabled_ = false;
        audioSessionStateSaved_ = false;
        wasOtherAppAudioInterrupted_ = false;
    });
}

void DZAudioSession::setMixable(bool mixable) {
    const std::string category = session_.category();
    const std::string mode = session_.mode();
    const std::uint64_t options = session_.categoryOptions();
    const bool otherAudioPlaying = session_.isOtherAudioPlaying();

    bool enabled = false;
    lockQueue_->sync([&] {
        enabled = enabled_;
        if (!enabled) return;
        if (!mixable) wasOtherAppAudioInterrupted_ = otherAudioPlaying;
        if (!audioSessionStateSaved_) {
            savedAudioSessionCategory_ = category;
            savedAudioSessionMode_ = mode;
            savedAudioSessionCategoryOption_ = options;
            audioSessionStateSaved_ = true;
        }
    });
    if (!enabled) return;
    (void)session_.setCategory(mixable ? ui::AudioSession::CategoryAmbient
                                       : ui::AudioSession::CategorySoloAmbient);
    (void)session_.setMode(ui::AudioSession::ModeDefault);
    (void)session_.setActive(true);
}

void DZAudioSession::restoreState() {
    bool restore = false;
    std::string category;
    std::string mode;
    std::uint64_t options = 0;
    lockQueue_->sync([&] {
        restore = enabled_ && audioSessionStateSaved_;
        category = savedAudioSessionCategory_;
        mode = savedAudioSessionMode_;
        options = savedAudioSessionCategoryOption_;
        wasOtherAppAudioInterrupted_ = false;
        audioSessionStateSaved_ = false;
    });
    if (!restore) return;
    (void)session_.setCategory(category, options);
    (void)session_.setMode(mode);
}

void DZAudioSession::resumeBackgroundAppAudioIfInterrupted() {
    bool resume = false;
    lockQueue_->sync([&] {
        resume = enabled_ && wasOtherAppAudioInterrupted_;
        wasOtherAppAudioInterrupted_ = false;
    });
    if (!resume) return;
    (void)session_.setCategory(ui::AudioSession::CategoryAmbient);
    (void)session_.setMode(ui::AudioSession::ModeDefault);
    (void)session_.setActive(false, ui::AudioSession::OptionNotifyOthersOnDeactivation);
}

bool DZAudioSession::isEnabled() const {
    bool enabled = false;
    lockQueue_->sync([&] { enabled = enabled_; });
    return enabled;
}

bool DZAudioSession::isStateSaved() const {
    bool saved = false;
    lockQueue_->sync([&] { saved = audioSessionStateSaved_; });
    return saved;
}

bool DZAudioSession::wasOtherAppAudioInterrupted() const {
    bool interrupted = false;
    lockQueue_->sync([&] { interrupted = wasOtherAppAudioInterrupted_; });
    return interrupted;
}

}  // namespace ads
