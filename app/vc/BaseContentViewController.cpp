#include "app/vc/BaseContentViewController.h"

#include "app/services/Common.h"
#include "app/services/LocalizableHelper.h"
#include "core/Console.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "gfx/Font.h"
#include "ui/TransitionContext.h"

namespace app {

namespace {

constexpr double kMoreViewHeight = 64;

std::shared_ptr<ui::Label> makeLoadingTipsLabel() {
    auto label = std::make_shared<ui::Label>();
    label->setTextColor(gfx::Color::white());
    label->setTextAlignment(gfx::TextAlignment::Center);
    label->setNumberOfLines(0);
    label->setFont(gfx::Font::system(18));
    label->setText(localized("fetch_photos"));
    return label;
}

}  // namespace

BaseContentViewController::BaseContentViewController(std::string urlString, std::string historyKey)
    : refreshController_(std::make_shared<ui::RefreshControl>()),
      moreView_(std::make_shared<ui::View>()),
      actIndicatorView_(std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorViewStyle::White)),
      loadingTips_(makeLoadingTipsLabel()),
      historyKey_(std::move(historyKey)),
      urlString_(std::move(urlString)) {
    moreView_->setBackgroundColor(gfx::Color::black().withAlpha(0.5));
    actIndicatorView_->startAnimating();
}

bool BaseContentViewController::isFavourites() const {
    return historyKey_ == CommonUserDefaultKeys::userCollectPhotos;
}

void BaseContentViewController::showRefreshing(ui::ScrollView& list) {
    const gfx::Point offset = list.contentOffset();
    list.setContentOffset({0, offset.y - refreshController_->frame().height()}, false);
    refreshController_->beginRefreshing();
}

void BaseContentViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    const gfx::EdgeInsets insets = view()->safeAreaInsets();
    core::Console::log("safeAreaInsets: top " + std::to_string(insets.top) + ", bottom " +
                       std::to_string(insets.bottom));
    loadHistory();
}

void BaseContentViewController::loadHistory() {
    const PhotoList photos = restoreHistory(historyKey_);
    if (photos.empty()) {
        if (isFavourites()) return;
        const std::shared_ptr<ui::View> root = view();
        const gfx::Rect bounds = root->bounds();
        actIndicatorView_->setFrame(gfx::Rect(bounds.midX() - 10, bounds.midY() - 10, 20, 20));
        root->addSubview(actIndicatorView_);
        const double tipsTop = actIndicatorView_->frame().maxY() + 30;
        const double tipsHeight = loadingTips_->sizeThatFits({bounds.width(), 0}).height;
        loadingTips_->setFrame(gfx::Rect(0, tipsTop, bounds.width(), tipsHeight));
        root->addSubview(loadingTips_);
        core::Console::log("首次进入，开始获取");
        return;
    }
    core::Console::log("加载历史urls");
    showHistoryPhotos(photos);
}

void BaseContentViewController::showHistoryPhotos(const PhotoList&) {}

void BaseContentViewController::showLoadingMore() {
    if (isFetching_) {
        core::Console::log("正在获取 return");
        return;
    }
    if (core::RunLoop::isMainThread()) {
        addMoreView();
        return;
    }
    std::weak_ptr<ui::ViewController> weakSelf = shared_from_this();
    core::Queue::main()->async([weakSelf] {
        if (auto self = std::static_pointer_cast<BaseContentViewController>(weakSelf.lock()))
            self->addMoreView();
    });
}

void BaseContentViewController::addMoreView() {
    const std::shared_ptr<ui::View> root = view();
    const gfx::Rect bounds = root->bounds();
    moreView_->setFrame(
        gfx::Rect(0, bounds.maxY() - kMoreViewHeight, bounds.width(), kMoreViewHeight));
    root->addSubview(moreView_);
    actIndicatorView_->setFrame(
        gfx::Rect(bounds.width() / 2 - 10, (kMoreViewHeight - 25) / 2, 20, 25));
    moreView_->addSubview(actIndicatorView_);
    actIndicatorView_->startAnimating();
}

std::shared_ptr<ui::AnimatedTransitioning> BaseContentViewController::animationController(
    ui::NavigationController&, ui::NavigationOperation operation,
    const std::shared_ptr<ui::ViewController>&, const std::shared_ptr<ui::ViewController>&) {
    if (operation == ui::NavigationOperation::Push || operation == ui::NavigationOperation::Pop)
        return std::make_shared<FadeAnimation>();
    return nullptr;
}

void FadeAnimation::animateTransition(ui::TransitionContext& context) {
    auto keepAlive = context.shared_from_this();
    auto from = context.viewForKey(ui::TransitionKey::From);
    auto to = context.viewForKey(ui::TransitionKey::To);
    auto container = context.containerView();
    if (!from || !to || !container) {
        context.completeTransition(true);
        return;
    }
    container->insertSubviewAbove(to, from.get());
    from->setAlpha(1.0);
    to->setAlpha(0.0);
    ui::View::animate(
        transitionDuration(context),
        [&] {
            from->setAlpha(0.0);
            to->setAlpha(1.0);
        },
        [keepAlive, from](bool) {
            from->setAlpha(1.0);
            keepAlive->completeTransition(true);
        });
}

}  // namespace app
