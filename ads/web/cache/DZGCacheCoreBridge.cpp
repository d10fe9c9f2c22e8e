#include "ads/web/cache/DZGCacheCoreBridge.h"

#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/core/sdkcore/DZSDKCoreWebView.h"
#include "ads/foundation/DZThreading.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandler.h"

namespace ads {

namespace {

std::shared_ptr<DZSDKCoreController> resolve(const std::weak_ptr<DZSDKCoreController>& controller,
                                             bool own) {
    return own ? controller.lock() : DZSDKCoreController::sharedInstance();
}

}  // namespace

std::shared_ptr<DZSDKCoreController> DZGCacheCoreBridge::controller() const {
    return resolve(controller_, own_);
}

void DZGCacheCoreBridge::executeExportedJavaScriptCommand(
    std::string_view function, std::optional<core::Dictionary> parameters,
    CommandCompletion completion) {
    DZRunOnMainThread([weakController = controller_, own = own_, function = std::string(function),
                       parameters = std::move(parameters),
                       completion = std::move(completion)]() mutable {
        const auto controller = resolve(weakController, own);
        if (!controller) {
            if (completion)
                completion(core::Dictionary(),
                           DZErrorWithCodeDescription(kDZErrorInternalError,
                                                      "The SDK core page is not available."));
            return;
        }
        std::optional<core::Value> argument;
        if (parameters) argument = core::Value(std::move(*parameters));
        DZSDKCoreController::Completion answer;
        if (completion) {
            answer = [completion = std::move(completion)](const core::Value& result,
                                                          const std::optional<Error>& error) {
                const core::Dictionary* reply = result.dictionary();
                completion(reply ? *reply : core::Dictionary(), error);
            };
        }
        controller->executeExportedJavaScriptCommand(std::move(function), std::move(argument),
                                                     std::move(answer));
    });
}

std::shared_ptr<DZResourceCache>
DZGCacheCoreBridge::resourceCacheForFileURL(const core::URL& fileURL) {
    const auto controller = this->controller();
    const auto webView = controller ? controller->activeSDKCoreWebView() : nullptr;
    const auto& handler = webView ? webView->SDKCoreDMSGHandler() : nullptr;
    return handler ? handler->resourceCacheForFileURL(fileURL) : nullptr;
}

}  // namespace ads
