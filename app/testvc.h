#pragma once
// A demo screen that nothing in the app opens: a white root view with one
// red band, 100 points high, across the full width. On systems from 11 the
// band's top follows the top of the root view's safe area; earlier systems
// pin no top, and the band stays at the root view's top. Main thread only.

#include <memory>

#include "ui/ViewController.h"

namespace app {

class testvc : public ui::ViewController {
public:
    static constexpr double kBandHeight = 100;

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    [[nodiscard]] const std::shared_ptr<ui::View>& band() const { return band_; }

private:
    std::shared_ptr<ui::View> band_;
};

}  // namespace app
