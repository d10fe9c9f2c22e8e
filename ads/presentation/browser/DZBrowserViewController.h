#pragma once
// The SDK's in-app browser: a full-screen controller with a browser ad view
// and a bottom toolbar (back, forward, reload or a spinner while loading,
// open in the system browser, done). The view is built when the controller
// first appears; a page asked for before that waits for it. The referrer
// sent with a page is the referring URL's host only. Back and forward are
// the platform's history steps (ui::HistoryNavigating), so the desktop
// window's keys for them reach the browser shown. Main thread.

#include <memory>
#include <optional>
#include <string>

#include "ads/presentation/fullscreen/DZViewController.h"
#include "core/URL.h"
#include "gfx/Image.h"
#include "ui/BarButtonItem.h"
#include "ui/HistoryNavigating.h"

namespace ui {
class ActivityIndicatorView;
class Toolbar;
}  // namespace ui

namespace ads {

class DZAdView;
class DZAdViewDelegate;

class DZBrowserViewController : public DZViewController, public ui::HistoryNavigating {
public:
    static constexpr double kToolbarHeight = 44;
    static constexpr double kLandscapePhoneToolbarHeight = 30;

    ~DZBrowserViewController() override;

    // Nothing for no URL.
    void load(const std::optional<core::URL>& url, const std::optional<core::URL>& referringURL);
    void back();
    void forward();
    void stop();
    void reload();
    // Opens the current page in the system browser and records "pcbo".
    void openInSafari();
    void doneButtonPressed();
    void refreshToolbar();

    [[nodiscard]] bool canStepInHistory(ui::HistoryStep step) const override;
    bool stepInHistory(ui::HistoryStep step) override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void didRotateFromInterfaceOrientation(long fromOrientation) override;

    [[nodiscard]] const std::shared_ptr<DZAdView>& adView() const { return adView_; }
    [[nodiscard]] const std::shared_ptr<ui::Toolbar>& toolbar() const { return toolbar_; }
    [[nodiscard]] const std::shared_ptr<ui::BarButtonItem>& backButton() const {
        return backButton_;
    }
    [[nodiscard]] const std::shared_ptr<ui::BarButtonItem>& forwardButton() const {
        return forwardButton_;
    }
    [[nodiscard]] const std::shared_ptr<ui::BarButtonItem>& reloadButton() const {
        return reloadButton_;
    }
    [[nodiscard]] const std::shared_ptr<ui::BarButtonItem>& safariButton() const {
        return safariButton_;
    }
    [[nodiscard]] const std::shared_ptr<ui::BarButtonItem>& doneButton() const {
        return doneButton_;
    }
    [[nodiscard]] const std::shared_ptr<ui::BarButtonItem>& spinnerContainingButton() const {
        return spinnerContainingButton_;
    }
    [[nodiscard]] const std::shared_ptr<ui::ActivityIndicatorView>& spinner() const {
        return spinner_;
    }
    [[nodiscard]] const std::optional<core::URL>& URLToLoad() const { return URLToLoad_; }

private:
    void buildView();
    void createToolbarButtons();
    [[nodiscard]] std::shared_ptr<ui::BarButtonItem>
    buttonWithImage(gfx::ImagePtr image, std::string name, double width, bool enabled,
                    ui::BarButtonItem::Action action) const;

    std::optional<core::URL> URLToLoad_;
    std::optional<core::URL> referringURLToLoad_;
    std::shared_ptr<DZAdViewDelegate> adViewDelegate_;
    std::shared_ptr<DZAdView> adView_;
    std::shared_ptr<ui::Toolbar> toolbar_;
    std::shared_ptr<ui::BarButtonItem> flexibleSpaceButton_;
    std::shared_ptr<ui::BarButtonItem> backButton_;
    std::shared_ptr<ui::BarButtonItem> forwardButton_;
    std::shared_ptr<ui::BarButtonItem> reloadButton_;
    std::shared_ptr<ui::BarButtonItem> safariButton_;
    std::shared_ptr<ui::BarButtonItem> doneButton_;
    std::shared_ptr<ui::BarButtonItem> spinnerContainingButton_;
    std::shared_ptr<ui::ActivityIndicatorView> spinner_;
};

}  // namespace ads
