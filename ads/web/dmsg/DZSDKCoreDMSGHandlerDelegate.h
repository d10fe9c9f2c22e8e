#pragma once
// What the SDK core message handler hands on: the core page's answers to
// script commands and ad URL requests, its constants and its control of the
// core refresh. Main thread. The request identifier is the answer's
// "request_id" text (nullopt when absent).

#include <optional>
#include <string>

#include "core/Value.h"

namespace ads {

class DZSDKCoreDMSGHandler;

class DZSDKCoreDMSGHandlerDelegate {
public:
    virtual ~DZSDKCoreDMSGHandlerDelegate() = default;

    virtual void loadAdURLWithRequestID(DZSDKCoreDMSGHandler& handler,
                                        const std::optional<std::string>& requestID,
                                        const core::Dictionary& parameters) = 0;
    // fetchedAd: the decoded "fetched_ad" object.
    virtual void loadAdWithRequestID(DZSDKCoreDMSGHandler& handler,
                                     const std::optional<std::string>& requestID,
                                     const core::Dictionary& fetchedAd) = 0;
    virtual void didReceiveInvalidAdWithRequestID(DZSDKCoreDMSGHandler& handler,
                                                  const std::optional<std::string>& requestID,
                                                  const core::Dictionary& parameters) = 0;
    virtual void didLoadSDKConstants(DZSDKCoreDMSGHandler& handler,
                                     const core::Dictionary& constants) = 0;
    // "requestReload": the page asks for its Live View web views to reload.
    virtual void
    SDKCoreDMSGHandlerDidReceiveSDKCoreUpdateNotification(DZSDKCoreDMSGHandler& handler) = 0;
    virtual void didReceiveResultActionWithRequestID(DZSDKCoreDMSGHandler& handler,
                                                     const std::string& requestID,
                                                     const core::Dictionary& arguments) = 0;
    virtual void
    SDKCoreDMSGHandlerDidReceivePauseSDKCoreRefreshAction(DZSDKCoreDMSGHandler& handler) = 0;
    virtual void
    SDKCoreDMSGHandlerDidReceiveResumeSDKCoreRefreshAction(DZSDKCoreDMSGHandler& handler) = 0;
};

}  // namespace ads
