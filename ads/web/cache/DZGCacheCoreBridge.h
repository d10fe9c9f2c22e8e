#pragma once
// The SDK core that gcache loads go through: commands to a core
// controller's page, and the resource caches its page's message handler
// runs. The controller is held weakly; a loader without one of its own uses
// the shared controller, reached on the main thread, where it is made.

#include <functional>
#include <memory>

#include "ads/web/cache/DZGCacheSDKCore.h"

namespace ads {

class DZSDKCoreController;

class DZGCacheCoreBridge final : public DZGCacheSDKCore {
public:
    // Over the shared controller.
    DZGCacheCoreBridge() = default;
    explicit DZGCacheCoreBridge(std::weak_ptr<DZSDKCoreController> controller)
        : controller_(std::move(controller)), own_(true) {}

    void executeExportedJavaScriptCommand(std::string_view function,
                                          std::optional<core::Dictionary> parameters,
                                          CommandCompletion completion) override;
    [[nodiscard]] std::shared_ptr<DZResourceCache>
    resourceCacheForFileURL(const core::URL& fileURL) override;

private:
    // Main thread.
    [[nodiscard]] std::shared_ptr<DZSDKCoreController> controller() const;

    const std::weak_ptr<DZSDKCoreController> controller_{};
    const bool own_ = false;
};

}  // namespace ads
