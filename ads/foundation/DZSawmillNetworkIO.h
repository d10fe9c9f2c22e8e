#pragma once
// The network function the sawmill script calls as
// DZSawmillNetworkIOFn(parameters, onSuccess, onFailure). The parameters
// object names the request:
//   "url"              text, an http or https URL (required);
//   "body" with        "byte_array": numbers 0..255, one byte each;
//   "body_type"        "string": text sent as UTF-8; any other type: no body;
//   "request_headers"  object of text values: the request's header fields;
//   "request_type"     text: the HTTP method (GET when absent).
// Parameters that break these rules are not sent: the failure callback gets
// SDK error 11 naming the rule. Answers: {"status_code", "response"} to the
// success callback; {"status_code", "error_code", "error_message",
// "response"} to the failure callback, also for an HTTP status of 400 or more
// (SDK error 11 "Invalid response received."). "response" is the body as
// UTF-8 text, or "" when it is none.
//
// Pure functions apart from send(), which is safe from any thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZError.h"
#include "core/Queue.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace ads {

struct DZSawmillNetworkIOResult {
    bool succeeded = false;
    // The one argument of the callback.
    core::Dictionary argument;
};

class DZSawmillNetworkIO {
public:
    using Completion = std::function<void(DZSawmillNetworkIOResult result)>;

    // The request the parameters describe, or nullopt with the broken rule.
    [[nodiscard]] static std::optional<core::URLRequest>
    requestFromParameters(const core::Value& parameters, Error* error);

    // Sends the request, or fails at once for parameters that break a rule;
    // the completion runs on queue either way, never inline.
    static void send(const core::Value& parameters, std::shared_ptr<core::Queue> queue,
                     Completion completion);

    [[nodiscard]] static DZSawmillNetworkIOResult failure(int statusCode, const Error& error,
                                                          std::string response);
};

}  // namespace ads
