#include "ads/foundation/DZTiming.h"

#include <utility>

#include "ads/foundation/DZClock.h"
#include "core/StringFormat.h"

namespace ads {

DZTiming::DZTiming(std::optional<std::string> category)
    : category_(category ? std::move(*category)
                         : core::format("%@ (%p)", "DZTiming", static_cast<const void*>(this))) {}

std::shared_ptr<DZTiming> DZTiming::createWithDictionaryRepresentation(
    const core::Value& dictionary) {
    std::optional<std::string> category;
    if (const std::string* text = dictionary["category"].string()) category = *text;
    auto timing = std::make_shared<DZTiming>(std::move(category));
    timing->startTimestamp_ = dictionary["start"].uintValue();
    timing->endTimestamp_ = dictionary["end"].uintValue();
    timing->startFromEarlierProcess_ = timing->startTimestamp_ != 0;
    return timing;
}

void DZTiming::start() {
    const std::uint64_t now = DZMonotonicMilliseconds();
    std::lock_guard lock(mutex_);
    startTimestamp_ = now;
    startFromEarlierProcess_ = false;
}

void DZTiming::end() {
    const std::uint64_t now = DZMonotonicMilliseconds();
    std::lock_guard lock(mutex_);
    if (startTimestamp_ == 0 || startFromEarlierProcess_) return;
    endTimestamp_ = now;
}

std::uint64_t DZTiming::startTimestamp() const {
    std::lock_guard lock(mutex_);
    return startTimestamp_;
}

std::uint64_t DZTiming::endTimestamp() const {
    std::lock_guard lock(mutex_);
    return endTimestamp_;
}

std::uint64_t DZTiming::elapsedMilliseconds() const {
    const std::uint64_t now = DZMonotonicMilliseconds();
    std::lock_guard lock(mutex_);
    if (startTimestamp_ == 0) return 0;
    if (endTimestamp_ >= startTimestamp_) return endTimestamp_ - startTimestamp_;
    if (explicitEnd_ || startFromEarlierProcess_ || now < startTimestamp_) return 0;
    return now - startTimestamp_;
}

std::string DZTiming::elapsedMillisecondsString() const {
    return core::format("%lu", elapsedMilliseconds());
}

core::Dictionary DZTiming::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    return core::Dictionary{
        {"category", core::Value(category_)},
        {"start", core::Value(static_cast<unsigned long long>(startTimestamp_))},
        {"end", core::Value(static_cast<unsigned long long>(endTimestamp_))},
    };
}

bool DZTiming::explicitEnd() const {
    std::lock_guard lock(mutex_);
    return explicitEnd_;
}

void DZTiming::setExplicitEnd(bool explicitEnd) {
    std::lock_guard lock(mutex_);
    explicitEnd_ = explicitEnd;
}

}  // namespace ads
