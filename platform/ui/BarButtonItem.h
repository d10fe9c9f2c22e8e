#pragma once
// One item of a toolbar: an image, one of the system's items (a flexible
// space, or a drawn "Done", refresh or share button), or a view of the
// caller's. An item has a width (0: its natural one), an enabled state, an
// accessibility label and an action, which a tap on its view (or
// sendAction()) runs while it is enabled. Image and system items draw in
// their toolbar's tint colour, dimmed when disabled; custom views draw
// themselves. Main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "gfx/Image.h"
#include "ui/View.h"

namespace ui {

// The values the platform uses.
enum class BarButtonSystemItem : int { Done = 0, FlexibleSpace = 5, Action = 9, Refresh = 13 };
enum class BarButtonItemStyle : int { Plain = 0, Done = 2 };

class BarButtonItem : public std::enable_shared_from_this<BarButtonItem> {
    struct Token {};

public:
    using Action = std::function<void(BarButtonItem& item)>;

    // Natural width of image and system items drawn as glyphs.
    static constexpr double kGlyphWidth = 27;

    [[nodiscard]] static std::shared_ptr<BarButtonItem>
    withImage(gfx::ImagePtr image, BarButtonItemStyle style, Action action);
    [[nodiscard]] static std::shared_ptr<BarButtonItem> withSystemItem(BarButtonSystemItem item,
                                                                       Action action = {});
    [[nodiscard]] static std::shared_ptr<BarButtonItem> withCustomView(std::shared_ptr<View> view);
    explicit BarButtonItem(Token) {}

    [[nodiscard]] std::optional<BarButtonSystemItem> systemItem() const { return system_; }
    [[nodiscard]] bool isFlexibleSpace() const {
        return system_ == BarButtonSystemItem::FlexibleSpace;
    }
    [[nodiscard]] const gfx::ImagePtr& image() const { return image_; }
    [[nodiscard]] const std::shared_ptr<View>& customView() const { return custom_; }

    [[nodiscard]] BarButtonItemStyle style() const { return style_; }
    void setStyle(BarButtonItemStyle style);
    // 0 means the natural width.
    [[nodiscard]] double width() const { return width_; }
    void setWidth(double width) { width_ = width; }
    [[nodiscard]] bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    [[nodiscard]] const std::string& accessibilityLabel() const { return label_; }
    void setAccessibilityLabel(std::string label) { label_ = std::move(label); }
    [[nodiscard]] bool isAccessibilityElement() const { return accessibilityElement_; }
    void setIsAccessibilityElement(bool is) { accessibilityElement_ = is; }
    void setAction(Action action) { action_ = std::move(action); }

    // Runs the action when enabled; false when it did not run.
    bool sendAction();

    // The width a toolbar gives the item when width() is 0.
    [[nodiscard]] double naturalWidth() const;
    // The view standing for the item in a toolbar: the custom view, or one
    // made on first call; nullptr for a flexible space.
    [[nodiscard]] std::shared_ptr<View> view();

private:
    std::optional<BarButtonSystemItem> system_;
    gfx::ImagePtr image_;
    std::shared_ptr<View> custom_;
    std::shared_ptr<View> view_;
    BarButtonItemStyle style_ = BarButtonItemStyle::Plain;
    double width_ = 0;
    bool enabled_ = true;
    std::string label_;
    bool accessibilityElement_ = false;
    Action action_;
};

}  // namespace ui
