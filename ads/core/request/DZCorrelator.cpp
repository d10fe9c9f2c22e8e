#include "ads/core/request/DZCorrelator.h"

#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "core/Random.h"

namespace ads {

namespace {
// Draws run from 0 to 2^32 - 3.
constexpr std::int64_t kLargestDraw = 4294967292;
}  // namespace

DZCorrelator::DZCorrelator()
    : lockQueue_(core::Queue::serial(DZQueueLabel("correlator"))), correlationID_(draw() + 2) {}

DZCorrelator::~DZCorrelator() {
    DZSyncOnQueue(*lockQueue_, [] {});
}

std::uint32_t DZCorrelator::draw() {
    return static_cast<std::uint32_t>(core::Random::current()->uniformInt(0, kLargestDraw));
}

void DZCorrelator::reset() {
    lockQueue_->async([this] {
        const std::uint32_t drawn = draw();
        if (drawn + 1 != correlationID_) correlationID_ = drawn + 2;
    });
}

std::uint32_t DZCorrelator::correlationID() const {
    std::uint32_t identifier = 0;
    DZSyncOnQueue(*lockQueue_, [&] { identifier = correlationID_; });
    return identifier;
}

}  // namespace ads
