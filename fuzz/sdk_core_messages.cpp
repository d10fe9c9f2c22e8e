// The core page's message payloads: ads ("fetched_ad"), fetches on its
// behalf ("http_request"), the refresh pause ids, the server constants and
// the saved state. Any payload is handled without failing; a fetch is only
// ever made of an http(s) URL; the constants leave the controller's limits
// usable; and the saved state never grows past its bounds, whatever came
// before.
//
// Input: a sequence of messages, each a kind byte and its texts.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandler.h"
#include "ads/web/view/DZNotification.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"

namespace {

using Handler = ads::DZSDKCoreDMSGHandler;

void checkSavedState() {
    const auto saved = core::UserDefaults::standard()->dictionaryForKey(Handler::kSavedStateKey);
    if (!saved) return;
    FUZZ_CHECK((*saved)[Handler::kSavedStateVersionKey] ==
               core::Value(Handler::kSavedStateVersion));
    size_t bytes = 0;
    for (const auto& [key, value] : *saved) {
        if (key == Handler::kSavedStateVersionKey) continue;
        FUZZ_CHECK(!key.empty() && key.size() <= Handler::kMaximumSavedStateKeyBytes);
        FUZZ_CHECK(value.isString());
        bytes += key.size() + value.string()->size();
    }
    FUZZ_CHECK(saved->size() <= Handler::kMaximumSavedStateKeys + 1);
    FUZZ_CHECK(bytes <= Handler::kMaximumSavedStateBytes);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The saved state and the constants are stored there.
    fuzz::useTemporaryHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    // No web view: the controller takes the answers of the page alone.
    static const auto controller = ads::DZSDKCoreController::create(
        [](const ads::DZWebViewConfiguration&) { return nullptr; });
    static const auto handler = [] {
        auto made = std::make_shared<Handler>();
        made->setDelegate(controller);
        return made;
    }();

    FuzzedDataProvider input(data, size);
    while (input.remaining_bytes() > 0) {
        const int kind = input.ConsumeIntegralInRange(0, 4);
        std::string first = input.ConsumeRandomLengthString(512);
        std::string second = input.ConsumeRandomLengthString(2048);
        switch (kind) {
        case 0:
            (void)handler->handleNotification(
                ads::DZNotification::create("loadAd",
                                            {{"request_id", first}, {"fetched_ad", second}}),
                nullptr);
            break;
        case 1: {
            const auto fetch = Handler::fetchRequestFromParameters({{"http_request", second}});
            FUZZ_CHECK(fetch.request || fetch.error);
            if (fetch.request) FUZZ_CHECK(fetch.request->url().isHTTPorHTTPS());
            break;
        }
        case 2:
            (void)handler->handleNotification(
                ads::DZNotification::create("sdkCoreRefresh",
                                            {{"refresh", first}, {"request_id", second}}),
                nullptr);
            break;
        case 3: {
            core::Dictionary constants;
            FuzzedDataProvider values(reinterpret_cast<const std::uint8_t*>(second.data()),
                                      second.size());
            static constexpr const char* kNames[] = {
                "live_view_unload_cache_size",
                "dz:javascript_completion_timeout",
                "refresh_intervals",
                "dzads:app_activity_tracker:app_session_timeout_ms",
                "clickthrough_confirm_schemes",
                "dzads:sai:click_ping_schema",
                "ns_prefix",
                "dns_domain_set",
                "efs",
                "dzads:sawmill_config",
                "use_new_web_views_for_live_view",
                "mraid_disable_redirect",
                "experiment_id_string",
                "x_experiment_id",
                "adapter_class_names",
                "sb_greedy",
                "wv_class"};
            while (values.remaining_bytes() > 0) {
                const char* name =
                    kNames[values.ConsumeIntegralInRange<size_t>(0, std::size(kNames) - 1)];
                constants.set(name, values.ConsumeRandomLengthString(64));
            }
            controller->didLoadSDKConstants(*handler, constants);
            FUZZ_CHECK(controller->liveViewUnloadCacheMaxSize() >= 1);
            const double timeout = controller->SDKCoreJavaScriptCompletionBlockTimeoutInterval();
            FUZZ_CHECK(timeout > 0 && std::isfinite(timeout));
            break;
        }
        default:
            (void)handler->handleNotification(
                ads::DZNotification::create("saveState", {{"key", first}, {"state", second}}),
                nullptr);
            checkSavedState();
            break;
        }
    }
    // Answers go on to the delegate on the main queue.
    (void)core::RunLoop::main().runOnce(0);
    return 0;
}
