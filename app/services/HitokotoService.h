#pragma once
// Fetches one quote from the quote service and breaks its text into lines
// after the full-width punctuation marks.

#include <functional>
#include <string>

#include "app/services/HitokotoModel.h"
#include "core/HTTPClient.h"

namespace app {

class HitokotoService {
public:
    using Success = std::function<void(const HitokotoModel&)>;
    using Failure = std::function<void(const core::HTTPClientError&)>;

    HitokotoService();

    // Ends in exactly one callback, on the main queue: success with the
    // quote, or failure when the request failed, the service answered with
    // an error status (whatever its body), or the body is not a quote with
    // a text.
    void requestHitokoto(Success success, Failure failure);

    [[nodiscard]] const std::string& url() const { return url_; }

    // A line feed after every "，", "；", "。", "？" and "！".
    [[nodiscard]] static std::string breakLines(const std::string& text);

private:
    std::string url_;
};

}  // namespace app
