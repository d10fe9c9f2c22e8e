#include "ads/video/DZVideoFrameSource.h"

#include "core/Clock.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

double readThreshold() {
    const core::Value value =
        core::UserDefaults::standard()->objectForKey(DZVideoFrameSource::kEmptyOutputThresholdKey);
    if (value.isNumber() || value.isString()) return value.doubleValue();
    return DZVideoFrameSource::kDefaultEmptyOutputThreshold;
}

}  // namespace

DZVideoFrameSource::DZVideoFrameSource(std::shared_ptr<media::Player> player)
    : player_(std::move(player)), threshold_(readThreshold()) {}

DZVideoFrameSource::~DZVideoFrameSource() {
    stop();
}

void DZVideoFrameSource::start() {
    stop();
    resetVideoOutput();
}

void DZVideoFrameSource::stop() {
    if (output_) {
        if (const auto item = outputItem_.lock()) item->removeOutput(output_);
    }
    output_.reset();
    outputItem_.reset();
    displayStart_ = 0;
    hasDisplayedFrame_ = false;
    replacements_ = 0;
    gaveUp_ = false;
}

void DZVideoFrameSource::resetVideoOutput() {
    if (output_) {
        if (const auto item = outputItem_.lock()) item->removeOutput(output_);
    }
    output_ = media::VideoOutput::create();
    const auto item = player_ ? player_->currentItem() : nullptr;
    outputItem_ = item;
    if (item) item->addOutput(output_);
}

DZVideoFrameSource::Pull DZVideoFrameSource::pull(double hostTime) {
    Pull result;
    const media::Time itemTime =
        output_ ? output_->itemTimeForHostTime(hostTime) : media::Time::zero();
    const double now = core::Clock::current()->wallSeconds();
    if (displayStart_ == 0) displayStart_ = now;
    if (output_ && output_->hasNewPixelBufferForItemTime(itemTime)) {
        hasDisplayedFrame_ = true;
        result.frame = output_->copyPixelBufferForItemTime(itemTime);
        return result;
    }
    if (hasDisplayedFrame_ || gaveUp_ || now - displayStart_ <= threshold_) return result;
    if (replacements_ < kMaximumOutputReplacements) {
        resetVideoOutput();
        ++replacements_;
        displayStart_ = now;
    } else {
        gaveUp_ = true;
        result.gaveUp = true;
    }
    return result;
}

}  // namespace ads
