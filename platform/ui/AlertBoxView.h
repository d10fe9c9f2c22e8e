#pragma once
// The rounded box of an alert or action sheet: the title and message drawn
// at its top, then the action rows. Rows are stacked with cancel rows last,
// except that an alert with exactly two actions shows them side by side,
// cancel on the left. The box sizes itself: an alert is 270 points wide
// (without actions, just wide enough for its text), an action sheet as wide
// as it is given. Main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/TextLayout.h"
#include "ui/AlertAction.h"
#include "ui/AlertController.h"
#include "ui/View.h"

namespace ui {

class AlertActionRow;

class AlertBoxView : public View {
public:
    static constexpr double kAlertWidth = 270;

    explicit AlertBoxView(AlertControllerStyle style);

    void setContent(std::string title, std::string message,
                    const std::vector<AlertAction>& actions);
    void setSelectionHandler(std::function<void(size_t index)> handler) {
        selectionHandler_ = std::move(handler);
    }
    // In display order.
    [[nodiscard]] const std::vector<std::shared_ptr<AlertActionRow>>& rows() const { return rows_; }

    // The box's width when `available` points are free, and its height at a
    // width.
    [[nodiscard]] double preferredWidth(double available) const;
    [[nodiscard]] double heightForWidth(double width) const;

    void layoutSubviews() override;
    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;

private:
    struct Header {
        std::optional<gfx::TextLayout> title;
        std::optional<gfx::TextLayout> message;
        double titleY = 0;
        double messageY = 0;
        double height = 0;
    };

    [[nodiscard]] Header layoutHeader(double width) const;
    [[nodiscard]] gfx::TextStyle titleStyle() const;
    [[nodiscard]] gfx::TextStyle messageStyle() const;
    [[nodiscard]] bool rowsSideBySide() const;
    [[nodiscard]] double rowHeight() const;

    AlertControllerStyle style_;
    std::string title_;
    std::string message_;
    std::vector<std::shared_ptr<AlertActionRow>> rows_;
    std::function<void(size_t)> selectionHandler_;
};

}  // namespace ui
