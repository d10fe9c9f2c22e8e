#pragma once
// The SDK's manager of the audio session while ad video or sound plays.
// DZMobileAds makes one when it is created and hands it out; nothing here
// changes the audio session yet: the ad video player takes its policy over.

#include <memory>

namespace ads {

class DZAudioVideoManager : public std::enable_shared_from_this<DZAudioVideoManager> {
public:
    DZAudioVideoManager() = default;
    DZAudioVideoManager(const DZAudioVideoManager&) = delete;
    DZAudioVideoManager& operator=(const DZAudioVideoManager&) = delete;
};

}  // namespace ads
