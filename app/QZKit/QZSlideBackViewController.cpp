#include "app/QZKit/QZSlideBackViewController.h"

#include "core/NotificationCenter.h"
#include "ui/Button.h"
#include "ui/GestureRecognizer.h"
#include "ui/Label.h"

namespace app {

namespace {

constexpr gfx::Color kNavBarColor{0.5, 0.5, 0.5, 1};
constexpr gfx::Color kHighlightedTitleColor{1, 1, 0, 1};
constexpr const char* kBackTitle = "back";

}  // namespace

QZSlideBackViewController::QZSlideBackViewController(std::string titleLable)
    : titleLable_(std::move(titleLable)), navBar_(std::make_shared<ui::View>()),
      interactiveTransition_(
          std::make_shared<InteractiveTransition>(TransitionType::Dismiss, GestureDirection::Left)),
      pbTransition_(
          std::make_shared<PresentTransition>(TransitionType::Dismiss, GestureDirection::Left)) {}

QZSlideBackViewController::~QZSlideBackViewController() {
    core::NotificationCenter::defaultCenter().removeObserver(
        static_cast<const ui::ViewController*>(this));
}

void QZSlideBackViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    const auto self = std::static_pointer_cast<QZSlideBackViewController>(shared_from_this());
    const std::weak_ptr<QZSlideBackViewController> weakSelf = self;
    core::NotificationCenter::defaultCenter().addObserver(
        std::static_pointer_cast<ui::ViewController>(self), kLanguageChangedNotification, nullptr,
        [weakSelf](const core::Notification&) {
            if (const auto controller = weakSelf.lock()) controller->refreshUI();
        });

    const auto root = view();
    root->setBackgroundColor(gfx::Color::white());
    setUpNavBar();
    setTransitioningDelegate(std::shared_ptr<ui::TransitioningDelegate>(self, this));

    const std::weak_ptr<InteractiveTransition> interaction = interactiveTransition_;
    root->addGestureRecognizer(
        std::make_shared<ui::PanGestureRecognizer>([interaction](ui::GestureRecognizer& pan) {
            if (const auto transition = interaction.lock()) transition->handleGestureWithPan(pan);
        }));
    interactiveTransition_->setVc(self);
}

void QZSlideBackViewController::setUpNavBar() {
    view()->addSubview(navBar_);
    navBar_->setBackgroundColor(kNavBarColor);

    navTitle_ = std::make_shared<ui::Label>();
    navTitle_->setTextColor(gfx::Color::white());
    navTitle_->setTextAlignment(gfx::TextAlignment::Center);
    navTitle_->setText(titleLable_);
    navBar_->addSubview(navTitle_);

    backButton_ = ui::Button::create(ui::ButtonType::Custom);
    backButton_->setTitleColor(gfx::Color::white(), ui::ControlState::Normal);
    backButton_->setTitleColor(kHighlightedTitleColor, ui::ControlState::Highlighted);
    backButton_->setTitle(kBackTitle, ui::ControlState::Normal);
    const std::weak_ptr<ui::ViewController> weakSelf = shared_from_this();
    backButton_->addAction(ui::ControlEvent::TouchUpInside, [weakSelf](ui::Control&) {
        if (const auto self = weakSelf.lock()) {
            static_cast<QZSlideBackViewController&>(*self).backAction();
        }
    });
    navBar_->addSubview(backButton_);
}

void QZSlideBackViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    const gfx::Rect bounds = view()->bounds();
    navBar_->setFrame(gfx::Rect(bounds.minX(), bounds.minY(), bounds.width(), kNavBarHeight));
    const gfx::Rect bar = navBar_->bounds();
    // Sized like the bar and laid over it, the centred title sits in its middle.
    if (navTitle_) navTitle_->setFrame(bar);
    if (backButton_) {
        backButton_->setFrame(
            gfx::Rect(bar.minX() + kBackButtonLeft, bar.minY(), bar.height(), bar.height()));
    }
}

void QZSlideBackViewController::refreshUI() {
    if (navTitle_) navTitle_->setText(titleLable_);
    if (backButton_) backButton_->setTitle(kBackTitle, ui::ControlState::Normal);
}

void QZSlideBackViewController::backAction() {
    dismissViewController(true);
}

std::shared_ptr<ui::AnimatedTransitioning>
QZSlideBackViewController::animationControllerForPresented(
    const std::shared_ptr<ui::ViewController>&, const std::shared_ptr<ui::ViewController>&,
    const std::shared_ptr<ui::ViewController>&) {
    pbTransition_->setTransitionType(TransitionType::Present);
    return pbTransition_;
}

std::shared_ptr<ui::AnimatedTransitioning>
QZSlideBackViewController::animationControllerForDismissed(
    const std::shared_ptr<ui::ViewController>&) {
    pbTransition_->setTransitionType(TransitionType::Dismiss);
    return pbTransition_;
}

std::shared_ptr<ui::InteractiveTransitioning>
QZSlideBackViewController::interactionControllerForDismissal(
    const std::shared_ptr<ui::AnimatedTransitioning>&) {
    if (!interactiveTransition_->interaction()) return nullptr;
    return interactiveTransition_;
}

}  // namespace app
