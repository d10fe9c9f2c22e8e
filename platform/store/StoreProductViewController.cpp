#include "store/StoreProductViewController.h"

#include "core/Queue.h"
#include "gfx/Font.h"
#include "store/SheetBar.h"
#include "store/StoreBackend.h"
#include "ui/Button.h"
#include "ui/Label.h"

namespace store {

namespace {

constexpr double kInset = 16;

std::optional<std::int64_t> itemIdentifier(const core::Dictionary& parameters) {
    const core::Value& value =
        parameters[StoreProductViewController::kParameterITunesItemIdentifier];
    if (!value.isInteger() || value.isUnsigned() || value.intValue() <= 0) return std::nullopt;
    return value.intValue();
}

}  // namespace

void StoreProductViewControllerDelegate::productViewControllerDidFinish(
    StoreProductViewController& controller) {
    controller.dismissViewController(true);
}

std::shared_ptr<StoreProductViewController> StoreProductViewController::create() {
    return std::make_shared<StoreProductViewController>(Token{});
}

void StoreProductViewController::loadProduct(const core::Dictionary& parameters,
                                             LoadCompletion completion) {
    const auto self = std::static_pointer_cast<StoreProductViewController>(shared_from_this());
    const auto item = itemIdentifier(parameters);
    if (!item) {
        core::Queue::main()->async([self, completion = std::move(completion)] {
            self->finishLoad({std::nullopt, StoreError{StoreError::Unknown,
                                                       "The parameters name no store item."}},
                             completion);
        });
        return;
    }
    StoreBackend::callbackQueue()->async([self, item = *item, completion = std::move(completion)] {
        StoreBackend::current()->lookUpItem(item, [self, completion](ItemAnswer answer) {
            core::Queue::main()->async([self, completion, answer = std::move(answer)] {
                self->finishLoad(answer, completion);
            });
        });
    });
}

void StoreProductViewController::finishLoad(const ItemAnswer& answer,
                                            const LoadCompletion& completion) {
    if (answer.product) {
        product_ = answer.product;
        showProduct();
    }
    if (!completion) return;
    if (answer.product)
        completion(true, std::nullopt);
    else
        completion(false, answer.error.value_or(StoreError{StoreError::Unknown, "No store page."}));
}

void StoreProductViewController::done() {
    if (const auto delegate = delegate_.lock()) {
        delegate->productViewControllerDidFinish(*this);
        return;
    }
    StoreProductViewControllerDelegate().productViewControllerDidFinish(*this);
}

void StoreProductViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    bar_ = std::make_shared<SheetBar>();
    const std::weak_ptr<StoreProductViewController> weak =
        std::static_pointer_cast<StoreProductViewController>(shared_from_this());
    done_ = bar_->setButton(SheetBar::Side::Trailing, "Done", [weak] {
        if (const auto self = weak.lock()) self->done();
    });
    title_ = std::make_shared<ui::Label>();
    title_->setFont(gfx::Font::system(20, gfx::FontWeight::Semibold));
    description_ = std::make_shared<ui::Label>();
    description_->setFont(gfx::Font::system(15));
    description_->setNumberOfLines(0);
    price_ = std::make_shared<ui::Label>();
    price_->setFont(gfx::Font::system(17, gfx::FontWeight::Medium));
    price_->setTextColor(ui::Button::kSystemTintColor);
    for (const auto& label : {title_, description_, price_}) view()->addSubview(label);
    view()->addSubview(bar_);
    showProduct();
}

void StoreProductViewController::showProduct() {
    if (!isViewLoaded() || !title_) return;
    title_->setText(product_ ? product_->localizedTitle : std::string());
    description_->setText(product_ ? product_->localizedDescription : std::string());
    price_->setText(product_ ? product_->localizedPrice().value_or(product_->price)
                             : std::string());
    view()->setNeedsLayout();
}

void StoreProductViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    if (!bar_) return;
    const double barBottom = bar_->placeAtTopOf(*view());
    const double width = std::max(0.0, view()->bounds().width() - 2 * kInset);
    title_->setFrame({kInset, barBottom + kInset, width, 28});
    price_->setFrame({kInset, barBottom + kInset + 32, width, 24});
    const double descriptionHeight = description_->sizeThatFits({width, 0}).height;
    description_->setFrame({kInset, barBottom + kInset + 64, width, descriptionHeight});
}

}  // namespace store
