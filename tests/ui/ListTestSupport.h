#pragma once
// Test doubles for the list views: a one-column layout, data sources that
// count what they are asked, and cells that count their reuse.

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ui/CollectionView.h"
#include "ui/CollectionViewCell.h"
#include "ui/CollectionViewLayout.h"
#include "ui/IndexPath.h"
#include "ui/Label.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"

namespace ui {

inline void PrintTo(const IndexPath& indexPath, std::ostream* os) {
    *os << indexPath.description();
}

}  // namespace ui

namespace listtest {

using ui::IndexPath;

// Items of section 0 stacked in one column, `itemHeight` tall, as wide as
// the collection view. With `answersEverything` it returns every item for
// any rect, as the app's waterfall layout does.
class ColumnLayout : public ui::CollectionViewLayout {
public:
    double itemHeight = 100;
    bool answersEverything = false;
    bool invalidatesOnScroll = false;
    int prepareCount = 0;
    std::vector<gfx::Rect> askedRects;

    void prepare() override {
        ++prepareCount;
        attributes_.clear();
        const int count = collectionView()->numberOfItemsInSection(0);
        width_ = collectionView()->bounds().width();
        for (int item = 0; item < count; ++item) {
            attributes_.emplace_back(IndexPath{0, item},
                                     gfx::Rect(0, item * itemHeight, width_, itemHeight));
        }
    }
    std::vector<ui::CollectionViewLayoutAttributes> layoutAttributesForElementsInRect(
        const gfx::Rect& rect) override {
        askedRects.push_back(rect);
        if (answersEverything) return attributes_;
        std::vector<ui::CollectionViewLayoutAttributes> meeting;
        std::copy_if(attributes_.begin(), attributes_.end(), std::back_inserter(meeting),
                     [&rect](const auto& a) { return a.frame().intersects(rect); });
        return meeting;
    }
    std::optional<ui::CollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(
        const IndexPath& indexPath) override {
        if (indexPath.item < 0 || indexPath.item >= static_cast<int>(attributes_.size())) {
            return std::nullopt;
        }
        return attributes_[indexPath.item];
    }
    gfx::Size collectionViewContentSize() const override {
        return {width_, itemHeight * static_cast<double>(attributes_.size())};
    }
    bool shouldInvalidateLayoutForBoundsChange(const gfx::Rect&) const override {
        return invalidatesOnScroll;
    }

    // Lets a test edit the prepared attributes.
    std::vector<ui::CollectionViewLayoutAttributes>& prepared() { return attributes_; }

private:
    std::vector<ui::CollectionViewLayoutAttributes> attributes_;
    double width_ = 0;
};

class CountingCell : public ui::CollectionViewCell {
public:
    int reuses = 0;
    void prepareForReuse() override {
        CollectionViewCell::prepareForReuse();
        ++reuses;
    }
};

// Section 0 of `count` items, cells dequeued as "cell".
class ItemSource : public ui::CollectionViewDataSource, public ui::CollectionViewDelegate {
public:
    int count = 0;
    std::vector<IndexPath> asked;  // cellForItem calls, in order
    std::vector<IndexPath> selected;
    std::vector<IndexPath> shown;
    std::vector<IndexPath> ended;
    std::function<bool(const IndexPath&)> allowSelection;

    int numberOfItemsInSection(ui::CollectionView&, int) override { return count; }
    std::shared_ptr<ui::CollectionViewCell> cellForItemAtIndexPath(
        ui::CollectionView& view, const IndexPath& indexPath) override {
        asked.push_back(indexPath);
        return view.dequeueReusableCell("cell", indexPath);
    }
    bool shouldSelectItemAtIndexPath(ui::CollectionView&, const IndexPath& indexPath) override {
        return !allowSelection || allowSelection(indexPath);
    }
    void didSelectItemAtIndexPath(ui::CollectionView&, const IndexPath& indexPath) override {
        selected.push_back(indexPath);
    }
    void willDisplayCell(ui::CollectionView&, ui::CollectionViewCell&,
                         const IndexPath& indexPath) override {
        shown.push_back(indexPath);
    }
    void didEndDisplayingCell(ui::CollectionView&, ui::CollectionViewCell&,
                              const IndexPath& indexPath) override {
        ended.push_back(indexPath);
    }
};

// Sections of rows; heights and titles optional; cells dequeued as "row".
class RowSource : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    std::vector<int> rows{0};
    std::vector<std::optional<std::string>> titles;
    std::function<std::optional<double>(const IndexPath&)> height;
    std::vector<IndexPath> asked;
    std::vector<IndexPath> selected;
    std::vector<IndexPath> ended;

    int numberOfSections(ui::TableView&) override { return static_cast<int>(rows.size()); }
    int numberOfRowsInSection(ui::TableView&, int section) override { return rows[section]; }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& view,
                                                             const IndexPath& indexPath) override {
        asked.push_back(indexPath);
        auto cell = view.dequeueReusableCell("row", indexPath);
        cell->textLabel()->setText(indexPath.description());
        return cell;
    }
    std::optional<std::string> titleForHeaderInSection(ui::TableView&, int section) override {
        return section < static_cast<int>(titles.size()) ? titles[section] : std::nullopt;
    }
    std::optional<double> heightForRowAtIndexPath(ui::TableView&,
                                                  const IndexPath& indexPath) override {
        return height ? height(indexPath) : std::nullopt;
    }
    void didSelectRowAtIndexPath(ui::TableView&, const IndexPath& indexPath) override {
        selected.push_back(indexPath);
    }
    void didEndDisplayingCell(ui::TableView&, ui::TableViewCell&,
                              const IndexPath& indexPath) override {
        ended.push_back(indexPath);
    }
};

inline std::vector<IndexPath> itemRange(int first, int last, int section = 0) {
    std::vector<IndexPath> range;
    for (int item = first; item <= last; ++item) range.push_back({section, item});
    return range;
}

}  // namespace listtest
