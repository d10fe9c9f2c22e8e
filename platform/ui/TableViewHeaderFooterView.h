#pragma once
// The plain header a table view shows above a section that has a title:
// a light grey band with the title on one line, inset like the rows' text.
// Made with std::make_shared. Main thread only.

#include <memory>

#include "ui/View.h"

namespace ui {

class Label;

class TableViewHeaderFooterView : public View {
public:
    explicit TableViewHeaderFooterView(gfx::Rect frame = {});

    [[nodiscard]] std::shared_ptr<Label> textLabel();

    void layoutSubviews() override;

private:
    std::shared_ptr<Label> textLabel_;
};

}  // namespace ui
