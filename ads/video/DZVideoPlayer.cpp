#include "ads/video/DZVideoPlayer.h"

#include <cmath>
#include <cstdio>

#include "ads/core/app/DZMobileAds.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZLoggingHierarchy.h"
#include "ads/foundation/DZSawmillEvent.h"
#include "ads/foundation/DZSawmillLogger.h"
#include "ads/foundation/DZThreading.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/video/DZAudioVideoManager.h"
#include "ads/video/DZVideoConfiguration.h"
#include "ads/video/DZVideoReportingSlot.h"
#include "ads/web/cache/DZGCacheTargetURL.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

constexpr const char* kObservedKeyPaths[] = {
    "currentItem.playbackLikelyToKeepUp", "currentItem.playbackBufferFull",
    "currentItem.duration", "rate", "status"};

std::string fixedDecimal(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

double itemSeconds(const std::shared_ptr<media::PlayerItem>& item) {
    return item ? item->duration().toSeconds() : 0;
}

}  // namespace

std::shared_ptr<DZVideoPlayer> DZVideoPlayer::create(const std::shared_ptr<DZAdView>& adView) {
    auto player = std::make_shared<DZVideoPlayer>(Token{}, adView);
    player->reportingDisabled_ = player->decideReportingDisabled();
    player->observePlayer();
    return player;
}

DZVideoPlayer::DZVideoPlayer(Token, const std::shared_ptr<DZAdView>& adView)
    : adView_(adView),
      player_(media::Player::create()),
      configuration_(DZVideoConfiguration::create()) {}

DZVideoPlayer::~DZVideoPlayer() {
    for (const auto& token : periodicTimeObservers_) player_->removeTimeObserver(token);
    if (!reportingDisabled_) {
        if (const auto manager = this->manager()) manager->playerDidPauseVideo(player_);
    }
    didStopBuffering();
    stopObservingPlayer();
    stopObservingLoadedTimeRanges();
    stopObservingPlayerItemEnd();
    if (videoLoader_) {
        videoLoader_->setDelegate({});
        videoLoader_->cancel();
    }
    DZLoggingHierarchy::sharedInstance()->removeObject(static_cast<const void*>(this));
}

bool DZVideoPlayer::decideReportingDisabled() const {
    if (!DZDevice::sharedInstance()->isOSAtLeastMajor(7, 0, 0)) return true;
    const auto adView = this->adView();
    const auto delegate =
        adView ? std::dynamic_pointer_cast<DZAdViewDelegate>(adView->delegate()) : nullptr;
    const auto opener = delegate ? delegate->opener() : nullptr;
    if (const auto slot = opener ? opener->videoReportingSlot() : nullptr) {
        if (const auto answer =
                slot->shouldDisableVideoEventReportToAudioVideoManager(manager().get()))
            return *answer;
    }
    return core::UserDefaults::standard()->boolForKey(kReportingDisabledKey);
}

std::shared_ptr<DZAudioVideoManager> DZVideoPlayer::manager() const {
    return DZMobileAds::sharedInstance().audioVideoManager();
}

// Sources.

void DZVideoPlayer::setSourceURL(const std::optional<core::URL>& url,
                                 const std::shared_ptr<DZResourceCache>& resourceCache,
                                 const std::shared_ptr<DZVideoConfiguration>& configuration) {
    startSource(url, resourceCache, configuration, false);
}

void DZVideoPlayer::startSource(const std::optional<core::URL>& url,
                                const std::shared_ptr<DZResourceCache>& resourceCache,
                                const std::shared_ptr<DZVideoConfiguration>& configuration,
                                bool fallback) {
    sourceURL_ = url;
    resetLogger();
    if (url && !url->absoluteString().empty()) logEvent("loading_started", URLParameters());
    if (videoLoader_) {
        videoLoader_->setDelegate({});
        videoLoader_->cancel();
    }
    stopObservingPlayerItemEnd();
    // A stall of the previous source is no longer waited out: the new
    // source's own configuration decides whether its stalls are.
    stopObservingLoadedTimeRanges();
    playbackStalled_ = false;
    willStartBuffering();
    if (url) {
        if (const auto adView = this->adView())
            DZAdURLStash::sharedInstance()->willLoadURLRequest(adView, core::URLRequest(*url));
    }
    configuration_ = configuration;
    hasPostedCanPlayThrough_ = false;
    if (!fallback) hasPostedLoadError_ = false;
    videoLoader_ = DZVideoLoader::create(weak_from_this());
    videoLoader_->setDelegate(weak_from_this());
    videoLoader_->loadURL(url, resourceCache, configuration);
}

void DZVideoPlayer::videoLoaderDidStartLoadingURL(DZVideoLoader& loader,
                                                  const std::optional<core::URL>&) {
    if (&loader != videoLoader_.get()) return;
    if (configuration_ && !configuration_->enableAVPlayerPlaybackBuffering())
        player_->setAutomaticallyWaitsToMinimizeStalling(false);
    playerItem_ = loader.playerItem();
    observePlayerItemEnd();
    player_->replaceCurrentItem(playerItem_);
}

void DZVideoPlayer::videoLoaderDidFailToLoadURL(DZVideoLoader& loader,
                                                const std::optional<core::URL>& url,
                                                const Error& error) {
    if (&loader != videoLoader_.get()) return;
    if (url && !url->absoluteString().empty()) {
        core::Dictionary parameters = DZSawmillErrorParameters(error);
        for (const auto& [key, value] : URLParameters()) parameters.set(key, value);
        logEvent("loading_failed", std::move(parameters));
    }
    if (url) {
        if (const auto target = DZGCacheTargetURL(*url)) {
            startSource(target, nullptr, configuration_, true);
            return;
        }
    }
    didStopBuffering();
    // The page would otherwise wait for a "canplaythrough" that never comes.
    if (!std::exchange(hasPostedLoadError_, true)) sendEvent("error");
}

// Observation.

void DZVideoPlayer::observePlayer() {
    if (isObserving_) return;
    isObserving_ = true;
    const std::weak_ptr<DZVideoPlayer> weak = weak_from_this();
    for (const char* keyPath : kObservedKeyPaths) {
        playerObservers_.push_back(player_->addObserver(keyPath, [weak](const std::string& path) {
            const auto self = weak.lock();
            if (!self) return;
            if (path == "status") {
                self->statusChanged();
            } else if (path == "rate") {
                self->rateChanged();
            } else {
                self->currentItemChanged();
            }
        }));
    }
    timeObserver_ = player_->addPeriodicTimeObserver(
        media::Time::seconds(kTimeUpdateInterval), core::Queue::main(),
        [weak](media::Time time) {
            if (const auto self = weak.lock()) self->notifyVideoPlayerWithTime(time);
        });
}

void DZVideoPlayer::stopObservingPlayer() {
    if (!isObserving_) return;
    isObserving_ = false;
    for (const auto& token : playerObservers_) player_->removeObserver(token);
    playerObservers_.clear();
    player_->removeTimeObserver(timeObserver_);
    timeObserver_ = {};
}

void DZVideoPlayer::observePlayerItemEnd() {
    stopObservingPlayerItemEnd();
    if (!playerItem_) return;
    endObserver_ = core::NotificationCenter::defaultCenter().addObserver(
        media::PlayerItem::kDidPlayToEndTimeNotification, playerItem_.get(), nullptr,
        [weak = weak_from_this()](const core::Notification&) {
            if (const auto self = weak.lock()) self->itemDidPlayToEnd();
        });
}

void DZVideoPlayer::stopObservingPlayerItemEnd() {
    if (!endObserver_) return;
    core::NotificationCenter::defaultCenter().removeObserver(endObserver_);
    endObserver_ = {};
}

void DZVideoPlayer::observeLoadedTimeRanges() {
    if (loadedRangesItem_) return;
    loadedRangesItem_ = player_->currentItem();
    if (!loadedRangesItem_) return;
    loadedRangesObserver_ = loadedRangesItem_->addObserver(
        "loadedTimeRanges", [weak = weak_from_this()](const std::string&) {
            if (const auto self = weak.lock()) self->handlePlayerItemDurationLoadUpdate();
        });
}

void DZVideoPlayer::stopObservingLoadedTimeRanges() {
    if (!loadedRangesItem_) return;
    loadedRangesItem_->removeObserver(loadedRangesObserver_);
    loadedRangesItem_.reset();
}

void DZVideoPlayer::statusChanged() {
    const auto status = player_->status();
    if (status == media::Player::Status::unknown || status == media::Player::Status::failed)
        sendEvent("error");
}

void DZVideoPlayer::rateChanged() {
    const float rate = player_->rate();
    if (rate == 0) {
        pause();
    } else {
        play();
    }
    if (rate == 0 && playing_ && configuration_ &&
        !configuration_->enableAVPlayerPlaybackBuffering() && !playbackStalled_) {
        playbackStalled_ = true;
        observeLoadedTimeRanges();
        player_->pause();
    }
    if (rate > 0) {
        playbackStalled_ = false;
        stopObservingLoadedTimeRanges();
    }
}

void DZVideoPlayer::currentItemChanged() {
    if (hasPostedCanPlayThrough_) return;
    const auto& item = player_->currentItem();
    if (!item) return;
    const media::Time duration = item->duration();
    if (!duration.isNumeric() || duration.timescale() < 1) return;
    if (item->isPlaybackLikelyToKeepUp() || item->isPlaybackBufferFull()) videoIsReadyToPlay();
}

void DZVideoPlayer::handlePlayerItemDurationLoadUpdate() {
    const auto& item = player_->currentItem();
    // Without a configuration (a "new" message sets none) nothing holds
    // playback back.
    if (!playing_ || player_->rate() > 0 || !item || !configuration_) return;
    double ahead = 0;
    const media::Time current = item->currentTime();
    if (!item->loadedTimeRanges().empty() && current.isNumeric()) {
        const media::TimeRange& range = item->loadedTimeRanges().front();
        const double now = current.toSeconds();
        if (range.isValid() && range.duration.toSeconds() != 0 && now >= range.startSeconds() &&
            now < range.endSeconds()) {
            ahead = std::max(0.0, range.endSeconds() - now);
        }
    }
    const double threshold = hasPlaybackStalledAtLeastOnce_
                                 ? configuration_->bufferForPlaybackAfterRebufferTimeInterval()
                                 : configuration_->bufferForPlaybackTimeInterval();
    if (ahead < threshold) return;
    hasPlaybackStalledAtLeastOnce_ = true;
    player_->play();
}

void DZVideoPlayer::itemDidPlayToEnd() {
    if (!reportingDisabled_) {
        if (const auto manager = this->manager()) manager->playerDidPauseVideo(player_);
    }
    sendEvent("ended");
}

void DZVideoPlayer::videoIsReadyToPlay() {
    if (hasPostedCanPlayThrough_) return;
    logEvent("ready_to_play", URLParameters());
    const double duration = itemSeconds(player_->currentItem());
    const gfx::Size size = videoSize();
    didStopBuffering();
    sendEvent("canplaythrough",
              {{"duration", fixedDecimal(duration)},
               {"videoWidth", size.width},
               {"videoHeight", size.height},
               {"screenDensity", DZDevice::sharedInstance()->mainScreenDensity()}});
    hasPostedCanPlayThrough_ = true;
    core::Queue::main()->async([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self) return;
        if (const auto delegate = self->delegate())
            delegate->playerDidLoadURL(*self, self->sourceURL_, self->player_);
    });
}

void DZVideoPlayer::notifyVideoPlayerWithTime(media::Time time) {
    if (player_->rate() <= 0) return;
    const double seconds = time.toSeconds();
    sendEvent("timeupdate", {{"time", fixedDecimal(seconds)}});
    logEvent("progress",
             core::Dictionary{{"time_ms", seconds * 1000},
                              {"duration_ms", itemSeconds(player_->currentItem()) * 1000}});
}

// Buffering.

void DZVideoPlayer::willStartBuffering() {
    if (isBuffering_) return;
    core::NotificationCenter::defaultCenter().post(WillStartBufferingNotification, this);
    isBuffering_ = true;
}

void DZVideoPlayer::didStopBuffering() {
    if (!isBuffering_) return;
    core::NotificationCenter::defaultCenter().post(DidStopBufferingNotification, this);
    isBuffering_ = false;
}

// Commands.

void DZVideoPlayer::playNativePlayer() {
    if (!reportingDisabled_) {
        if (const auto manager = this->manager()) manager->playerWillStartPlayingVideo(player_);
    }
    logEvent("play", 1);
    player_->play();
    playing_ = true;
}

void DZVideoPlayer::pauseNativePlayer() {
    playing_ = false;
    player_->pause();
    stopObservingLoadedTimeRanges();
    if (!reportingDisabled_) {
        if (const auto manager = this->manager()) manager->playerDidPauseVideo(player_);
    }
}

void DZVideoPlayer::play() {
    if (hasPostedCanPlayThrough_) sendEvent("play");
}

void DZVideoPlayer::pause() {
    if (hasPostedCanPlayThrough_) sendEvent("pause");
}

void DZVideoPlayer::setVolume(float volume) {
    if (!std::isfinite(volume) || volume < 0) return;
    const auto manager = reportingDisabled_ ? nullptr : this->manager();
    if (volume > 0 && !muted_ && player_->rate() > 0 && manager)
        manager->playerWillStartPlayingSound(player_);
    player_->setVolume(volume);
    volume_ = volume;
    if (volume == 0 && manager) manager->playerDidStopPlayingSound(player_);
}

void DZVideoPlayer::setMuted(bool muted) {
    const auto manager = reportingDisabled_ ? nullptr : this->manager();
    if (!muted && volume_ > 0 && player_->rate() > 0 && manager)
        manager->playerWillStartPlayingSound(player_);
    player_->setMuted(muted);
    muted_ = muted;
    if (muted && manager) manager->playerDidStopPlayingSound(player_);
}

void DZVideoPlayer::setAudioMixVolume(float volume) {
    if (std::isnan(volume)) return;
    volume = std::clamp(volume, 0.0f, 1.0f);
    const auto& item = player_->currentItem();
    if (!item) return;
    if (volume == 1) {
        item->setAudioMix(std::nullopt);
        return;
    }
    media::AudioMix mix;
    for (const auto& track : item->asset()->tracks(media::MediaType::audio))
        mix.inputParameters.push_back({track.trackID, volume, media::Time::zero()});
    item->setAudioMix(std::move(mix));
}

void DZVideoPlayer::seekToTime(double seconds) {
    if (!std::isfinite(seconds)) return;
    player_->seekToTime(media::Time::seconds(seconds, media::Time::kNanoseconds));
}

gfx::Size DZVideoPlayer::videoSize() const {
    gfx::Size size{-1, -1};
    const auto& item = player_->currentItem();
    if (!item) return size;
    const double density = DZDevice::sharedInstance()->mainScreenDensity();
    for (const auto& track : item->asset()->tracks(media::MediaType::video)) {
        const gfx::Size natural = track.naturalSize;
        if (natural.width == 0 && natural.height == 0) continue;
        const gfx::AffineTransform& t = track.preferredTransform;
        // A turned track's transform gives negative sides; the size is the
        // extent on screen.
        const double width = std::abs(natural.width * t.a + natural.height * t.c);
        const double height = std::abs(natural.width * t.b + natural.height * t.d);
        size = density > 0 ? gfx::Size{width / density, height / density}
                           : gfx::Size{width, height};
    }
    return size;
}

void DZVideoPlayer::addPeriodicTimeObserver(media::Time interval,
                                            std::shared_ptr<core::Queue> queue,
                                            media::Player::TimeObserver block,
                                            std::function<void(TimeObserverToken)> completion) {
    DZRunOnMainThread([weak = weak_from_this(), interval, queue = std::move(queue),
                       block = std::move(block), completion = std::move(completion)]() mutable {
        const auto self = weak.lock();
        if (!self) return;
        const auto token =
            self->player_->addPeriodicTimeObserver(interval, std::move(queue), std::move(block));
        self->periodicTimeObservers_.push_back(token);
        if (completion) completion(token);
    });
}

void DZVideoPlayer::removeTimeObserver(TimeObserverToken token) {
    DZRunOnMainThread([weak = weak_from_this(), token] {
        const auto self = weak.lock();
        if (!self) return;
        std::erase(self->periodicTimeObservers_, token);
        self->player_->removeTimeObserver(token);
    });
}

// Reports.

void DZVideoPlayer::resetLogger() {
    logger_ = DZLoggingHierarchy::sharedInstance()->loggerForObject(shared_from_this());
}

void DZVideoPlayer::sendEvent(std::string_view event, core::Dictionary parameters) {
    const auto adView = this->adView();
    if (!adView) return;
    core::Dictionary userInfo{{"event", std::string(event)}};
    for (auto& [key, value] : parameters) userInfo.set(key, std::move(value));
    adView->postJSNotification(kPageMessage, core::Value(std::move(userInfo)));
}

void DZVideoPlayer::logEvent(std::string_view key, core::Value value) {
    if (logger_)
        logger_->reportEvent(
            DZSawmillEvent(kLogGroup, core::Dictionary{{std::string(key), std::move(value)}}));
}

core::Dictionary DZVideoPlayer::URLParameters() const {
    const std::string text = sourceURL_ ? sourceURL_->absoluteString() : std::string();
    const bool gcache = sourceURL_ && DZIsGCacheURL(*sourceURL_);
    return {{"url", text}, {"is_gcache", gcache ? 1 : 0}};
}

}  // namespace ads
