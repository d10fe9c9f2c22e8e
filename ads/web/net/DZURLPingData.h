#pragma once
// One ping waiting in a DZWebViewPinger's queue: the URL text and the
// callback that takes its outcome. A value.

#include <functional>
#include <string>
#include <utility>

namespace ads {

class DZURLPingData {
public:
    DZURLPingData(std::string URLString, std::function<void(bool)> completionBlock)
        : URLString_(std::move(URLString)), completionBlock_(std::move(completionBlock)) {}

    [[nodiscard]] const std::string& URLString() const { return URLString_; }
    [[nodiscard]] const std::function<void(bool)>& completionBlock() const {
        return completionBlock_;
    }

private:
    std::string URLString_;
    std::function<void(bool)> completionBlock_;
};

}  // namespace ads
