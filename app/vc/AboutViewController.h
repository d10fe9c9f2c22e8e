#pragma once
// The about page, fourth page of the tab container: on black, the app icon,
// the version, a description, the tip purchase, the store review link,
// cache cleaning and the photo service's licence link. Every text is looked
// up in the language bundle. It hides the navigation bar while it is shown.
//
// It is its own products-request delegate and payment-transaction observer
// (AboutViewControllerStore.cpp). The store calls those from its own queue;
// the page hands every call on to the main queue, where all of its state
// lives. Main thread otherwise.

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/Value.h"
#include "store/PaymentTransactionObserver.h"
#include "store/ProductsRequest.h"
#include "store/ProductsRequestDelegate.h"
#include "ui/ViewController.h"

namespace ui {
class Button;
class ImageView;
class Label;
}  // namespace ui

namespace app {

class AboutViewController : public ui::ViewController,
                            public store::ProductsRequestDelegate,
                            public store::PaymentTransactionObserver {
public:
    static constexpr const char* kTipProductIdentifier = "veltrogallery_drink_0";
    static constexpr const char* kStoreReviewURL =
        "itms-apps://apps.vantor.store/app/id1460341286?action=write-review";
    static constexpr double kToastSeconds = 1.5;

    // The products the page asks the store for: the tip alone.
    [[nodiscard]] static const std::set<std::string>& productIdentifiers();

    AboutViewController();

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidLayoutSubviews() override;

    virtual void setupViews();
    virtual void cleanCache();
    // Presents the in-app browser on the URL; nothing when the text is not
    // an http(s) URL.
    virtual void showWebPage(const std::string& urlString);
    // Called on a global queue by viewDidLoad.
    virtual void requestProducts();
    virtual void purchaseFirstItem();

    void rateApp();
    void jumpToUnsplashLicense();

    // The localized "version" followed at once by the info dictionary's
    // "CFBundleShortVersionString".
    [[nodiscard]] static std::string versionText(std::string_view localizedVersion,
                                                 const core::Value& infoDictionary);
    // The photo service's web site over https, path "/license"; empty when
    // the configured site has no host.
    [[nodiscard]] static std::string licenseURLString();
    // The product's price in its price locale's currency.
    [[nodiscard]] static std::optional<std::string> formattedPrice(const store::Product& product);

    [[nodiscard]] const std::shared_ptr<ui::ImageView>& iconImageView() const {
        return iconImageView_;
    }
    [[nodiscard]] const std::shared_ptr<ui::Label>& verLabel() const { return verLabel_; }
    [[nodiscard]] const std::shared_ptr<ui::Label>& appDescriptionLabel() const {
        return appDescriptionLabel_;
    }
    [[nodiscard]] const std::shared_ptr<ui::Button>& unSplashAuthorizationLinkButton() const {
        return unSplashAuthorizationLinkButton_;
    }
    [[nodiscard]] const std::shared_ptr<ui::Button>& iapButton() const { return iapButton_; }
    [[nodiscard]] const std::shared_ptr<ui::Button>& cleanButton() const { return cleanButton_; }
    [[nodiscard]] const std::shared_ptr<ui::Button>& appReviewButton() const {
        return appReviewButton_;
    }
    [[nodiscard]] const std::string& productID() const { return productID_; }
    [[nodiscard]] const std::shared_ptr<store::ProductsRequest>& skRequest() const {
        return skRequest_;
    }
    [[nodiscard]] const std::vector<store::Product>& skProducts() const { return skProducts_; }

    // The store's calls, from its queue.
    void productsRequest(store::ProductsRequest& request,
                         const store::ProductsResponse& response) override;
    void request(store::ProductsRequest& request, const store::StoreError& error) override;
    void requestDidFinish(store::ProductsRequest& request) override;
    void paymentQueue(store::PaymentQueue& queue,
                      const std::vector<store::PaymentTransaction>& transactions) override;
    void paymentQueue(store::PaymentQueue& queue, const store::StoreError& error) override;
    void paymentQueueRestoreCompletedTransactionsFinished(store::PaymentQueue& queue) override;

private:
    [[nodiscard]] std::weak_ptr<AboutViewController> weakSelf();
    // Runs task with the page on the main queue, if the page is still there.
    void onMain(std::function<void(AboutViewController&)> task);

    // Toasts one at a time: a toast waits until the one before it has gone.
    void showToast(const std::string& message);

    void didReceiveProducts(const store::ProductsResponse& response);
    void updatedTransactions(const std::vector<store::PaymentTransaction>& transactions);

    std::shared_ptr<ui::ImageView> iconImageView_;
    std::shared_ptr<ui::Label> verLabel_;
    std::shared_ptr<ui::Label> appDescriptionLabel_;
    std::shared_ptr<ui::Button> unSplashAuthorizationLinkButton_;
    std::shared_ptr<ui::Button> iapButton_;
    std::shared_ptr<ui::Button> cleanButton_;
    std::shared_ptr<ui::Button> appReviewButton_;
    std::string productID_;
    std::shared_ptr<store::ProductsRequest> skRequest_;
    std::vector<store::Product> skProducts_;
    bool observesPaymentQueue_ = false;
};

}  // namespace app
