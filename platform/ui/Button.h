#pragma once
// A control showing a title, an image or both, side by side and centred
// (image on the left), over an optional background image stretched to its
// bounds. Each piece of content can be set per control state; the shown
// content follows the current state, falling back to what was set for
// Normal. Touch handling and actions come from Control.
//
// The title label and image view are made on first use; the app styles the
// label through titleLabel() (its font), never its text or colour, which
// follow the state. Edge insets shrink the rect the content is centred in
// (contentEdgeInsets), or the rect the title or image is centred in, which
// moves it by half the difference of opposite insets. Main thread only.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "gfx/Color.h"
#include "gfx/Image.h"
#include "ui/Control.h"

namespace ui {

class ImageView;
class Label;

enum class ButtonType { Custom, System };

class Button : public Control {
public:
    // The title colour of system buttons when none is set.
    static constexpr gfx::Color kSystemTintColor{0, 0.478, 1, 1};
    static constexpr double kTitleFontSize = 15;

    explicit Button(gfx::Rect frame = {}, ButtonType type = ButtonType::Custom);
    [[nodiscard]] static std::shared_ptr<Button> create(ButtonType type = ButtonType::Custom);

    [[nodiscard]] ButtonType buttonType() const { return type_; }
    // Whether a touch shows a glow on the button while it is highlighted.
    [[nodiscard]] bool showsTouchWhenHighlighted() const { return showsTouchWhenHighlighted_; }
    void setShowsTouchWhenHighlighted(bool shows) { showsTouchWhenHighlighted_ = shows; }

    void setTitle(std::optional<std::string> title, ControlState state = ControlState::Normal);
    void setTitleColor(std::optional<gfx::Color> color, ControlState state = ControlState::Normal);
    void setImage(gfx::ImagePtr image, ControlState state = ControlState::Normal);
    void setBackgroundImage(gfx::ImagePtr image, ControlState state = ControlState::Normal);

    // What shows in `state`: set for it, else set for Normal. A title
    // colour falls back to the type's default last.
    [[nodiscard]] std::optional<std::string> titleForState(ControlState state) const;
    [[nodiscard]] gfx::Color titleColorForState(ControlState state) const;
    [[nodiscard]] gfx::ImagePtr imageForState(ControlState state) const;
    [[nodiscard]] gfx::ImagePtr backgroundImageForState(ControlState state) const;

    // The same for the current state (Control::state()).
    [[nodiscard]] std::optional<std::string> currentTitle() const;
    [[nodiscard]] gfx::Color currentTitleColor() const;
    [[nodiscard]] gfx::ImagePtr currentImage() const;
    [[nodiscard]] gfx::ImagePtr currentBackgroundImage() const;

    [[nodiscard]] std::shared_ptr<Label> titleLabel();
    [[nodiscard]] std::shared_ptr<ImageView> imageView();

    [[nodiscard]] gfx::EdgeInsets contentEdgeInsets() const { return contentInsets_; }
    void setContentEdgeInsets(const gfx::EdgeInsets& insets);
    [[nodiscard]] gfx::EdgeInsets titleEdgeInsets() const { return titleInsets_; }
    void setTitleEdgeInsets(const gfx::EdgeInsets& insets);
    [[nodiscard]] gfx::EdgeInsets imageEdgeInsets() const { return imageInsets_; }
    void setImageEdgeInsets(const gfx::EdgeInsets& insets);

    void setEnabled(bool enabled) override;
    void setSelected(bool selected) override;
    void setHighlighted(bool highlighted) override;

    void layoutSubviews() override;
    // Image and title side by side plus the content insets.
    [[nodiscard]] gfx::Size sizeThatFits(gfx::Size size) const override;
    [[nodiscard]] gfx::Size intrinsicContentSize() const override;
    // The current title, its colour and the title label's font.
    [[nodiscard]] DisplayedText displayedText() const override;
    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;

private:
    struct Content {
        std::optional<std::string> title;
        std::optional<gfx::Color> titleColor;
        gfx::ImagePtr image;
        gfx::ImagePtr backgroundImage;
    };

    // The first of `state`'s and Normal's content for which `has` holds.
    template <typename Has>
    [[nodiscard]] const Content* lookup(unsigned state, Has&& has) const;
    [[nodiscard]] gfx::Size titleSize() const;
    // Puts the current state's content into the title label and image view.
    void updateContent();

    ButtonType type_;
    bool showsTouchWhenHighlighted_ = false;
    std::map<unsigned, Content> content_;
    std::shared_ptr<Label> titleLabel_;
    std::shared_ptr<ImageView> imageView_;
    gfx::EdgeInsets contentInsets_;
    gfx::EdgeInsets titleInsets_;
    gfx::EdgeInsets imageInsets_;
};

}  // namespace ui
