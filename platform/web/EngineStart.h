#pragma once
// The browser engine's own start-up in this process. The engine must set up
// the main thread before the script engine it shares does: a JavaScript
// context made on the main thread first leaves every later web view without
// its page. Idempotent; cheap after the first call; main thread only.
//
// The engine keeps things of each process it starts under the user's
// runtime folder (for each sandboxed process a folder of its own, which it
// never removes), and so do the libraries under it. A process started
// without XDG_RUNTIME_DIR naming a folder gets one of its own first: made
// in the system's temporary folder, the user's alone, named in
// XDG_RUNTIME_DIR for the process and everything it starts, and removed
// with all in it when the process exits (a process that crashed leaves its
// folder to the next start, which removes it). Otherwise GLib would answer
// the user's cache folder (~/.cache), where every run would leave its
// processes' folders for good.

#include <string>

namespace web {

void startEngineOnMainThread();

// The runtime folder made for this process at the engine's start; empty
// when the environment named one, or before the start.
[[nodiscard]] std::string engineRuntimeFolder();

}  // namespace web
