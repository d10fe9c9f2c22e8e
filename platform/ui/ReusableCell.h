#pragma once
// The base of collection and table view cells: a content view that the app
// fills, optional background and selected-background views behind it, the
// selected and highlighted states, and the identifier the list view keeps
// the cell under for reuse. The content view is made on first use; the
// background views and the content view stay below any other subview, in
// that order, and fill the bounds. The selected background shows while the
// cell is selected or highlighted. Made with std::make_shared. Main thread
// only.

#include <memory>
#include <string>

#include "ui/View.h"

namespace ui {

class ReusableCell : public View {
public:
    explicit ReusableCell(gfx::Rect frame = {});

    [[nodiscard]] const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    // Set by the list view when its factory makes the cell.
    void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }

    [[nodiscard]] std::shared_ptr<View> contentView();
    [[nodiscard]] const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<View> view);
    [[nodiscard]] const std::shared_ptr<View>& selectedBackgroundView() const {
        return selectedBackgroundView_;
    }
    void setSelectedBackgroundView(std::shared_ptr<View> view);

    [[nodiscard]] bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    [[nodiscard]] bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);

    // Whether the selected background shows now: while selected or
    // highlighted.
    [[nodiscard]] virtual bool showsSelectedBackground() const { return selected_ || highlighted_; }

    // Called when the list view hands the cell out again: clears the
    // selected and highlighted states. Subclasses reset their content and
    // call this.
    virtual void prepareForReuse();

    void layoutSubviews() override;

protected:
    void updateSelectedBackground();

private:
    // The number of the cell's own views at the bottom of its subviews.
    [[nodiscard]] size_t ownLayerCount() const;

    std::string reuseIdentifier_;
    std::shared_ptr<View> contentView_;
    std::shared_ptr<View> backgroundView_;
    std::shared_ptr<View> selectedBackgroundView_;
    bool selected_ = false;
    bool highlighted_ = false;
};

}  // namespace ui
