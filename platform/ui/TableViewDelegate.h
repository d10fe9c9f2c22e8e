#pragma once
// What a table view asks of and tells the object that follows it, on top
// of its scrolling. Heights answered with nullopt fall back to the table's
// rowHeight and (for titled sections) sectionHeaderHeight. Every method is
// optional. Called on the main thread.

#include <memory>
#include <optional>

#include "ui/IndexPath.h"
#include "ui/ScrollViewDelegate.h"

namespace ui {

class TableView;
class TableViewCell;
class View;

class TableViewDelegate : public ScrollViewDelegate {
public:
    [[nodiscard]] virtual std::optional<double> heightForRowAtIndexPath(TableView&,
                                                                        const IndexPath&) {
        return std::nullopt;
    }
    [[nodiscard]] virtual std::optional<double> heightForHeaderInSection(TableView&, int) {
        return std::nullopt;
    }
    // A custom header; it needs a height from heightForHeaderInSection
    // unless the section also has a title.
    [[nodiscard]] virtual std::shared_ptr<View> viewForHeaderInSection(TableView&, int) {
        return nullptr;
    }

    [[nodiscard]] virtual bool shouldHighlightRowAtIndexPath(TableView&, const IndexPath&) {
        return true;
    }
    virtual void didSelectRowAtIndexPath(TableView&, const IndexPath&) {}
    virtual void didDeselectRowAtIndexPath(TableView&, const IndexPath&) {}

    // Just before a row's cell is shown, and after it left the view.
    virtual void willDisplayCell(TableView&, TableViewCell&, const IndexPath&) {}
    virtual void didEndDisplayingCell(TableView&, TableViewCell&, const IndexPath&) {}
};

}  // namespace ui
