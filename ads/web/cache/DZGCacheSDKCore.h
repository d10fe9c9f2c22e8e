#pragma once
// What a DZGCacheURLLoader needs of the SDK core: the core page's answer to
// an exported script command ("DUZO_GCache"), and the resource caches the
// core page's message handler already runs, so that a file still being
// downloaded for the page is shared rather than wrapped twice.
//
// DZGCacheCoreBridge provides it over a core controller (the shared one
// unless DZGCacheURLLoader::setSharedSDKCore names another); tests give a
// loader a scripted one.

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZResourceCache;

class DZGCacheSDKCore {
public:
    // The page's reply dictionary (empty with an error, such as the
    // controller's time-out), on the main thread.
    using CommandCompletion =
        std::function<void(const core::Dictionary& reply, std::optional<Error> error)>;

    virtual ~DZGCacheSDKCore() = default;

    // Calls the page's function with {"args": parameters}; without a
    // completion no answer is awaited.
    virtual void executeExportedJavaScriptCommand(std::string_view function,
                                                  std::optional<core::Dictionary> parameters,
                                                  CommandCompletion completion) = 0;
    // The running or finished cache of the page's message handler whose file
    // URL is fileURL (same text); nullptr when there is none. Main thread.
    [[nodiscard]] virtual std::shared_ptr<DZResourceCache>
    resourceCacheForFileURL(const core::URL& fileURL) = 0;
};

}  // namespace ads
