#pragma once
// The application delegate: builds the whole interface at launch (window,
// language bundle, the four pages in the tab container inside a navigation
// controller), configures the image library and starts the ad SDK.

#include <cstdint>
#include <memory>

#include "app/QZKit/QZTabViewController.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace app {

class AppDelegate : public ui::ApplicationDelegate {
public:
    // The ad application identifier the app starts the SDK with.
    static constexpr const char* kAdApplicationID = "dz-app-pub-7318204956618305~2048163977";
    // The ad unit of the featured feed's banner rows.
    static constexpr const char* kAdBannerUnitID = "dz-app-pub-7318204956618305/6183520974";

    // The image library's limits.
    static constexpr double kImageDownloadTimeout = 180.0;
    static constexpr std::int64_t kImageDiskCacheSize = 524'288'000;
    static constexpr double kImageCacheAge = 604'800.0;
    // Full-size photos run to tens of megabytes: room for the largest the
    // image library decodes (ImageDownloader::kMaxPixels) at high quality.
    static constexpr std::int64_t kImageMaximumBytes = 64 * 1024 * 1024;

    bool didFinishLaunching(ui::Application& application) override;

    [[nodiscard]] std::shared_ptr<ui::Window> window() const override { return window_; }
    void setWindow(std::shared_ptr<ui::Window> window) { window_ = std::move(window); }
    [[nodiscard]] const std::shared_ptr<QZTabViewController>& qzTabVc() const { return qzTabVc_; }

private:
    std::shared_ptr<ui::Window> window_;
    std::shared_ptr<QZTabViewController> qzTabVc_;
};

}  // namespace app
