#pragma once
// What runs the sawmill script: whether it is ready, and a way to hand it
// arrays of commands without waiting for the script. Implementations are
// called from any thread.

#include "core/Value.h"

namespace ads {

class DZSawmillCommandExecuting {
public:
    virtual ~DZSawmillCommandExecuting() = default;

    [[nodiscard]] virtual bool isLoaded() const = 0;
    // Returns before the script has seen the commands; keeps their order.
    virtual void asynchronouslyExecuteCommands(core::Array commands) = 0;
};

}  // namespace ads
