#pragma once
// What an in-ad video player asks of the slot that shows its ad, through the
// ad view delegate's opener: whether the slot's delegate keeps the player's
// video and sound activity away from the audio-video manager. The slot
// answers for its delegate. Main thread.

#include <optional>

namespace ads {

class DZAudioVideoManager;

class DZVideoReportingSlot {
public:
    virtual ~DZVideoReportingSlot() = default;
    // The delegate's answer; nullopt when it does not answer the question.
    [[nodiscard]] virtual std::optional<bool>
    shouldDisableVideoEventReportToAudioVideoManager(DZAudioVideoManager* manager) = 0;
};

}  // namespace ads
