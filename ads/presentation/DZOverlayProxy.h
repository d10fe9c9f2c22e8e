#pragma once
// Presents a controller over the app on behalf of an ad (an alert, the
// debug menu). The ad's full-screen presentation is not built yet, so the
// proxy presents the controller modally from the given controller, when
// there is one. Each presentation is recorded in DZCallLog as
// "DZOverlayProxy.presentFromViewController:completion:". Main thread.

#include <functional>
#include <memory>

#include "ui/ViewController.h"

namespace ads {

class DZOverlayProxy {
public:
    explicit DZOverlayProxy(std::shared_ptr<ui::ViewController> viewController)
        : viewController_(std::move(viewController)) {}

    void presentFromViewController(const std::shared_ptr<ui::ViewController>& presenting,
                                   std::function<void()> completion = {});

    [[nodiscard]] const std::shared_ptr<ui::ViewController>& viewController() const {
        return viewController_;
    }

private:
    std::shared_ptr<ui::ViewController> viewController_;
};

}  // namespace ads
