#pragma once
// A view that turns touches into control events (touch down, touch up
// inside, value changed...) and sends them to the actions registered for
// them. Keeps the normal / highlighted / selected / disabled state. A
// touch counts as inside while it is within kTouchSlop points of the
// bounds; a disabled control swallows touches without sending events.

#include <functional>
#include <vector>

#include "ui/View.h"

namespace ui {

enum class ControlEvent : unsigned {
    TouchDown = 1u << 0,
    TouchUpInside = 1u << 6,
    TouchUpOutside = 1u << 7,
    TouchCancel = 1u << 8,
    ValueChanged = 1u << 12,
    EditingChanged = 1u << 17,
    EditingDidEndOnExit = 1u << 19,
};

enum class ControlState : unsigned { Normal = 0, Highlighted = 1, Disabled = 2, Selected = 4 };

class Control : public View {
public:
    using Action = std::function<void(Control& sender)>;
    using View::View;

    void addAction(ControlEvent event, Action action);
    void removeAllActions();
    // Calls the actions registered for the event, in the order added.
    void sendActions(ControlEvent event);

    [[nodiscard]] bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    [[nodiscard]] bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    [[nodiscard]] bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    // Highlighted, disabled and selected combined.
    [[nodiscard]] unsigned state() const;

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;

    // How far outside its bounds a touch still counts as inside.
    static constexpr double kTouchSlop = 70;

private:
    [[nodiscard]] bool isTouchInside(const TouchSet& touches) const;

    std::vector<std::pair<ControlEvent, Action>> actions_;
    bool tracking_ = false;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
};

}  // namespace ui
