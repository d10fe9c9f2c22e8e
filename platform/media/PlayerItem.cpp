#include "media/PlayerItem.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "media/EngineItemSink.h"
#include "media/Player.h"

namespace media {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Times closer than this count as the same instant.
constexpr double kTolerance = 1e-6;

}  // namespace

std::shared_ptr<PlayerItem> PlayerItem::create(std::shared_ptr<URLAsset> asset) {
    if (!asset) return nullptr;
    auto item = std::make_shared<PlayerItem>(Private{}, std::move(asset));
    item->sink_ = std::make_shared<EngineItemSink>(item, item->outputs_, item->audioSettings_);
    return item;
}

std::shared_ptr<PlayerItem> PlayerItem::create(const core::URL& url) {
    return create(URLAsset::create(url));
}

PlayerItem::PlayerItem(Private, std::shared_ptr<URLAsset> asset)
    : asset_(std::move(asset)), outputs_(std::make_shared<PlayerItemOutputs>(timebase_)) {}

PlayerItem::~PlayerItem() {
    engineItem_.reset();
}

Time PlayerItem::currentTime() const {
    return Time::seconds(timebase_->seconds());
}

void PlayerItem::setAudioMix(std::optional<AudioMix> mix) {
    audioSettings_->setMix(mix);
    audioMix_ = std::move(mix);
}

void PlayerItem::applyReady(const AssetInfo& info) {
    if (status_ != Status::unknown) return;
    asset_->setInfo(info);
    status_ = Status::readyToPlay;
    const bool durationChanged = duration_ != info.duration;
    duration_ = info.duration;
    if (durationChanged) changed("duration");
    changed("status");
}

void PlayerItem::applyFailure(const MediaError& error) {
    if (status_ == Status::failed) return;
    status_ = Status::failed;
    error_ = error;
    changed("status");
}

void PlayerItem::applyLoadedRanges(std::vector<TimeRange> ranges, bool complete) {
    if (ranges == loadedRanges_ && complete == loadedToEnd_) return;
    loadedRanges_ = std::move(ranges);
    loadedToEnd_ = complete;
    changed("loadedTimeRanges");
}

void PlayerItem::applyLikelyToKeepUp(bool likely) {
    if (likely == likelyToKeepUp_) return;
    likelyToKeepUp_ = likely;
    changed("playbackLikelyToKeepUp");
}

void PlayerItem::applyBufferFull(bool full) {
    if (full == bufferFull_) return;
    bufferFull_ = full;
    changed("playbackBufferFull");
}

void PlayerItem::changed(const std::string& keyPath) {
    if (const auto player = player_.lock()) {
        player->itemDidChange(*this, keyPath);
    } else {
        observers_.notify(keyPath);
    }
}

void PlayerItem::attach(const std::shared_ptr<Player>& player) {
    player_ = player;
    audioSettings_->setPlayerLevel(player->volume(), player->isMuted());
    if (!engineItem_) engineItem_ = asset_->engineAsset()->play(sink_, timebase_);
}

void PlayerItem::detach() {
    player_.reset();
    engineItem_.reset();
    timebase_->set(timebase_->seconds(), 0, kInfinity);
}

void PlayerItem::seek(double seconds) {
    ended_ = false;
    timebase_->set(seconds, 0, kInfinity);
    outputs_->flush();
    if (engineItem_) engineItem_->seek(seconds);
}

double PlayerItem::endSeconds() const {
    double end = duration_.isNumeric() ? duration_.toSeconds() : kInfinity;
    if (loadedToEnd_ && !loadedRanges_.empty()) {
        end = std::min(end, loadedRanges_.back().endSeconds());
    }
    return end;
}

double PlayerItem::playableEndSeconds(double time) const {
    for (size_t index = 0; index < loadedRanges_.size(); ++index) {
        const auto& range = loadedRanges_[index];
        if (time + kTolerance < range.startSeconds() || time >= range.endSeconds()) continue;
        const bool last = index + 1 == loadedRanges_.size();
        return last && loadedToEnd_ ? kInfinity : range.endSeconds();
    }
    return time;
}

}  // namespace media
