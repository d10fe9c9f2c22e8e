// The waterfall layout inside a real collection view, fed photos of chosen
// pixel sizes.

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "app/utils/WaterCollectionViewLayout.h"
#include "ui/CollectionView.h"
#include "ui/CollectionViewCell.h"

namespace {

using app::PhotoList;
using app::WaterCollectionViewLayout;

// Shows one item per photo, as the feeds do.
class PhotoSource : public ui::CollectionViewDataSource {
public:
    PhotoList photos;
    int extraItems = 0;

    int numberOfItemsInSection(ui::CollectionView&, int) override {
        return static_cast<int>(photos.size()) + extraItems;
    }
    std::shared_ptr<ui::CollectionViewCell>
    cellForItemAtIndexPath(ui::CollectionView& view, const ui::IndexPath& indexPath) override {
        return view.dequeueReusableCell("cell", indexPath);
    }
};

std::shared_ptr<app::PhotosObject> photo(std::int64_t width, std::int64_t height) {
    auto made = std::make_shared<app::PhotosObject>();
    made->smallUrl = "http://127.0.0.1/" + std::to_string(width) + "x" + std::to_string(height);
    made->width = width;
    made->height = height;
    return made;
}

class WaterCollectionViewLayoutTest : public testing::Test {
protected:
    void build(double width, int columns, PhotoList photos) {
        source->photos = std::move(photos);
        layout->queueNum = columns;
        layout->setSize = [source = source] { return source->photos; };
        view = std::make_shared<ui::CollectionView>(gfx::Rect(0, 0, width, 667), layout);
        view->registerClass<ui::CollectionViewCell>("cell");
        view->setDataSource(source);
        view->layoutIfNeeded();
    }
    [[nodiscard]] gfx::Rect frameOf(int item) const {
        return layout->layoutAttributes()->at(static_cast<size_t>(item)).frame();
    }
    [[nodiscard]] double contentHeight() const {
        return layout->collectionViewContentSize().height;
    }

    std::shared_ptr<PhotoSource> source = std::make_shared<PhotoSource>();
    std::shared_ptr<WaterCollectionViewLayout> layout =
        std::make_shared<WaterCollectionViewLayout>();
    std::shared_ptr<ui::CollectionView> view;
};

TEST_F(WaterCollectionViewLayoutTest, TwoColumnsOnAPhoneAlternateForEqualPhotos) {
    build(375, 2, {photo(100, 150), photo(100, 150), photo(100, 150), photo(100, 150)});
    ASSERT_EQ(layout->width(), 185);
    EXPECT_EQ(frameOf(0), gfx::Rect(2.5, 7.5, 185, 277.5));
    EXPECT_EQ(frameOf(1), gfx::Rect(192.5, 7.5, 185, 277.5));
    EXPECT_EQ(frameOf(2), gfx::Rect(2.5, 7.5 + 277.5 + 5, 185, 277.5));
    EXPECT_EQ(frameOf(3), gfx::Rect(192.5, 7.5 + 277.5 + 5, 185, 277.5));
    EXPECT_EQ(layout->collectionViewContentSize(), (gfx::Size{375, 5 + 2 * (277.5 + 5)}));
    EXPECT_EQ(layout->totalNum(), 4);
    // The collection view shows the cells where the layout put them.
    ASSERT_EQ(view->visibleCells().size(), 4u);
    EXPECT_EQ(view->cellForItemAtIndexPath({0, 3})->frame(), frameOf(3));
}

TEST_F(WaterCollectionViewLayoutTest, EachPhotoGoesToTheShortestColumn) {
    // Column width 100: heights 100, 50 and 80, then the fourth goes to the
    // middle column (5 + 50 + 5 = 60), the fifth to the right one (90).
    build(310, 3, {photo(100, 100), photo(100, 50), photo(100, 80), photo(100, 40), photo(10, 10)});
    EXPECT_EQ(frameOf(3), gfx::Rect(105 + 2.5, 60 + 2.5, 100, 40));
    EXPECT_EQ(frameOf(4), gfx::Rect(210 + 2.5, 90 + 2.5, 100, 100));
    EXPECT_EQ(*layout->hs(), (std::vector<double>{110, 105, 195}));
    EXPECT_EQ(contentHeight(), 195);
}

TEST_F(WaterCollectionViewLayoutTest, HugePhotoKeepsItsAspectRatio) {
    build(375, 2, {photo(1600, 900), photo(4000, 6000)});
    const double before = 5;  // the right column is still empty
    const gfx::Rect huge = frameOf(1);
    EXPECT_EQ(huge.size, (gfx::Size{185, 277.5}));
    EXPECT_DOUBLE_EQ(huge.midY(), before + 141.25);
    ASSERT_TRUE(layout->hs());
    EXPECT_DOUBLE_EQ(layout->hs()->at(1), before + 282.5);
}

TEST_F(WaterCollectionViewLayoutTest, ContentHeightCountsTheStartAndTrailingGap) {
    build(375, 2, {photo(185, 100)});
    EXPECT_EQ(contentHeight(), 110);

    build(375, 2, {});
    ASSERT_TRUE(layout->layoutAttributes());
    EXPECT_TRUE(layout->layoutAttributes()->empty());
    EXPECT_EQ(contentHeight(), 5);
    EXPECT_TRUE(layout->layoutAttributesForElementsInRect({0, 0, 375, 667}).empty());
}

TEST_F(WaterCollectionViewLayoutTest, MissingDimensionsLayOutAsSquares) {
    build(375, 2, {photo(0, 900), photo(1200, 0), photo(0, 0), photo(-4, 3), photo(100, 100)});
    for (const auto& attributes : *layout->layoutAttributes()) {
        const gfx::Rect frame = attributes.frame();
        EXPECT_TRUE(std::isfinite(frame.minY()) && std::isfinite(frame.height()));
        EXPECT_EQ(frame.size, (gfx::Size{185, 185}));
    }
    EXPECT_TRUE(std::isfinite(contentHeight()));
    EXPECT_EQ(contentHeight(), 5 + 3 * 190);
    EXPECT_EQ(WaterCollectionViewLayout::scaledHeight(*photo(0, 10), 50), 50);
}

TEST_F(WaterCollectionViewLayoutTest, AskingForOneItemDoesNotMoveTheColumns) {
    build(375, 2, {photo(100, 200), photo(100, 100), photo(100, 100)});
    const auto heights = *layout->hs();
    const auto first = layout->layoutAttributesForItemAtIndexPath({0, 2});
    const auto again = layout->layoutAttributesForItemAtIndexPath({0, 2});
    ASSERT_TRUE(first && again);
    EXPECT_EQ(*first, *again);
    EXPECT_EQ(first->frame(), frameOf(2));
    EXPECT_EQ(*layout->hs(), heights);
    EXPECT_FALSE(layout->layoutAttributesForItemAtIndexPath({0, 3}));
    EXPECT_FALSE(layout->layoutAttributesForItemAtIndexPath({1, 0}));
}

TEST_F(WaterCollectionViewLayoutTest, EveryPreparationStartsAgainFromTheTop) {
    build(375, 2, {photo(100, 100)});
    source->photos.insert(source->photos.begin(), photo(100, 300));
    layout->setSize = [source = source] { return source->photos; };
    view->setCollectionViewLayout(layout);
    view->reloadData();
    view->layoutIfNeeded();
    ASSERT_EQ(layout->totalNum(), 2);
    EXPECT_EQ(frameOf(0), gfx::Rect(2.5, 7.5, 185, 555));
    EXPECT_EQ(frameOf(1), gfx::Rect(192.5, 7.5, 185, 185));
    EXPECT_EQ(contentHeight(), 5 + 555 + 5);
}

TEST_F(WaterCollectionViewLayoutTest, ItemsBeyondThePhotoListGrowNoColumn) {
    source->extraItems = 2;
    build(375, 2, {photo(100, 100)});
    ASSERT_EQ(layout->totalNum(), 3);
    EXPECT_EQ(frameOf(1).size, (gfx::Size{185, 0}));
    EXPECT_EQ(frameOf(2).size, (gfx::Size{185, 0}));
    EXPECT_EQ(*layout->hs(), (std::vector<double>{195, 5}));
}

}  // namespace

namespace {

TEST_F(WaterCollectionViewLayoutTest, ARectGetsExactlyTheItemsItMeetsInItemOrder) {
    // Three columns of mixed shapes; every rect answered as a scan of all
    // items would answer it.
    const std::int64_t shapes[][2] = {{100, 150}, {160, 90}, {100, 100}, {80, 200}, {300, 200}};
    PhotoList photos;
    for (int i = 0; i < 300; ++i) photos.push_back(photo(shapes[i % 5][0], shapes[i % 5][1]));
    build(375, 3, photos);
    const double height = contentHeight();
    for (double top = -50; top < height + 50; top += 97.3) {
        for (const double tall : {0.0, 1.0, 120.0, 667.0}) {
            for (const auto& [left, wide] : {std::pair{0.0, 375.0}, {130.0, 10.0}, {-20.0, 5.0}}) {
                const gfx::Rect rect(left, top, wide, tall);
                std::vector<int> expected;
                for (int item = 0; item < 300; ++item) {
                    const gfx::Rect frame = frameOf(item);
                    if (frame.maxX() >= rect.minX() && frame.minX() <= rect.maxX() &&
                        frame.maxY() >= rect.minY() && frame.minY() <= rect.maxY())
                        expected.push_back(item);
                }
                std::vector<int> answered;
                for (const auto& attributes : layout->layoutAttributesForElementsInRect(rect))
                    answered.push_back(attributes.indexPath().item);
                ASSERT_EQ(answered, expected) << top << " " << tall << " " << left;
            }
        }
    }
    // The collection view keeps cells for what it shows, however long the
    // feed.
    view->setContentOffset({0, height / 2});
    view->layoutIfNeeded();
    for (const auto& cell : view->visibleCells())
        EXPECT_TRUE(cell->frame().intersects(view->bounds()));
    EXPECT_LT(view->visibleCells().size(), 20u);
}

}  // namespace
