#pragma once
// A bar with a rounded search field and an optional Cancel button. The
// bar keeps the text; typing reaches it only while it is first responder
// (a tap on the bar makes it so, after the delegate agrees), through
// insertText, deleteBackward and returnKeyPressed, the last of which is
// the search button. Setting the text from code tells the delegate nothing.
//
// Its subviews, made when it joins a superview (or on first use): one
// container filling the bar, holding the bar's background view first, then
// the field and the Cancel button. Made with std::make_shared. Main thread
// only.

#include <memory>
#include <optional>
#include <string>

#include "gfx/Color.h"
#include "ui/SearchBarDelegate.h"
#include "ui/View.h"

namespace ui {

class Button;
class SearchTextField;

enum class BarStyle { Default, Black, BlackTranslucent };

class SearchBar : public View {
public:
    static constexpr double kDefaultHeight = 56;
    static constexpr double kMargin = 8;
    static constexpr double kFieldHeight = 36;

    explicit SearchBar(gfx::Rect frame = {});

    [[nodiscard]] const std::string& text() const { return text_; }
    void setText(std::string text);
    [[nodiscard]] const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string placeholder);

    [[nodiscard]] std::shared_ptr<SearchBarDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<SearchBarDelegate>& delegate) { delegate_ = delegate; }

    [[nodiscard]] bool showsCancelButton() const { return showsCancelButton_; }
    void setShowsCancelButton(bool shows, bool animated = false);

    // Colours: the bar's background follows the bar tint, else the style;
    // the tint colours the Cancel title and the caret.
    [[nodiscard]] BarStyle barStyle() const { return barStyle_; }
    void setBarStyle(BarStyle style);
    [[nodiscard]] std::optional<gfx::Color> barTintColor() const { return barTintColor_; }
    void setBarTintColor(std::optional<gfx::Color> color);
    [[nodiscard]] gfx::Color tintColor() const;
    void setTintColor(std::optional<gfx::Color> color);

    [[nodiscard]] std::shared_ptr<View> backgroundView();
    [[nodiscard]] std::shared_ptr<SearchTextField> searchField();
    [[nodiscard]] std::shared_ptr<Button> cancelButton();

    // Keyboard: editing is being first responder.
    [[nodiscard]] bool canBecomeFirstResponder() const override { return true; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    void returnKeyPressed() override;

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;

    void didMoveToSuperview() override;
    void layoutSubviews() override;
    [[nodiscard]] gfx::Size sizeThatFits(gfx::Size size) const override;

private:
    // Makes the subviews once the bar lives in a std::shared_ptr.
    void ensureSubviews();
    // Pushes text, colours and editing state into the subviews.
    void updateSubviews();
    void textChangedByTyping();

    std::string text_;
    std::string placeholder_;
    std::weak_ptr<SearchBarDelegate> delegate_;
    bool showsCancelButton_ = false;
    BarStyle barStyle_ = BarStyle::Default;
    std::optional<gfx::Color> barTintColor_;
    std::optional<gfx::Color> tintColor_;
    bool tracking_ = false;

    std::shared_ptr<View> container_;
    std::shared_ptr<View> background_;
    std::shared_ptr<SearchTextField> field_;
    std::shared_ptr<Button> cancel_;
};

}  // namespace ui
