#pragma once
// Shows a list of views one at a time: each stays for the presentation
// duration, then the next one is pushed in from the top over the animation
// duration, over and over, as long as there are two or more. Changing the
// views or a duration drops the pending step and starts again from a fresh
// delay (animationGroupIdentifier counts the changes).
//
// Threading: main thread; the steps run through the main queue.

#include <cstdint>
#include <memory>
#include <vector>

#include "ui/View.h"

namespace ads {

class DZPushTransitionView : public ui::View {
public:
    static constexpr double kDefaultPresentationDuration = 4.0;
    static constexpr double kDefaultAnimationDuration = 1.0;
    static constexpr const char* kTransitionKey = "PushNewView";

    [[nodiscard]] static std::shared_ptr<DZPushTransitionView> create(const gfx::Rect& frame = {});

    void setViews(std::vector<std::shared_ptr<ui::View>> views);
    void setAnimationDuration(double seconds);
    void setPresentationDuration(double seconds);

    [[nodiscard]] const std::vector<std::shared_ptr<ui::View>>& views() const { return views_; }
    [[nodiscard]] const std::shared_ptr<ui::View>& currentView() const { return currentView_; }
    [[nodiscard]] std::uint64_t currentViewIndex() const { return currentViewIndex_; }
    [[nodiscard]] const std::shared_ptr<ui::View>& clippingView() const { return clippingView_; }
    [[nodiscard]] double animationDuration() const { return animationDuration_; }
    [[nodiscard]] double presentationDuration() const { return presentationDuration_; }
    [[nodiscard]] std::int64_t animationGroupIdentifier() const { return animationGroupIdentifier_; }

    explicit DZPushTransitionView(const gfx::Rect& frame) : ui::View(frame) {}

private:
    void commonSetUp();
    void makeCurrent(const std::shared_ptr<ui::View>& view);
    void scheduleNextAnimation();
    void animate();

    std::vector<std::shared_ptr<ui::View>> views_;
    std::shared_ptr<ui::View> currentView_;
    std::uint64_t currentViewIndex_ = 0;
    std::shared_ptr<ui::View> clippingView_;
    double presentationDuration_ = kDefaultPresentationDuration;
    double animationDuration_ = kDefaultAnimationDuration;
    std::int64_t animationGroupIdentifier_ = 0;
};

}  // namespace ads
