#pragma once
// Which way a kit transition runs.

namespace app {

enum class TransitionType { Present, Dismiss, Push, Pop };

}  // namespace app
