#pragma once
// The app's root screen: a horizontally paging scroll view holding the
// pages side by side, and the title strip along the bottom whose pill
// follows the pages. Tapping a title pages there.

#include <memory>
#include <vector>

#include "app/QZKit/QZTabView.h"
#include "app/QZKit/QZTabViewDelegate.h"
#include "ui/ScrollView.h"
#include "ui/ViewController.h"

namespace app {

class QZTabViewController : public ui::ViewController,
                            public ui::ScrollViewDelegate,
                            public QZTabViewDelegate {
public:
    // The pages must carry their titles. Sets the container up at once.
    static std::shared_ptr<QZTabViewController> create(
        std::vector<std::shared_ptr<ui::ViewController>> viewControllers, long homePageIndex,
        double offset);

    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidAppear(bool animated) override;
    [[nodiscard]] bool prefersStatusBarHidden() const override { return true; }

    void scrollViewDidScroll(ui::ScrollView& scrollView) override;
    void scrollViewWillBeginDragging(ui::ScrollView&) override {}
    void indicatorTouchUp(long index) override { scrollToPage(index); }

    // Pages the scroll view to index, animated.
    void scrollToPage(long index);
    void tabContainerDidScroll(ui::ScrollView& scrollView);

    [[nodiscard]] const std::vector<std::shared_ptr<ui::ViewController>>& viewCtrls() const {
        return viewCtrls_;
    }
    [[nodiscard]] const std::shared_ptr<QZTabView>& tabView() const { return tabView_; }
    [[nodiscard]] const std::shared_ptr<ui::ScrollView>& tabContainerScrlView() const {
        return tabContainerScrlView_;
    }
    [[nodiscard]] double tabContainerScrollPercent() const { return tabContainerScrollPercent_; }

    QZTabViewController(std::vector<std::shared_ptr<ui::ViewController>> viewControllers,
                        long homePageIndex, double offset);

private:
    void setupTabContainer();
    [[nodiscard]] std::shared_ptr<QZTabViewController> self();

    std::vector<std::shared_ptr<ui::ViewController>> viewCtrls_;
    std::shared_ptr<QZTabView> tabView_;
    std::shared_ptr<ui::ScrollView> tabContainerScrlView_;
    double offset_;
    long homePageIndex_;
    bool isAutoScrolled_ = false;
    double tabContainerScrollPercent_ = 0.0;
};

}  // namespace app
