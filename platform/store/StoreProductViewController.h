#pragma once
// A product's store page shown inside the app: a "Done" bar over the
// product's title, description and price. loadProduct() looks the page up
// in the store (StoreBackend::current(), by the item identifier under
// kParameterITunesItemIdentifier) and completes on a later turn of the main
// queue, even when the store answers at once; the controller stays alive
// until then. The bundle's catalogue gives no product an item identifier,
// so in the app every load fails. Main thread only.

#include <functional>
#include <memory>
#include <optional>

#include "core/Value.h"
#include "store/Product.h"
#include "store/StoreError.h"
#include "store/StoreProductViewControllerDelegate.h"
#include "ui/ViewController.h"

namespace ui {
class Button;
class Label;
}  // namespace ui

namespace store {

struct ItemAnswer;
class SheetBar;

class StoreProductViewController : public ui::ViewController {
    struct Token {};

public:
    // The load parameter naming the item: a positive integer.
    static constexpr const char* kParameterITunesItemIdentifier = "id";
    using LoadCompletion = std::function<void(bool loaded, const std::optional<StoreError>& error)>;

    [[nodiscard]] static std::shared_ptr<StoreProductViewController> create();
    explicit StoreProductViewController(Token) {}

    // Parameters without a usable item identifier fail (on the later turn
    // too) without asking the store.
    void loadProduct(const core::Dictionary& parameters, LoadCompletion completion);
    // The product of the last load that succeeded.
    [[nodiscard]] const std::optional<Product>& product() const { return product_; }

    [[nodiscard]] std::shared_ptr<StoreProductViewControllerDelegate> delegate() const {
        return delegate_.lock();
    }
    // Held weakly.
    void setDelegate(const std::shared_ptr<StoreProductViewControllerDelegate>& delegate) {
        delegate_ = delegate;
    }
    // What the "Done" button does.
    void done();

    // Valid once the view is loaded.
    [[nodiscard]] const std::shared_ptr<ui::Button>& doneButton() const { return done_; }
    [[nodiscard]] const std::shared_ptr<ui::Label>& titleLabel() const { return title_; }
    [[nodiscard]] const std::shared_ptr<ui::Label>& priceLabel() const { return price_; }

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

private:
    void finishLoad(const ItemAnswer& answer, const LoadCompletion& completion);
    void showProduct();

    std::optional<Product> product_;
    std::weak_ptr<StoreProductViewControllerDelegate> delegate_;
    std::shared_ptr<SheetBar> bar_;
    std::shared_ptr<ui::Button> done_;
    std::shared_ptr<ui::Label> title_;
    std::shared_ptr<ui::Label> description_;
    std::shared_ptr<ui::Label> price_;
};

}  // namespace store
