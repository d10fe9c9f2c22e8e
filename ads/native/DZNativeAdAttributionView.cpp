#include "ads/native/DZNativeAdAttributionView.h"

#include <algorithm>

#include "ads/native/DZNativeAdAttribution.h"
#include "ads/native/DZPushTransitionView.h"
#include "ui/ImageView.h"

namespace ads {

namespace {

using Attribute = ui::LayoutAttribute;

}  // namespace

std::shared_ptr<DZNativeAdAttributionView> DZNativeAdAttributionView::create(
    const gfx::Rect& frame) {
    auto view = std::make_shared<DZNativeAdAttributionView>(frame);
    view->setUp();
    return view;
}

std::shared_ptr<DZNativeAdAttributionView> DZNativeAdAttributionView::initWithAttribution(
    const std::shared_ptr<DZNativeAdAttribution>& attribution) {
    auto view = create();
    view->setAttribution(attribution);
    const bool noIcons = !attribution || !attribution->icons() || attribution->icons()->empty();
    const bool noText = !attribution || attribution->text().value_or("").empty();
    if (noIcons && noText) view->setHidden(true);
    return view;
}

void DZNativeAdAttributionView::setUp() {
    setClipsToBounds(true);
    iconView_ = DZPushTransitionView::create();
    textView_ = std::make_shared<ui::Label>();
    textPaddingLeft_ = std::make_shared<ui::View>();
    textPaddingRight_ = std::make_shared<ui::View>();
    for (const std::shared_ptr<ui::View>& view :
         {std::static_pointer_cast<ui::View>(iconView_), std::static_pointer_cast<ui::View>(textView_),
          textPaddingLeft_, textPaddingRight_}) {
        addSubview(view);
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
    }
    const auto self = shared_from_this();
    const auto constrain = [&](const std::shared_ptr<ui::View>& item, Attribute attribute,
                               const std::shared_ptr<ui::View>& toItem, Attribute toAttribute,
                               double multiplier = 1.0,
                               ui::LayoutRelation relation = ui::LayoutRelation::Equal) {
        addConstraint(ui::LayoutConstraint(item, attribute, toItem, toAttribute, multiplier, 0,
                                           relation));
    };
    // "H:|[left][text][right][icon]|", all centred vertically.
    constrain(textPaddingLeft_, Attribute::Left, self, Attribute::Left);
    constrain(textView_, Attribute::Left, textPaddingLeft_, Attribute::Right);
    constrain(textPaddingRight_, Attribute::Left, textView_, Attribute::Right);
    constrain(iconView_, Attribute::Left, textPaddingRight_, Attribute::Right);
    constrain(iconView_, Attribute::Right, self, Attribute::Right);
    for (const std::shared_ptr<ui::View>& view :
         {std::static_pointer_cast<ui::View>(iconView_), std::static_pointer_cast<ui::View>(textView_),
          textPaddingLeft_, textPaddingRight_})
        constrain(view, Attribute::CenterY, self, Attribute::CenterY);
    // "V:|[left]|" and "V:[left(>=text,>=icon)]".
    constrain(textPaddingLeft_, Attribute::Top, self, Attribute::Top);
    constrain(textPaddingLeft_, Attribute::Bottom, self, Attribute::Bottom);
    constrain(textPaddingLeft_, Attribute::Height, textView_, Attribute::Height, 1.0,
              ui::LayoutRelation::GreaterThanOrEqual);
    constrain(textPaddingLeft_, Attribute::Height, iconView_, Attribute::Height, 1.0,
              ui::LayoutRelation::GreaterThanOrEqual);
    // Each padding is 0.37 times the text's height wide.
    constrain(textPaddingLeft_, Attribute::Width, textView_, Attribute::Height, kPaddingRatio);
    constrain(textPaddingRight_, Attribute::Width, textView_, Attribute::Height, kPaddingRatio);
}

void DZNativeAdAttributionView::setAttribution(
    const std::shared_ptr<DZNativeAdAttribution>& attribution) {
    if (!attribution) return;
    textView_->setText(attribution->text().value_or(""));
    textView_->setFont(attribution->font());
    textView_->setTextColor(attribution->textColor());
    setBackgroundColor(attribution->backgroundColor());
    std::vector<std::shared_ptr<ui::View>> imageViews;
    double width = 0;
    double height = 0;
    for (const auto& icon : attribution->icons().value_or(DZNativeAdImage::Images{})) {
        if (!icon->image()) continue;
        imageViews.push_back(std::make_shared<ui::ImageView>(icon->image()));
        width = std::max(width, icon->image()->size().width);
        height = std::max(height, icon->image()->size().height);
    }
    iconView_->setAnimationDuration(attribution->iconAnimationDuration());
    iconView_->setPresentationDuration(attribution->iconPresentationDuration());
    iconView_->setViews(std::move(imageViews));
    iconSize_ = {width, height};
    iconView_->removeConstraints(dynamicConstraints_);
    dynamicConstraints_ = {
        iconView_->addConstraint(ui::LayoutConstraint::toConstant(iconView_, Attribute::Width, width)),
        iconView_->addConstraint(
            ui::LayoutConstraint::toConstant(iconView_, Attribute::Height, height))};
}

gfx::Size DZNativeAdAttributionView::intrinsicContentSize() const {
    const gfx::Size text = textView_ ? textView_->intrinsicContentSize() : gfx::Size{};
    const double padding = kPaddingRatio * text.height;
    return {2 * padding + text.width + iconSize_.width, std::max(text.height, iconSize_.height)};
}

void DZNativeAdAttributionView::layoutSubviews() {
    ui::View::layoutSubviews();
    layoutIfNeeded();
    setClipsToBounds(true);
    setCornerRadius(kCornerRadius);
}

}  // namespace ads
