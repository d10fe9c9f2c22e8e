#pragma once
// The waterfall of the explore feed (two columns) and the search screen
// (three): columns of one width, every photo at its aspect ratio, each next
// photo in the column that is shortest so far (the leftmost among equals).
// It lays out section 0 only and reads the photos through setSize, so it
// keeps no list of its own; every preparation lays all items out again from
// the top.
//
// A photo with a width or height of 0 (or below) is laid out as a square.
// Between preparations the layout answers from what it prepared: asking for
// one item never moves the columns, and a rect is answered from each
// column's items in the order they stack (a binary search on their bottoms),
// so a scroll step costs what is visible, not the length of the feed. Main
// thread only.

#include <functional>
#include <optional>
#include <vector>

#include "app/services/PhotosObject.h"
#include "ui/CollectionViewLayout.h"

namespace app {

class WaterCollectionViewLayout : public ui::CollectionViewLayout {
public:
    // Space between columns and between the photos of one column.
    static constexpr double gap = 5;
    // Where every column starts.
    static constexpr double kColumnTop = 5;

    // Supplies the photos in item order: item i of section 0 is photo i.
    std::function<PhotoList()> setSize = [] { return PhotoList{}; };
    // Number of columns (at least 1 is used).
    int queueNum = 2;

    WaterCollectionViewLayout() = default;

    void prepare() override;
    // During a preparation: places the item in the shortest column and
    // grows it. Otherwise: the attributes of the last preparation.
    [[nodiscard]] std::optional<ui::CollectionViewLayoutAttributes>
    layoutAttributesForItemAtIndexPath(const ui::IndexPath& indexPath) override;
    // The attributes of the items whose frames meet the rect (edges
    // touching count), in item order; empty before a preparation.
    [[nodiscard]] std::vector<ui::CollectionViewLayoutAttributes>
    layoutAttributesForElementsInRect(const gfx::Rect& rect) override;
    // The collection view's width by the tallest column (trailing gap
    // included).
    [[nodiscard]] gfx::Size collectionViewContentSize() const override;

    // The state of the last preparation; nullopt before the first.
    [[nodiscard]] const std::optional<std::vector<double>>& hs() const { return hs_; }
    [[nodiscard]] std::optional<int> totalNum() const { return totalNum_; }
    [[nodiscard]] const std::optional<std::vector<ui::CollectionViewLayoutAttributes>>&
    layoutAttributes() const {
        return layoutAttributes_;
    }
    // The column width of the last placement.
    [[nodiscard]] std::optional<double> width() const { return width_; }

    // A photo's height in a column of columnWidth: its aspect ratio, or a
    // square when a dimension is not positive.
    [[nodiscard]] static double scaledHeight(const PhotosObject& photo, double columnWidth);

private:
    [[nodiscard]] int columns() const;
    [[nodiscard]] double columnWidth() const;
    // Places the item; its column, or -1 when it has no photo to size it.
    [[nodiscard]] ui::CollectionViewLayoutAttributes place(const ui::IndexPath& indexPath,
                                                           int& column);

    std::optional<std::vector<double>> hs_;
    std::optional<int> totalNum_;
    std::optional<std::vector<ui::CollectionViewLayoutAttributes>> layoutAttributes_;
    std::optional<double> width_;
    // The photos read at the start of the running preparation.
    std::optional<PhotoList> preparing_;
    // Per column, its items from the top down; items that were given no
    // place (no photo to size them) apart.
    std::vector<std::vector<int>> columnItems_;
    std::vector<int> unplaced_;
};

}  // namespace app
