#pragma once
// The thread GL work runs on: a named core::Thread with its own run loop
// (perform on it with or without waiting) that, when its entry returns,
// clears its current GL context and frees EGL's state of the thread, so a
// context made current there goes with it.

#include <memory>
#include <string>

#include "core/Thread.h"

namespace media {

// Without an entry the thread runs its loop until the loop is stopped.
[[nodiscard]] std::shared_ptr<core::Thread> startRenderThread(std::string name,
                                                              core::Thread::Entry entry = {});

}  // namespace media
