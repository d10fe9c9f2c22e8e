#pragma once
// Draws a native ad's attribution badge: the text between two paddings
// (each 0.37 times the text's height wide), then an icon area that cycles
// through the loaded icons (a DZPushTransitionView sized to the largest
// icon), on the attribution's background with rounded corners. Hidden when
// the attribution has neither icons nor text.
//
// Threading: main thread.

#include <memory>
#include <vector>

#include "ui/Label.h"
#include "ui/View.h"

namespace ads {

class DZNativeAdAttribution;
class DZPushTransitionView;

class DZNativeAdAttributionView : public ui::View {
public:
    static constexpr double kPaddingRatio = 0.37;
    static constexpr double kCornerRadius = 3.0;

    [[nodiscard]] static std::shared_ptr<DZNativeAdAttributionView> create(
        const gfx::Rect& frame = {});
    [[nodiscard]] static std::shared_ptr<DZNativeAdAttributionView> initWithAttribution(
        const std::shared_ptr<DZNativeAdAttribution>& attribution);

    void setAttribution(const std::shared_ptr<DZNativeAdAttribution>& attribution);
    void layoutSubviews() override;
    // What its constraints fit: both paddings, the text and the icon area
    // side by side, as high as the taller of text and icon. Containers that
    // pin only a corner of the badge size it by this.
    [[nodiscard]] gfx::Size intrinsicContentSize() const override;

    [[nodiscard]] std::shared_ptr<DZPushTransitionView> iconView() const { return iconView_; }
    [[nodiscard]] std::shared_ptr<ui::Label> textView() const { return textView_; }
    [[nodiscard]] const std::vector<ui::LayoutConstraintPtr>& dynamicConstraints() const {
        return dynamicConstraints_;
    }

    explicit DZNativeAdAttributionView(const gfx::Rect& frame) : ui::View(frame) {}

private:
    void setUp();

    std::shared_ptr<DZPushTransitionView> iconView_;
    std::shared_ptr<ui::Label> textView_;
    std::shared_ptr<ui::View> textPaddingLeft_;
    std::shared_ptr<ui::View> textPaddingRight_;
    std::vector<ui::LayoutConstraintPtr> dynamicConstraints_;
    gfx::Size iconSize_;
};

}  // namespace ads
