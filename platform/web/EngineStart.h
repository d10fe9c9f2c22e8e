#pragma once
// The browser engine's own start-up in this process. The engine must set up
// the main thread before the script engine it shares does: a JavaScript
// context made on the main thread first leaves every later web view without
// its page. Idempotent; cheap after the first call; main thread only.

namespace web {

void startEngineOnMainThread();

}  // namespace web
