#pragma once
// The success test of the SDK's HTTP loads. Pure; any thread.

#include <optional>

#include "core/HTTPURLResponse.h"

namespace ads {

// True for an HTTP response whose status is 200 to 299; false for any other
// status and for no response.
[[nodiscard]] bool DZIsHTTPSuccessResponse(const std::optional<core::HTTPURLResponse>& response);

}  // namespace ads
