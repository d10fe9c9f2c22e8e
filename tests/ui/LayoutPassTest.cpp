// Layout happens by itself on the main run loop's next turn, and cells are
// sized before their data source fills them.

#include <gtest/gtest.h>

#include "ListTestSupport.h"
#include "core/RunLoop.h"
#include "ui/Window.h"

namespace {

class SizeRecordingSource : public listtest::ItemSource {
public:
    std::vector<gfx::Rect> framesWhenFilled;
    std::shared_ptr<ui::CollectionViewCell> cellForItemAtIndexPath(
        ui::CollectionView& view, const ui::IndexPath& indexPath) override {
        auto cell = ItemSource::cellForItemAtIndexPath(view, indexPath);
        framesWhenFilled.push_back(cell->frame());
        return cell;
    }
};

}  // namespace

TEST(LayoutPass, AWindowLaysOutOnTheNextTurnAndCellsAreSizedWhenFilled) {
    auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
    auto layout = std::make_shared<listtest::ColumnLayout>();
    auto collection = std::make_shared<ui::CollectionView>(gfx::Rect(0, 0, 375, 667), layout);
    auto source = std::make_shared<SizeRecordingSource>();
    source->count = 3;
    collection->registerClass<listtest::CountingCell>("cell");
    collection->setDataSource(source);
    window->addSubview(collection);
    core::RunLoop::main().runOnce();
    ASSERT_EQ(source->asked.size(), 3u);

    source->count = 5;
    collection->reloadData();
    EXPECT_EQ(source->asked.size(), 3u);  // nothing until the loop turns
    core::RunLoop::main().runOnce();
    ASSERT_EQ(source->asked.size(), 8u);
    for (size_t i = 3; i < 8; ++i) {
        const int item = source->asked[i].item;
        EXPECT_EQ(source->framesWhenFilled[i], gfx::Rect(0, item * 100.0, 375, 100)) << item;
    }
}
