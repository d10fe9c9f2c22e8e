#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "StoreTesting.h"
#include "store/CatalogueStore.h"
#include "store/StoreProductViewController.h"
#include "support/ManualClockScope.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/Window.h"

using store::StoreProductViewController;

namespace {

struct LoadResult {
    bool loaded = false;
    std::optional<store::StoreError> error;
};

class StoreProductViewControllerTest : public testing::Test {
protected:
    static core::Dictionary item(core::Value identifier) {
        core::Dictionary parameters;
        parameters.set(StoreProductViewController::kParameterITunesItemIdentifier,
                       std::move(identifier));
        return parameters;
    }
    static store::Product pagedProduct() {
        store::Product product = storetest::tipProduct();
        product.itemIdentifier = 42;
        return product;
    }
    // Starts a load; the result arrives on a later turn of the main queue.
    static std::shared_ptr<std::optional<LoadResult>> load(StoreProductViewController& controller,
                                                           const core::Dictionary& parameters) {
        auto result = std::make_shared<std::optional<LoadResult>>();
        controller.loadProduct(parameters,
                               [result](bool loaded, const std::optional<store::StoreError>& e) {
                                   *result = LoadResult{loaded, e};
                               });
        EXPECT_FALSE(result->has_value());
        return result;
    }
    static LoadResult loadAndWait(StoreProductViewController& controller,
                                  const core::Dictionary& parameters) {
        const auto result = load(controller, parameters);
        EXPECT_TRUE(storetest::waitUntil([&] { return result->has_value(); }));
        return result->value_or(LoadResult{});
    }

    storetest::ScriptedStoreScope store_;
};

TEST_F(StoreProductViewControllerTest, ThePageComesFromTheStoresCatalogueOnALaterTurn) {
    store_->setProducts({storetest::tipProduct(), pagedProduct()});
    const auto controller = StoreProductViewController::create();
    const LoadResult result = loadAndWait(*controller, item(42));
    EXPECT_TRUE(result.loaded);
    EXPECT_FALSE(result.error);
    ASSERT_TRUE(controller->product());
    EXPECT_EQ(controller->product()->itemIdentifier, 42);
    EXPECT_EQ(store_->requestedItems(), std::vector<std::int64_t>{42});
    // Shown once the view exists.
    (void)controller->view();
    EXPECT_EQ(controller->titleLabel()->text(), "一杯饮料");
    EXPECT_EQ(controller->priceLabel()->text(), "¥6.00");
}

TEST_F(StoreProductViewControllerTest, LoadsFailForUnknownItemsStoreFailuresAndBadParameters) {
    store_->setProducts({pagedProduct()});
    const auto controller = StoreProductViewController::create();
    const LoadResult unknown = loadAndWait(*controller, item(7));
    EXPECT_FALSE(unknown.loaded);
    ASSERT_TRUE(unknown.error);
    EXPECT_EQ(unknown.error->code, store::StoreError::ProductNotAvailable);

    store_->setItemFailure(
        store::StoreError{store::StoreError::CloudServiceNetworkConnectionFailed, "offline"});
    const LoadResult failed = loadAndWait(*controller, item(42));
    EXPECT_FALSE(failed.loaded);
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->message, "offline");
    EXPECT_FALSE(controller->product());

    // Not an item at all: refused without asking the store, still later.
    for (const core::Value& bad :
         {core::Value("42"), core::Value(0), core::Value(-3), core::Value(4.2), core::Value()}) {
        EXPECT_FALSE(loadAndWait(*controller, item(bad)).loaded);
    }
    EXPECT_EQ(store_->requestedItems(), (std::vector<std::int64_t>{7, 42}));
}

TEST_F(StoreProductViewControllerTest, AHeldLoadKeepsTheControllerUntilTheStoreAnswers) {
    store_->setProducts({pagedProduct()});
    store_->holdItems(true);
    auto controller = StoreProductViewController::create();
    const std::weak_ptr<StoreProductViewController> weak = controller;
    const auto result = load(*controller, item(42));
    controller.reset();
    ASSERT_TRUE(storetest::waitUntil([&] { return store_->requestedItems().size() == 1; }));
    storetest::drainCallbackQueue();
    EXPECT_FALSE(result->has_value());
    EXPECT_FALSE(weak.expired());

    store_->releaseItems();
    ASSERT_TRUE(storetest::waitUntil([&] { return result->has_value(); }));
    EXPECT_TRUE((*result)->loaded);
    EXPECT_TRUE(storetest::waitUntil([&] { return weak.expired(); }));
}

TEST_F(StoreProductViewControllerTest, TheAppsCatalogueHasNoPages) {
    (void)store::StoreBackend::install(store::CatalogueStore::fromMainBundle());
    const auto controller = StoreProductViewController::create();
    const LoadResult result = loadAndWait(*controller, item(1));
    EXPECT_FALSE(result.loaded);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code, store::StoreError::ProductNotAvailable);
}

class DoneRecorder : public store::StoreProductViewControllerDelegate {
public:
    void productViewControllerDidFinish(StoreProductViewController& controller) override {
        finished.push_back(&controller);
    }
    std::vector<StoreProductViewController*> finished;
};

TEST_F(StoreProductViewControllerTest, DoneGoesToTheDelegateOrDismisses) {
    testsupport::ManualClockScope clock;
    const auto window = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
    const auto root = std::make_shared<ui::ViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();

    const auto page = StoreProductViewController::create();
    const auto recorder = std::make_shared<DoneRecorder>();
    page->setDelegate(recorder);
    root->presentViewController(page, false);
    page->doneButton()->sendActions(ui::ControlEvent::TouchUpInside);
    EXPECT_EQ(recorder->finished, std::vector<StoreProductViewController*>{page.get()});
    EXPECT_EQ(root->presentedViewController(), page);

    page->setDelegate(nullptr);
    page->doneButton()->sendActions(ui::ControlEvent::TouchUpInside);
    clock.advance(0.5);
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

}  // namespace
