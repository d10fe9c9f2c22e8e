#include "app/QZKit/QZTabViewController.h"

#include <cmath>

#include "core/Console.h"
#include "core/Queue.h"
#include "core/StringFormat.h"
#include "gfx/Font.h"
#include "ui/NavigationController.h"

namespace app {

namespace {
constexpr double kFirstNudgeDelay = 0.1;
const gfx::Color kUnselectedTitle{0.8, 0.8, 0.8, 1.0};
}  // namespace

QZTabViewController::QZTabViewController(
    std::vector<std::shared_ptr<ui::ViewController>> viewControllers, long homePageIndex,
    double offset)
    : viewCtrls_(std::move(viewControllers)), offset_(offset), homePageIndex_(homePageIndex) {}

std::shared_ptr<QZTabViewController> QZTabViewController::create(
    std::vector<std::shared_ptr<ui::ViewController>> viewControllers, long homePageIndex,
    double offset) {
    auto controller =
        std::make_shared<QZTabViewController>(std::move(viewControllers), homePageIndex, offset);
    controller->setupTabContainer();
    return controller;
}

std::shared_ptr<QZTabViewController> QZTabViewController::self() {
    return std::static_pointer_cast<QZTabViewController>(shared_from_this());
}

void QZTabViewController::setupTabContainer() {
    const std::shared_ptr<ui::View> root = view();
    const gfx::Rect area = root->frame();

    auto scroll = std::make_shared<ui::ScrollView>();
    tabContainerScrlView_ = scroll;
    scroll->setDelegate(self());
    root->addSubview(scroll);
    scroll->setPagingEnabled(true);
    scroll->setScrollsToTop(false);
    scroll->setShowsHorizontalScrollIndicator(false);
    scroll->setShowsVerticalScrollIndicator(false);
    scroll->setContentInsetAdjustmentBehavior(ui::ContentInsetAdjustmentBehavior::Never);
    scroll->setContentInset({});
    scroll->setFrame(area);
    scroll->setContentSize({area.width() * static_cast<double>(viewCtrls_.size()), 0.0});

    std::vector<std::string> titles;
    for (size_t i = 0; i < viewCtrls_.size(); ++i) {
        const std::shared_ptr<ui::ViewController>& page = viewCtrls_[i];
        const std::shared_ptr<ui::View> pageView = page->view();
        const double width = pageView->frame().width();
        pageView->setFrame(gfx::Rect(width * static_cast<double>(i), 0.0, width, area.height()));
        core::Console::log(core::format("%@", pageView->frame().minX()));
        scroll->addSubview(pageView);
        titles.push_back(page->title());
        addChildViewController(page);
    }

    tabView_ = QZTabView::create(std::move(titles), *root, offset_);
    root->addSubview(tabView_);
    tabView_->setDelegate(self());

    std::weak_ptr<ui::ScrollView> weakScroll = scroll;
    core::Queue::main()->after(kFirstNudgeDelay, [weakScroll] {
        if (auto pages = weakScroll.lock()) pages->setContentOffset({1.0, 0.0}, false);
    });
}

void QZTabViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    if (auto navigation = navigationController()) navigation->setNavigationBarHidden(true, true);
    tabView_->indicatorView()->resetIndicator();
}

void QZTabViewController::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    if (auto navigation = navigationController()) navigation->setNavigationBarHidden(false, true);
}

void QZTabViewController::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    core::Console::log(core::format("homePageIndex - %ld, isAutoScrolled :%@", homePageIndex_,
                                    isAutoScrolled_ ? "true" : "false"));
    if (isAutoScrolled_) return;
    std::weak_ptr<QZTabViewController> weakSelf = self();
    core::Queue::main()->after(kFirstNudgeDelay, [weakSelf] {
        auto controller = weakSelf.lock();
        if (!controller) return;
        controller->tabView_->selectTab(controller->homePageIndex_, false);
        controller->isAutoScrolled_ = true;
    });
}

void QZTabViewController::scrollToPage(long index) {
    const double width = tabContainerScrlView_->frame().width();
    tabContainerScrlView_->setContentOffset({width * static_cast<double>(index), 0.0}, true);
}

void QZTabViewController::scrollViewDidScroll(ui::ScrollView& scrollView) {
    tabContainerDidScroll(scrollView);
}

void QZTabViewController::tabContainerDidScroll(ui::ScrollView& scrollView) {
    const double position = scrollView.contentOffset().x / scrollView.frame().width();
    core::Console::log(core::format("QZTabViewController scrollViewDidScroll: %@", position));
    if (position == tabContainerScrollPercent_) return;
    tabContainerScrollPercent_ = position;

    tabView_->indicatorView()->moveIndicator(position);
    const long selected = std::lround(static_cast<float>(position));
    for (const auto& button : tabView_->titleButtons()) {
        if (button->tag() == selected) {
            button->setTitleColor(gfx::Color::white(), ui::ControlState::Normal);
            button->titleLabel()->setFont(gfx::Font::system(19, gfx::FontWeight::Medium));
        } else {
            button->setTitleColor(kUnselectedTitle, ui::ControlState::Normal);
            button->titleLabel()->setFont(gfx::Font::system(18));
        }
    }
}

}  // namespace app
