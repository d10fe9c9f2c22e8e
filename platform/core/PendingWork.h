#pragma once
// Whether the process has work under way that will reach the main run loop
// without a clock moving or a touch: HTTP exchanges on the network thread,
// jobs on the shared pool (decoding, disk work, serial queues), and tasks or
// due timers waiting on the main run loop. Clock drivers and tests wait for
// it to end to decide that nothing more will happen. Any thread.

namespace core {

class PendingWork {
public:
    [[nodiscard]] static bool any();
    // Network exchanges or pool jobs: the real work a clock step waits for.
    [[nodiscard]] static bool offMainThread();
};

}  // namespace core
