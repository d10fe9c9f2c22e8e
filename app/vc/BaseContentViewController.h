#pragma once
// Base of every feed screen: the state the feeds share (page counter, fetch
// flag, history key, URL text, last scroll offset), the loading views
// (refresh control, the load-more band with its spinner, the loading-tips
// label), the restore of the stored first page when the view loads, and the
// cross-fade used when a feed pushes the photo viewer or comes back from it.
// Main thread, except showLoadingMore, which may be called anywhere.

#include <cstdint>
#include <memory>
#include <string>

#include "app/services/PhotosObject.h"
#include "ui/ActivityIndicatorView.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "ui/RefreshControl.h"
#include "ui/ScrollView.h"
#include "ui/TransitioningDelegate.h"
#include "ui/ViewController.h"

namespace app {

class BaseContentViewController : public ui::ViewController, public ui::NavigationControllerDelegate {
public:
    BaseContentViewController(std::string urlString, std::string historyKey);

    [[nodiscard]] const std::string& urlString() const { return urlString_; }
    [[nodiscard]] const std::string& historyKey() const { return historyKey_; }
    [[nodiscard]] std::int64_t currentPageIndex() const { return currentPageIndex_; }
    [[nodiscard]] bool isFetching() const { return isFetching_; }

    void viewDidLoad() override;

    // Shows the load-more band unless a fetch is running.
    virtual void showLoadingMore();
    // Puts the band and its spinner at the foot of the screen.
    virtual void addMoreView();
    // Restores the stored first page; run when the view loads.
    virtual void loadHistory();
    // Takes the restored list into the feed; does nothing here.
    virtual void showHistoryPhotos(const PhotoList& photos);

    // Fades the photo viewer in on push and the feed back in on pop.
    [[nodiscard]] std::shared_ptr<ui::AnimatedTransitioning> animationController(
        ui::NavigationController&, ui::NavigationOperation operation,
        const std::shared_ptr<ui::ViewController>& from,
        const std::shared_ptr<ui::ViewController>& to) override;

    [[nodiscard]] const std::shared_ptr<ui::RefreshControl>& refreshController() const {
        return refreshController_;
    }
    [[nodiscard]] const std::shared_ptr<ui::View>& moreView() const { return moreView_; }
    [[nodiscard]] const std::shared_ptr<ui::ActivityIndicatorView>& actIndicatorView() const {
        return actIndicatorView_;
    }
    [[nodiscard]] const std::shared_ptr<ui::Label>& loadingTips() const { return loadingTips_; }

protected:
    [[nodiscard]] bool isFavourites() const;
    // What a pull shows while page 1 loads: the list moved down by the
    // refresh control's height and the control spinning.
    void showRefreshing(ui::ScrollView& list);

    std::shared_ptr<ui::RefreshControl> refreshController_;
    std::shared_ptr<ui::View> moreView_;
    std::shared_ptr<ui::ActivityIndicatorView> actIndicatorView_;
    std::shared_ptr<ui::Label> loadingTips_;
    std::int64_t currentPageIndex_ = 1;
    bool isFetching_ = false;
    double lastScrollOffset_ = 0;

private:
    std::string historyKey_;
    std::string urlString_;
};

// The cross-fade of a feed's push and pop: 0.5 s.
class FadeAnimation : public ui::AnimatedTransitioning {
public:
    [[nodiscard]] double transitionDuration(ui::TransitionContext&) override { return 0.5; }
    void animateTransition(ui::TransitionContext& context) override;
};

}  // namespace app
