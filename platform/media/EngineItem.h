#pragma once
// An engine's work for one item attached to a player: demuxing, decoding
// and reporting through the item's EngineItemSink, following the item's
// timebase. Releasing it stops the work: nothing is reported afterwards,
// and blocked reads are cancelled.
//
// Main thread.

namespace media {

class EngineItem {
public:
    virtual ~EngineItem() = default;

    // The item's time jumped to seconds: continue from there.
    virtual void seek(double seconds) = 0;
};

}  // namespace media
