#include "app/utils/WaterCollectionViewLayout.h"

#include <algorithm>

#include "ui/CollectionView.h"

namespace app {

int WaterCollectionViewLayout::columns() const {
    return std::max(1, queueNum);
}

double WaterCollectionViewLayout::columnWidth() const {
    const ui::CollectionView* view = collectionView();
    const double total = view ? view->bounds().width() : 0;
    const int count = columns();
    return std::max(0.0, (total - gap * (count - 1)) / count);
}

double WaterCollectionViewLayout::scaledHeight(const PhotosObject& photo, double columnWidth) {
    if (photo.width <= 0 || photo.height <= 0) return columnWidth;
    return columnWidth * static_cast<double>(photo.height) / static_cast<double>(photo.width);
}

void WaterCollectionViewLayout::prepare() {
    ui::CollectionViewLayout::prepare();
    hs_ = std::vector<double>(static_cast<size_t>(columns()), kColumnTop);
    ui::CollectionView* view = collectionView();
    totalNum_ = view ? view->numberOfItemsInSection(0) : 0;

    layoutAttributes_.emplace();
    layoutAttributes_->reserve(static_cast<size_t>(*totalNum_));
    columnItems_.assign(static_cast<size_t>(columns()), {});
    unplaced_.clear();
    preparing_ = setSize ? setSize() : PhotoList{};
    for (int row = 0; row < *totalNum_; ++row) {
        if (auto attributes = layoutAttributesForItemAtIndexPath(ui::IndexPath::forItem(row, 0)))
            layoutAttributes_->push_back(*attributes);
    }
    preparing_.reset();
}

std::optional<ui::CollectionViewLayoutAttributes>
WaterCollectionViewLayout::layoutAttributesForItemAtIndexPath(const ui::IndexPath& indexPath) {
    if (preparing_) {
        int column = -1;
        auto attributes = place(indexPath, column);
        // Only the preparation's own pass is indexed (a subclass may ask
        // for other items meanwhile).
        const auto item = static_cast<int>(layoutAttributes_->size());
        if (indexPath.section == 0 && indexPath.item == item) {
            if (column < 0) {
                unplaced_.push_back(item);
            } else {
                columnItems_[static_cast<size_t>(column)].push_back(item);
            }
        }
        return attributes;
    }
    if (!layoutAttributes_ || indexPath.section != 0 || indexPath.item < 0 ||
        indexPath.item >= static_cast<int>(layoutAttributes_->size()))
        return std::nullopt;
    return (*layoutAttributes_)[static_cast<size_t>(indexPath.item)];
}

ui::CollectionViewLayoutAttributes WaterCollectionViewLayout::place(const ui::IndexPath& indexPath,
                                                                    int& placedColumn) {
    placedColumn = -1;
    const double width = columnWidth();
    width_ = width;
    ui::CollectionViewLayoutAttributes attributes(indexPath);

    const PhotoList& photos = *preparing_;
    const auto row = static_cast<size_t>(indexPath.item);
    if (indexPath.item < 0 || row >= photos.size() || !photos[row]) {
        attributes.setSize({width, 0});
        return attributes;
    }
    const double height = scaledHeight(*photos[row], width);

    std::vector<double>& columnHeights = *hs_;
    size_t column = 0;
    for (size_t i = 1; i < columnHeights.size(); ++i)
        if (columnHeights[i] < columnHeights[column]) column = i;

    const double centerX = (static_cast<double>(column) + 0.5) * (width + gap);
    const double centerY = columnHeights[column] + (gap + height) / 2;
    attributes.setFrame({centerX - width / 2, centerY - height / 2, width, height});
    columnHeights[column] += height + gap;
    placedColumn = static_cast<int>(column);
    return attributes;
}

std::vector<ui::CollectionViewLayoutAttributes>
WaterCollectionViewLayout::layoutAttributesForElementsInRect(const gfx::Rect& rect) {
    if (!layoutAttributes_) return {};
    const auto& all = *layoutAttributes_;
    const gfx::Rect area = rect.standardized();
    const auto frameOf = [&all](int item) { return all[static_cast<size_t>(item)].frame(); };
    const auto meets = [&area](const gfx::Rect& frame) {
        return frame.maxX() >= area.minX() && frame.minX() <= area.maxX() &&
               frame.maxY() >= area.minY() && frame.minY() <= area.maxY();
    };
    std::vector<int> items;
    for (const auto& column : columnItems_) {
        // A column's items stack downwards: their bottoms rise in order.
        auto item =
            std::lower_bound(column.begin(), column.end(), area.minY(),
                             [&](int each, double top) { return frameOf(each).maxY() < top; });
        for (; item != column.end() && frameOf(*item).minY() <= area.maxY(); ++item) {
            if (meets(frameOf(*item))) items.push_back(*item);
        }
    }
    for (int item : unplaced_) {
        if (meets(frameOf(item))) items.push_back(item);
    }
    std::sort(items.begin(), items.end());
    std::vector<ui::CollectionViewLayoutAttributes> found;
    found.reserve(items.size());
    for (int item : items) found.push_back(all[static_cast<size_t>(item)]);
    return found;
}

gfx::Size WaterCollectionViewLayout::collectionViewContentSize() const {
    const ui::CollectionView* view = collectionView();
    const double width = view ? view->bounds().width() : 0;
    if (!hs_ || hs_->empty()) return {width, 0};
    return {width, *std::max_element(hs_->begin(), hs_->end())};
}

}  // namespace app
