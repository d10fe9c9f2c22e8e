#include <gtest/gtest.h>

#include "ads/foundation/DZLayoutConstraints.h"

using namespace ads;

TEST(DZLayoutConstraints, ViewsFollowTheirSuperviewThroughLayoutPasses) {
    auto container = std::make_shared<ui::View>(gfx::Rect(0, 0, 320, 50));
    auto centred = std::make_shared<ui::View>(gfx::Rect(0, 0, 100, 20));
    auto filling = std::make_shared<ui::View>(gfx::Rect(5, 5, 10, 10));
    container->addSubview(centred);
    container->addSubview(filling);

    DZConstrainViewCenterToSuperview(centred.get());
    DZConstrainViewToFillSuperview(filling.get());
    EXPECT_FALSE(filling->translatesAutoresizingMaskIntoConstraints());
    EXPECT_EQ(container->constraints().size(), 6u);
    container->layoutIfNeeded();
    EXPECT_EQ(centred->frame(), gfx::Rect(110, 15, 100, 20));
    EXPECT_EQ(filling->frame(), gfx::Rect(0, 0, 320, 50));

    container->setFrame(gfx::Rect(0, 0, 728, 90));  // a size change lays out again
    container->layoutIfNeeded();
    EXPECT_EQ(centred->frame(), gfx::Rect(314, 35, 100, 20));
    EXPECT_EQ(filling->frame(), gfx::Rect(0, 0, 728, 90));
}

TEST(DZLayoutConstraints, NothingHappensWithoutASuperview) {
    auto lonely = std::make_shared<ui::View>(gfx::Rect(1, 2, 3, 4));
    DZConstrainViewToFillSuperview(lonely.get());
    DZConstrainViewSizeToSuperview(nullptr);
    EXPECT_TRUE(lonely->translatesAutoresizingMaskIntoConstraints());
    EXPECT_TRUE(lonely->constraints().empty());
    EXPECT_EQ(lonely->frame(), gfx::Rect(1, 2, 3, 4));
}
