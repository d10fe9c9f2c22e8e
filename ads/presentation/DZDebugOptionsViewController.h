#pragma once
// The SDK's debug options menu for one ad unit. The menu is not built yet:
// the controller keeps its ad unit identifier and the ad's debug text and
// shows an empty view. Main thread.

#include <memory>
#include <optional>
#include <string>

#include "ui/ViewController.h"

namespace ads {

class DZDebugOptionsViewController : public ui::ViewController {
public:
    [[nodiscard]] static std::shared_ptr<DZDebugOptionsViewController>
    debugOptionsViewControllerWithAdUnitID(std::optional<std::string> adUnitID);

    [[nodiscard]] const std::optional<std::string>& adUnitID() const { return adUnitID_; }
    [[nodiscard]] const std::optional<std::string>& adDebugDialogString() const {
        return adDebugDialogString_;
    }
    void setAdDebugDialogString(std::optional<std::string> text) {
        adDebugDialogString_ = std::move(text);
    }

private:
    std::optional<std::string> adUnitID_;
    std::optional<std::string> adDebugDialogString_;
};

}  // namespace ads
