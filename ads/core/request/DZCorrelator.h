#pragma once
// One random correlation number that several ad loads share, so the server
// can tell they belong together. The number runs from 2 to 4294967294 and
// is drawn from core::Random. Every read and change runs on the serial
// queue "com.dozuza.vuraz.correlator"; any thread.

#include <cstdint>
#include <memory>

#include "core/Queue.h"

namespace ads {

class DZCorrelator {
public:
    DZCorrelator();
    // Waits for a reset still queued.
    ~DZCorrelator();
    DZCorrelator(const DZCorrelator&) = delete;
    DZCorrelator& operator=(const DZCorrelator&) = delete;

    // Draws a new number asynchronously; a draw that would give the current
    // number back leaves it as it is.
    void reset();
    [[nodiscard]] std::uint32_t correlationID() const;

private:
    [[nodiscard]] static std::uint32_t draw();

    const std::shared_ptr<core::Queue> lockQueue_;
    std::uint32_t correlationID_;  // lock queue only, after construction
};

}  // namespace ads
