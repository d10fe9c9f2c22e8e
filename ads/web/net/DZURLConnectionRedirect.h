#pragma once
// One redirect of a DZURLConnection load, as its delegate hears of it: the
// redirect response the server sent and the request it leads to. A value.

#include <utility>

#include "core/HTTPURLResponse.h"
#include "core/URLRequest.h"

namespace ads {

class DZURLConnectionRedirect {
public:
    DZURLConnectionRedirect(core::HTTPURLResponse response, core::URLRequest request)
        : response_(std::move(response)), request_(std::move(request)) {}

    [[nodiscard]] const core::HTTPURLResponse& response() const { return response_; }
    [[nodiscard]] const core::URLRequest& request() const { return request_; }

private:
    core::HTTPURLResponse response_;
    core::URLRequest request_;
};

}  // namespace ads
