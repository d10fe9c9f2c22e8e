#pragma once
// Base of every feed screen: the state the feeds share (page counter, fetch
// flag, history key, URL text, last scroll offset).

#include <cstdint>
#include <string>

#include "ui/ViewController.h"

namespace app {

class BaseContentViewController : public ui::ViewController {
public:
    BaseContentViewController(std::string urlString, std::string historyKey);

    [[nodiscard]] const std::string& urlString() const { return urlString_; }
    [[nodiscard]] const std::string& historyKey() const { return historyKey_; }

    void loadView() override;

protected:
    std::int64_t currentPageIndex_ = 1;
    bool isFetching_ = false;
    double lastScrollOffset_ = 0;

private:
    std::string historyKey_;
    std::string urlString_;
};

}  // namespace app
