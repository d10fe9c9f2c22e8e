#pragma once
// The process-wide owner of the sawmill script. updateIfNeeded() fetches the
// script named by the sawmill settings through the versioned cache
// "sawmill_js" (downloading only a new version) and, on the main thread,
// builds its executor: the script in a JavaScript context on the main
// thread, wrapped by the beacon timer. Once an executor is installed it
// stays for the process; an update that yields none (no usable script, a
// script that fails to start) leaves no executor and may be retried.
//
// With "use_js_core" false (the default) the script runs in a hidden ad web
// view instead, through the executor the web layer registers with
// setAdViewExecutorMaker() when the SDK starts; with none registered such
// settings build no executor.
//
// Threading: every member is safe from any thread; the state is guarded by
// one lock and the executor is called outside it, on the caller's thread.
// Commands reach the script asynchronously, in the order they were handed
// over from one thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ads/foundation/DZSawmillCommandExecuting.h"
#include "ads/foundation/DZSawmillConfig.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZVersionedCache;

class DZSawmill : public std::enable_shared_from_this<DZSawmill> {
public:
    static constexpr std::string_view kCacheID = "sawmill_js";

    // Makes the executor that runs the script in a hidden ad web view with
    // the settings' base URL; nullptr when it cannot. Called on the main
    // thread.
    using AdViewExecutorMaker = std::function<std::shared_ptr<DZSawmillCommandExecuting>(
        const std::string& script, const std::optional<core::URL>& baseURL)>;
    // Process-wide; a later maker replaces the earlier one, an empty one
    // removes it. Any thread.
    static void setAdViewExecutorMaker(AdViewExecutorMaker maker);

    // Made on first use, which starts an update.
    [[nodiscard]] static std::shared_ptr<DZSawmill> sharedInstance();
    // Forgets the shared instance (its executor, counter and cache) so the
    // next sharedInstance() starts as a new process would.
    static void resetSharedInstanceForTesting();

    DZSawmill(const DZSawmill&) = delete;
    DZSawmill& operator=(const DZSawmill&) = delete;

    // Starts fetching the script unless an executor exists, an update runs,
    // or the settings name no script URL. Called again after each update of
    // the server constants.
    void updateIfNeeded();
    [[nodiscard]] bool isLoaded() const;
    // Hands the commands to the executor; dropped while there is none.
    void asynchronouslyExecuteCommands(core::Array commands);
    // "<process UUID>:<n>", n counting from 1.
    [[nodiscard]] std::string nextUniqueID();
    // Ends the running update without an executor.
    void resetUpdateCheckingState();
    // Builds the executor for the script and installs it, unless one exists.
    // False (and nothing installed) when the script cannot run. The script's
    // context belongs to the calling thread: call on the main thread.
    [[nodiscard]] bool updateCommandExecutorWithConfig(const DZSawmillConfig& config,
                                                       const std::string& script);

    [[nodiscard]] std::shared_ptr<DZSawmillCommandExecuting> commandExecutor() const;
    [[nodiscard]] bool isUpdating() const;
    // Installs an executor of the test's own, as a finished update would.
    void setCommandExecutorForTesting(std::shared_ptr<DZSawmillCommandExecuting> executor);

private:
    DZSawmill() = default;
    void scriptDidUpdate(const DZSawmillConfig& config,
                         const std::shared_ptr<DZVersionedCache>& cache);

    mutable std::mutex mutex_;
    std::shared_ptr<DZSawmillCommandExecuting> commandExecutor_;
    std::shared_ptr<DZVersionedCache> versionedCache_;
    bool isUpdating_ = false;
    std::int64_t sawmillID_ = 0;
};

}  // namespace ads
