#pragma once
// A requester of an ad URL from the core page (a slot, the rewarded video
// ad, the ad URL adapter). Asked for its parameters and told the outcome on
// the main queue; exactly one outcome per request.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZError.h"
#include "core/Value.h"

namespace ads {

class DZAd;
class DZCSITimeRecorder;

class DZSDKCoreControllerDelegate {
public:
    virtual ~DZSDKCoreControllerDelegate() = default;

    // The recorder of this load ("rur_ios", "nwl_ios", experiment ids).
    [[nodiscard]] virtual std::shared_ptr<DZCSITimeRecorder> adLoadActionTimeRecorder() = 0;
    // Read on the main thread after setRequestID(); holds "request_id".
    // nullopt: the request is never sent.
    [[nodiscard]] virtual std::optional<core::Dictionary> requestParameters() = 0;
    // 1 banner, 2 interstitial, 0 anything else.
    [[nodiscard]] virtual std::uint64_t requestedAdType() = 0;
    virtual void setRequestID(const std::string& requestID) = 0;

    virtual void loadAdURLWithParameters(const core::Dictionary& parameters) = 0;
    virtual void loadAd(const std::shared_ptr<DZAd>& ad,
                        const std::optional<core::Dictionary>& headers) = 0;
    virtual void invalidJavaScriptRequest() = 0;
    // The core page failed to load, or was reloaded before it answered.
    virtual void failedJavaScriptFile() = 0;
    // The page did not answer within the answer time limit (SDK error 5).
    virtual void adURLRequestDidTimeOut(const Error& error) {
        (void)error;
        failedJavaScriptFile();
    }
};

}  // namespace ads
