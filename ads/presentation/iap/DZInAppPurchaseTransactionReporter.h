#pragma once
// Watches the app's payment queue and reports every completed purchase to
// the ad servers as a conversion ping: the server's URL template, whose
// "@name@" macros take the transaction's values, the product's price and
// currency and the SDK-wide parameters, sent through the pinger with
// persisted retries in the group "/dozuza/ads/auto-iap". Reporting starts
// at SDK start when shouldBeEnabled() allows it and, once switched off,
// stays off for the process.
//
// The payment queue calls in on the store's thread; records go to the main
// queue (through the product cache when a product is not known yet) and
// reports are built and sent on a global queue.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "core/Value.h"
#include "store/PaymentTransactionObserver.h"

namespace ads {

class DZInAppPurchaseProductCache;

class DZInAppPurchaseTransactionReporter
    : public store::PaymentTransactionObserver,
      public std::enable_shared_from_this<DZInAppPurchaseTransactionReporter> {
public:
    static constexpr const char* kReportFormatKey = "/dozuza/ads/iap_report_format";
    static constexpr const char* kRetrySuffixKey = "/dozuza/ads/iap_retry_suffix";
    static constexpr const char* kEquivalentClassesKey = "/dozuza/ads/iap_equivalent_classes";
    static constexpr const char* kRetryGroupKey = "/dozuza/ads/auto-iap";
    static constexpr const char* kDefaultReportFormat =
        "https://adservices.dozuza.com/adpage/conversion/"
        "?appversion=@appversion@&bundleid=@bundleid@&currency_code=@currencycode@"
        "&iap_source=@iapsource@&lat=@lat@&osversion=@osversion@&price=@price@"
        "&quantity=@quantity@&rdid=@rdid@&sdkversion=@sdkversion@&sku=@sku@"
        "&timestamp=@timestamp@&transaction_id=@transactionid@";
    static constexpr const char* kDefaultRetrySuffix = "&retry=1";

    [[nodiscard]] static std::shared_ptr<DZInAppPurchaseTransactionReporter> sharedInstance();
    // A reporter with its own product cache (the shared one by default).
    explicit DZInAppPurchaseTransactionReporter(
        std::shared_ptr<DZInAppPurchaseProductCache> productCache = nullptr);
    ~DZInAppPurchaseTransactionReporter() override;

    // NO once disabled, or when a class the server names as equivalent is
    // present in the process.
    [[nodiscard]] bool shouldBeEnabled() const;
    void enableReporting();
    // For the rest of the process.
    void disableReporting();
    // Back to the state before any start: not watching the payment queue,
    // neither enabled nor disabled (the SDK's start-up state is reset with
    // DZApplication::resetForTesting()).
    void resetForTesting();
    [[nodiscard]] bool reportingEnabled() const { return enabled_; }
    [[nodiscard]] bool wasDisabled() const { return disabled_; }

    void paymentQueue(store::PaymentQueue& queue,
                      const std::vector<store::PaymentTransaction>& transactions) override;
    // Adds the SDK-wide parameters and reports on a global queue.
    void reportTransactionsFromArray(const std::vector<core::Dictionary>& records);
    void reportTransactionsFromArray(const std::vector<core::Dictionary>& records,
                                     const core::Dictionary& sharedParameters);

    // The record of a purchased transaction: "sku", "transactionid",
    // "quantity", "timestamp".
    [[nodiscard]] static core::Dictionary
    recordForTransaction(const store::PaymentTransaction& transaction);
    // The price floored to six decimals, "#.######"; nullopt for a price
    // that is not a decimal.
    [[nodiscard]] static std::optional<std::string> formattedPrice(const std::string& price);

private:
    std::shared_ptr<DZInAppPurchaseProductCache> productCache_;
    std::atomic<bool> enabled_{false};
    std::atomic<bool> disabled_{false};
    std::atomic<bool> registered_{false};
};

}  // namespace ads
