#pragma once
// How libcurl's failures read as NetworkErrors (internal to the URL session).

#include <curl/curl.h>

#include <cstdint>
#include <string_view>

#include "core/NetworkError.h"
#include "core/URL.h"

namespace core {

// received and expected count body bytes (expected -1 when unknown); they
// make the message of a truncated body.
[[nodiscard]] NetworkError networkErrorFromCurl(CURLcode code, const URL& url,
                                                std::string_view libcurlText, std::int64_t received,
                                                std::int64_t expected);

}  // namespace core
