#pragma once
// The alerts whose views are in a window's tree, for tests that check what
// the user sees rather than what was presented.

#include <memory>
#include <vector>

#include "ui/AlertController.h"
#include "ui/View.h"

namespace testsupport {

inline std::vector<std::shared_ptr<ui::AlertController>> alertsOnScreen(
    const std::shared_ptr<ui::View>& window) {
    std::vector<std::shared_ptr<ui::AlertController>> found;
    std::vector<std::shared_ptr<ui::View>> pending{window};
    while (!pending.empty()) {
        auto view = pending.back();
        pending.pop_back();
        if (auto alert = std::dynamic_pointer_cast<ui::AlertController>(view->viewController()))
            found.push_back(alert);
        for (const auto& sub : view->subviews()) pending.push_back(sub);
    }
    return found;
}

}  // namespace testsupport
