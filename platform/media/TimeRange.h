#pragma once
// A span of a media timeline: where it starts and how long it is. A value
// type.

#include "media/Time.h"

namespace media {

struct TimeRange {
    Time start;
    Time duration;

    [[nodiscard]] static TimeRange fromSeconds(double start, double end) {
        return {Time::seconds(start), Time::seconds(end - start)};
    }
    [[nodiscard]] bool isValid() const { return start.isNumeric() && duration.isNumeric(); }
    [[nodiscard]] double startSeconds() const { return start.toSeconds(); }
    [[nodiscard]] double endSeconds() const { return start.toSeconds() + duration.toSeconds(); }

    friend bool operator==(const TimeRange&, const TimeRange&) = default;
};

}  // namespace media
