#include "ads/video/DZVideoFrameSource.h"

#include "ads/foundation/DZThreading.h"
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
    : player_(std::move(player)),
      currentItem_([player = player_.get()] {
          return player ? player->currentItem() : nullptr;
      }),
      threshold_(readThreshold()) {}

DZVideoFrameSource::DZVideoFrameSource(ItemProvider currentItem)
    : currentItem_(std::move(currentItem)), threshold_(readThreshold()) {}

DZVideoFrameSource::~DZVideoFrameSource() {
    stop();
}

void DZVideoFrameSource::start() {
    stop();
    resetVideoOutput();
}

void DZVideoFrameSource::detachOutput() {
    if (!output_) return;
    if (auto item = outputItem_.lock()) {
        item->removeOutput(output_);
        DZReleaseOnMainThread(std::move(item));
    }
}

void DZVideoFrameSource::stop() {
    detachOutput();
    output_.reset();
    outputItem_.reset();
    displayStart_ = 0;
    hasDisplayedFrame_ = false;
    replacements_ = 0;
    gaveUp_ = false;
}

void DZVideoFrameSource::resetVideoOutput() {
    detachOutput();
    output_ = media::VideoOutput::create();
    auto item = currentItem_ ? currentItem_() : nullptr;
    outputItem_ = item;
    if (item) item->addOutput(output_);
    DZReleaseOnMainThread(std::move(item));
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
