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

    // Success gets the quote on the main queue. A transport failure or a
    // body that does not decode calls neither callback; an answer without a
    // quote text calls failure.
    void requestHitokoto(Success success, Failure failure);

    [[nodiscard]] const std::string& url() const { return url_; }

    // A line feed after every "，", "；", "。", "？" and "！".
    [[nodiscard]] static std::string breakLines(const std::string& text);

private:
    std::string url_;
};

}  // namespace app
