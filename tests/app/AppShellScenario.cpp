// The app launched as a whole on the default 375x667 phone, driven by a
// manual clock and injected touches.

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/AppDelegate.h"
#include "app/services/LocalizableHelper.h"
#include "app/vc/AboutViewController.h"
#include "app/vc/CollectedViewController.h"
#include "app/vc/WaterfallViewController.h"
#include "core/Console.h"
#include "core/RunLoop.h"
#include "core/ScopedEnvironment.h"
#include "core/UserDefaults.h"
#include "app/services/AppConfiguration.h"
#include "fixtures/LocalServices.h"
#include "gfx/TextLayout.h"
#include "support/ManualClockScope.h"
#include "ui/ImageManager.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "ui/TouchInjector.h"

namespace {

class AppShellScenario : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::shared().resetForTesting();
        // The feeds fetch at launch: from the local services, never a real host.
        app::AppConfiguration::set(
            {services.photoAPIBase(), services.photoWebBase(), services.quoteURL()});
        auto defaults = core::UserDefaults::standard();
        defaults->removeObjectForKey("UserLanguage");
        defaults->removeObjectForKey("AppleLanguages");
        setenv("LANGUAGE", "en", 1);
    }
    void TearDown() override {
        ui::Application::shared().resetForTesting();
        unsetenv("LANGUAGE");
    }

    void launch() {
        delegate = std::make_shared<app::AppDelegate>();
        ASSERT_TRUE(ui::Application::shared().launch(delegate));
        settle(1.0);
    }
    // Moves the manual clock in frame-sized steps so animations and
    // delayed work run as they would.
    void settle(double seconds) {
        for (double t = 0; t < seconds; t += 1.0 / 60) {
            clock.advance(1.0 / 60);
            core::RunLoop::main().runOnce();
        }
    }
    [[nodiscard]] app::QZTabViewController& tabs() const { return *delegate->qzTabVc(); }
    [[nodiscard]] std::vector<std::string> titles() const {
        std::vector<std::string> out;
        for (const auto& page : tabs().viewCtrls()) out.push_back(page->title());
        return out;
    }
    [[nodiscard]] gfx::Rect pillInWindow() const {
        const auto& pill = tabs().tabView()->indicatorView()->indicator();
        return pill->convertRectTo(pill->bounds(), nullptr);
    }
    [[nodiscard]] ui::Button& titleButton(size_t index) const {
        return *tabs().tabView()->titleButtons().at(index);
    }

    testsupport::ManualClockScope clock;
    fixtures::LocalServices services;
    std::shared_ptr<app::AppDelegate> delegate;
};

}  // namespace

TEST_F(AppShellScenario, LaunchBuildsTheWindowNavigationAndPagesInOrder) {
    core::Console::Capture console;
    launch();
    auto window = delegate->window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_FALSE(window->isHidden());
    EXPECT_EQ(window->backgroundColor(), gfx::Color::black());
    EXPECT_EQ(window->frame(), gfx::Rect(0, 0, 375, 667));

    auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(window->rootViewController());
    ASSERT_TRUE(navigation);
    ASSERT_FALSE(navigation->viewControllers().empty());
    EXPECT_EQ(navigation->viewControllers().front(), delegate->qzTabVc());
    EXPECT_TRUE(navigation->isNavigationBarHidden());

    const auto& pages = tabs().viewCtrls();
    ASSERT_EQ(pages.size(), 4u);
    auto explore = std::dynamic_pointer_cast<app::WaterfallViewController>(pages[0]);
    ASSERT_TRUE(explore);
    EXPECT_EQ(explore->historyKey(), "DISCOVERY_HISTORY");
    EXPECT_NE(explore->urlString().find("/photos"), std::string::npos);
    auto featured = std::dynamic_pointer_cast<app::ViewController>(pages[1]);
    ASSERT_TRUE(featured);
    EXPECT_EQ(featured->urlString(), "");
    EXPECT_EQ(featured->historyKey(), "DISCOVERY_POPULAR_HISTORY");
    auto favourites = std::dynamic_pointer_cast<app::CollectedViewController>(pages[2]);
    ASSERT_TRUE(favourites);
    EXPECT_EQ(favourites->urlString(), "");
    EXPECT_TRUE(std::dynamic_pointer_cast<app::AboutViewController>(pages[3]));
    for (size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i]->view()->frame(), gfx::Rect(375.0 * static_cast<double>(i), 0, 375, 667));
        EXPECT_EQ(pages[i]->parentViewController(), delegate->qzTabVc());
    }
    EXPECT_EQ(tabs().tabContainerScrlView()->contentSize(), (gfx::Size{1500, 0}));
    EXPECT_EQ(tabs().tabContainerScrlView()->contentOffset(), (gfx::Point{0, 0}));
    EXPECT_TRUE(console.contains("##### release mode #####"));

    ui::ImageManager& images = ui::ImageManager::shared();
    EXPECT_EQ(images.downloader().downloadTimeout(), 180.0);
    EXPECT_EQ(images.downloader().maximumDownloadBytes(), 64 * 1024 * 1024);
    EXPECT_EQ(images.cache().maxDiskCacheSize(), 524'288'000u);
    EXPECT_EQ(images.cache().maxCachePeriodInSecond(), 604'800.0);
}

TEST_F(AppShellScenario, TitlesFollowTheLanguageChosenAtLaunch) {
    setenv("LANGUAGE", "zh-Hans-CN", 1);
    launch();
    const std::vector<std::string> chinese = titles();
    EXPECT_EQ(core::UserDefaults::standard()->stringForKey("UserLanguage"), "zh-Hans-CN");
    ASSERT_FALSE(chinese.empty());
    EXPECT_NE(chinese[0], "explore");
    EXPECT_NE(chinese[0], "Explore");
    ui::Application::shared().resetForTesting();

    setenv("LANGUAGE", "fr-FR", 1);
    launch();
    const std::vector<std::string> english = titles();
    EXPECT_EQ(core::UserDefaults::standard()->stringForKey("UserLanguage"), "fr-FR");
    EXPECT_NE(english, chinese);
    for (const auto& title : english) EXPECT_FALSE(title.empty());
    ASSERT_FALSE(english.empty());
    EXPECT_EQ(english[0], app::localized("explore"));
    ui::Application::shared().resetForTesting();

    // No preferred language at all: English, and nothing is written.
    auto defaults = core::UserDefaults::standard();
    defaults->removeObjectForKey("UserLanguage");
    defaults->setObject("AppleLanguages", core::Array{});
    launch();
    EXPECT_EQ(titles(), english);
    EXPECT_FALSE(defaults->stringForKey("UserLanguage").has_value());
    ui::Application::shared().resetForTesting();

    // A stored choice of the last launch still counts when the platform
    // gives none.
    defaults->setString("UserLanguage", "zh-Hans-TW");
    launch();
    EXPECT_EQ(titles(), chinese);
}

TEST_F(AppShellScenario, AChineseLocaleChoosesTheChineseBundleLikeItsTag) {
    testsupport::ScopedEnvironment environment;
    environment.set("LANGUAGE", std::nullopt)
        .set("LC_ALL", std::nullopt)
        .set("LC_MESSAGES", std::nullopt)
        .set("LANG", "zh_CN.UTF-8");
    launch();
    const std::vector<std::string> fromLocale = titles();
    EXPECT_EQ(core::UserDefaults::standard()->stringForKey("UserLanguage"), "zh-Hans-CN");
    ui::Application::shared().resetForTesting();

    for (const char* tag : {"zh-Hans", "zh", "zh-CN", "zh_SG"}) {
        environment.set("LANGUAGE", tag);
        launch();
        EXPECT_EQ(titles(), fromLocale) << tag;
        ui::Application::shared().resetForTesting();
    }
    ASSERT_FALSE(fromLocale.empty());
    EXPECT_NE(fromLocale[0], "Explore");

    // Traditional Chinese has no strings of its own: English, not the
    // simplified characters.
    environment.set("LANGUAGE", std::nullopt).set("LANG", "zh_TW.UTF-8");
    launch();
    EXPECT_EQ(core::UserDefaults::standard()->stringForKey("UserLanguage"), "zh-Hant-TW");
    ASSERT_FALSE(titles().empty());
    EXPECT_EQ(titles()[0], "Explore");
}

TEST_F(AppShellScenario, AStoredLanguageTagNeverClimbsOutOfItsFolder) {
    // Taken as a path, this tag would reach the Chinese folder.
    auto defaults = core::UserDefaults::standard();
    defaults->setObject("AppleLanguages", core::Array{});
    defaults->setString("UserLanguage", "en.lproj/../zh-Hans");
    launch();
    ASSERT_FALSE(titles().empty());
    EXPECT_EQ(titles()[0], "Explore");
}

TEST_F(AppShellScenario, StripGeometryOnThe375PointScreen) {
    launch();
    auto strip = tabs().tabView();
    EXPECT_EQ(strip->frame(), gfx::Rect(0, 667 - 64, 375, 64));
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(titleButton(i).frame(), gfx::Rect(93.75 * static_cast<double>(i), 0, 93.75, 64));

    // Settled on page 0: the pill rests in the first segment.
    const gfx::Rect pill = pillInWindow();
    EXPECT_DOUBLE_EQ(pill.minX(), 40.875);
    EXPECT_DOUBLE_EQ(pill.maxX(), 52.875);
    EXPECT_DOUBLE_EQ(pill.minY(), 667 - 64 + 16.0);
    EXPECT_DOUBLE_EQ(pill.height(), 3.0);

    // Half-way between the second and third page the pill is 42 points.
    tabs().tabContainerScrlView()->setContentOffset({375 * 1.5, 0}, false);
    EXPECT_DOUBLE_EQ(pillInWindow().width(), 42.0);
    EXPECT_DOUBLE_EQ(pillInWindow().minX(), 40.875 + 93.75 * 1.5);
}

TEST_F(AppShellScenario, TitlesAreRestyledForTheNearestPage) {
    launch();
    auto scroll = tabs().tabContainerScrlView();
    auto selected = [&](size_t index) {
        return titleButton(index).titleColorForState(ui::ControlState::Normal) == gfx::Color::white() &&
               titleButton(index).titleLabel()->font() == gfx::Font::system(19, gfx::FontWeight::Medium);
    };
    scroll->setContentOffset({375 * 1.49, 0}, false);
    EXPECT_TRUE(selected(1));
    EXPECT_FALSE(selected(2));
    EXPECT_EQ(titleButton(2).titleLabel()->font(), gfx::Font::system(18));
    scroll->setContentOffset({375 * 1.5, 0}, false);
    EXPECT_TRUE(selected(2));
    EXPECT_FALSE(selected(1));

    // The same position again changes nothing.
    titleButton(0).titleLabel()->setFont(gfx::Font::system(30));
    tabs().tabContainerDidScroll(*scroll);
    EXPECT_EQ(titleButton(0).titleLabel()->font(), gfx::Font::system(30));
}

TEST_F(AppShellScenario, TappingATitlePagesThere) {
    launch();
    ui::TouchInjector touches(*delegate->window());
    const gfx::Rect third = titleButton(2).convertRectTo(titleButton(2).bounds(), nullptr);
    touches.tap(third.center());
    settle(1.0);
    EXPECT_EQ(tabs().tabContainerScrlView()->contentOffset(), (gfx::Point{750, 0}));
    EXPECT_DOUBLE_EQ(tabs().tabContainerScrollPercent(), 2.0);
    EXPECT_DOUBLE_EQ(pillInWindow().minX(), 40.875 + 93.75 * 2);
    EXPECT_DOUBLE_EQ(pillInWindow().width(), 12.0);
}

TEST_F(AppShellScenario, EveryEnglishTitleFitsItsTabInEitherWeight) {
    launch();
    auto scroll = tabs().tabContainerScrlView();
    const auto fits = [](ui::Button& button) {
        button.layoutIfNeeded();
        const auto label = button.titleLabel();
        gfx::TextStyle style;
        style.font = label->fittedFont();
        const gfx::TextLayout layout(label->text(), style);
        const gfx::Rect inButton = label->frame();
        return layout.size().width <= label->bounds().width() + 0.01 && inButton.minX() >= 0 &&
               inButton.maxX() <= button.bounds().width();
    };
    for (size_t page = 0; page < 4; ++page) {
        scroll->setContentOffset({375.0 * static_cast<double>(page), 0}, false);
        for (size_t i = 0; i < 4; ++i) {
            ui::Button& button = titleButton(i);
            EXPECT_TRUE(fits(button)) << "page " << page << ", title " << button.titleLabel()->text();
        }
        // The selected title keeps its weight; only its size may give.
        const auto selected = titleButton(page).titleLabel();
        EXPECT_EQ(selected->fittedFont().weight, gfx::FontWeight::Medium);
        EXPECT_EQ(selected->font(), gfx::Font::system(19, gfx::FontWeight::Medium));
    }
    scroll->setContentOffset({375.0 * 2, 0}, false);
    ASSERT_EQ(titleButton(2).titleLabel()->text(), "Favourites");
    EXPECT_LT(titleButton(2).titleLabel()->fittedFont().size, 19) << "shrunk, not cut short";
    EXPECT_EQ(titleButton(0).titleLabel()->fittedFont(), gfx::Font::system(18)) << "room to spare";
}

TEST_F(AppShellScenario, SidewaysSwipesTurnThePagesWhileUprightDragsScrollTheFeed) {
    launch();
    const auto explore =
        std::dynamic_pointer_cast<app::WaterfallViewController>(tabs().viewCtrls()[0]);
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return !explore->isFetching(); }, 10));
    settle(1.0);
    delegate->window()->layoutTree();
    const auto pages = tabs().tabContainerScrlView();
    const auto feed = explore->collectionView();
    ui::TouchInjector touches(*delegate->window());

    // Upright, then mostly upright with a lean: the feed follows the finger
    // from where its pan began (the first of ten steps); the pages stay.
    feed->setContentOffset({0, 0});  // from where the refresh left it
    touches.drag({200, 500}, {200, 300});
    EXPECT_DOUBLE_EQ(feed->contentOffset().y, 180);
    touches.drag({250, 500}, {150, 250});
    EXPECT_DOUBLE_EQ(feed->contentOffset().y, 405);
    EXPECT_EQ(feed->contentOffset().x, 0);
    settle(1.0);
    EXPECT_EQ(pages->contentOffset(), (gfx::Point{0, 0}));
    EXPECT_DOUBLE_EQ(pillInWindow().minX(), 40.875);

    // 290 points sideways turns one page on every page, the feeds
    // included, and the pill follows.
    for (const double page : {1.0, 2.0, 3.0}) {
        touches.drag({300, 300}, {10, 300});
        settle(1.0);
        EXPECT_EQ(pages->contentOffset(), (gfx::Point{375 * page, 0}));
        EXPECT_DOUBLE_EQ(pillInWindow().minX(), 40.875 + 93.75 * page);
    }
    touches.drag({10, 300}, {300, 300});
    settle(1.0);
    EXPECT_EQ(pages->contentOffset(), (gfx::Point{750, 0}));
    EXPECT_DOUBLE_EQ(feed->contentOffset().y, 405);
}
