#pragma once
// The Error forms of failed HTTP exchanges, shared by the SDK's fetches.
// Pure; any thread.

#include "ads/core/request/DZError.h"
#include "core/NetworkError.h"

namespace ads {

inline constexpr std::string_view kDZNetworkErrorDomain = "core.network";

// A transport failure in the domain "core.network", with the platform's
// negative URL-loading code (timed out -1001, cannot connect -1004, ...) and
// the failure's message.
[[nodiscard]] Error DZErrorFromNetworkError(const core::NetworkError& error);

// SDK error 11 "Invalid response received." carrying the HTTP status.
[[nodiscard]] Error DZInvalidResponseError(int httpStatus);

}  // namespace ads
