#pragma once
// A row of a table view: a reusable cell whose content view holds an
// optional image on the left and a one-line text label after it, both made
// on first use. With the Default selection style a light grey background
// shows while the row is selected or highlighted (unless another selected
// background view is set); with None nothing does. The table tells the
// cell whether to draw its separator, a hairline along the bottom edge.
// Made with std::make_shared. Main thread only.

#include <memory>
#include <string>

#include "gfx/Color.h"
#include "ui/ReusableCell.h"

namespace ui {

class ImageView;
class Label;

enum class TableViewCellStyle { Default };
enum class TableViewCellSelectionStyle { None, Default };

class TableViewCell : public ReusableCell {
public:
    static constexpr double kMargin = 15;
    static constexpr double kSeparatorHeight = 0.5;
    static constexpr gfx::Color kSeparatorColor{0.78, 0.78, 0.8, 1};
    static constexpr gfx::Color kSelectedColor{0.85, 0.85, 0.85, 1};

    explicit TableViewCell(TableViewCellStyle style = TableViewCellStyle::Default,
                           std::string reuseIdentifier = {});

    [[nodiscard]] TableViewCellStyle style() const { return style_; }
    [[nodiscard]] std::shared_ptr<Label> textLabel();
    [[nodiscard]] std::shared_ptr<ImageView> imageView();

    [[nodiscard]] TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(TableViewCellSelectionStyle style);

    [[nodiscard]] bool showsSeparator() const { return showsSeparator_; }
    void setShowsSeparator(bool shows);

    void setSelected(bool selected) override;
    void setHighlighted(bool highlighted) override;
    [[nodiscard]] bool showsSelectedBackground() const override;

    void layoutSubviews() override;

private:
    void ensureSelectedBackground();

    TableViewCellStyle style_;
    TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyle::Default;
    bool showsSeparator_ = false;
    std::shared_ptr<Label> textLabel_;
    std::shared_ptr<ImageView> imageView_;
    std::shared_ptr<View> separator_;
};

}  // namespace ui
