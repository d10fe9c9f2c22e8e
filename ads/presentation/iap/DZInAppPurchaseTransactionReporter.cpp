#include "ads/presentation/iap/DZInAppPurchaseTransactionReporter.h"

#include <cstdio>

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZMacroTemplates.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/mediation/core/DZMClassRegistry.h"
#include "ads/presentation/iap/DZInAppPurchaseProductCache.h"
#include "ads/web/net/DZPinger.h"
#include "core/Decimal.h"
#include "core/Queue.h"
#include "core/UserDefaults.h"
#include "store/PaymentQueue.h"

namespace ads {

std::shared_ptr<DZInAppPurchaseTransactionReporter>
DZInAppPurchaseTransactionReporter::sharedInstance() {
    static const auto* const shared = new std::shared_ptr<DZInAppPurchaseTransactionReporter>(
        std::make_shared<DZInAppPurchaseTransactionReporter>());
    return *shared;
}

DZInAppPurchaseTransactionReporter::DZInAppPurchaseTransactionReporter(
    std::shared_ptr<DZInAppPurchaseProductCache> productCache)
    : productCache_(productCache ? std::move(productCache)
                                 : DZInAppPurchaseProductCache::sharedInstance()) {}

DZInAppPurchaseTransactionReporter::~DZInAppPurchaseTransactionReporter() {
    // The queue holds observers weakly: an expired one is skipped, so only
    // the flags need settling here.
    disabled_ = true;
    enabled_ = false;
}

bool DZInAppPurchaseTransactionReporter::shouldBeEnabled() const {
    if (disabled_) return false;
    const core::Value stored = core::UserDefaults::standard()->objectForKey(kEquivalentClassesKey);
    std::vector<std::string> names;
    if (const core::Array* list = stored.array()) {
        for (const core::Value& name : *list)
            if (name.isString()) names.push_back(name.stringValue());
    } else {
        names.emplace_back("GMRMeasurement");
    }
    for (const auto& name : names)
        if (DZMClassRegistry::shared().classExists(name)) return false;
    return true;
}

void DZInAppPurchaseTransactionReporter::enableReporting() {
    if (disabled_) return;
    if (!registered_.exchange(true))
        store::PaymentQueue::defaultQueue().addTransactionObserver(shared_from_this());
    enabled_ = true;
}

void DZInAppPurchaseTransactionReporter::disableReporting() {
    disabled_ = true;
    if (registered_.exchange(false))
        store::PaymentQueue::defaultQueue().removeTransactionObserver(shared_from_this());
    enabled_ = false;
}

void DZInAppPurchaseTransactionReporter::resetForTesting() {
    store::PaymentQueue::defaultQueue().removeTransactionObserver(shared_from_this());
    registered_ = false;
    enabled_ = false;
    disabled_ = false;
}

core::Dictionary DZInAppPurchaseTransactionReporter::recordForTransaction(
    const store::PaymentTransaction& transaction) {
    core::Dictionary record;
    record.set("sku", transaction.payment.productIdentifier);
    record.set("transactionid", transaction.transactionIdentifier.empty()
                                    ? std::string("missing")
                                    : transaction.transactionIdentifier);
    record.set("quantity", std::to_string(transaction.payment.quantity));
    if (transaction.transactionDate == 0) {
        record.set("timestamp", "missing");
    } else {
        char text[64];
        std::snprintf(text, sizeof text, "%f", transaction.transactionDate);
        record.set("timestamp", std::string(text));
    }
    return record;
}

std::optional<std::string>
DZInAppPurchaseTransactionReporter::formattedPrice(const std::string& price) {
    const auto decimal = core::Decimal::parse(price);
    if (!decimal) return std::nullopt;
    return decimal->floor(6).string(0);
}

void DZInAppPurchaseTransactionReporter::paymentQueue(
    store::PaymentQueue& /*queue*/, const std::vector<store::PaymentTransaction>& transactions) {
    if (!enabled_) return;
    std::vector<core::Dictionary> records;
    std::set<std::string> unknown;
    for (const auto& transaction : transactions) {
        if (transaction.transactionState != store::PaymentTransactionState::Purchased) continue;
        const std::string& id = transaction.payment.productIdentifier;
        if (!id.empty() && !productCache_->cachedProductForProductID(id)) unknown.insert(id);
        records.push_back(recordForTransaction(transaction));
    }
    if (records.empty()) return;
    std::weak_ptr<DZInAppPurchaseTransactionReporter> weakSelf = weak_from_this();
    auto report = [weakSelf, records] {
        if (const auto self = weakSelf.lock()) self->reportTransactionsFromArray(records);
    };
    if (!unknown.empty()) {
        productCache_->requestProductsWithProductIdentifiers(
            std::move(unknown), core::Queue::main(),
            [report](const auto&, const auto&, const auto&) { report(); });
        return;
    }
    core::Queue::main()->async(report);
}

void DZInAppPurchaseTransactionReporter::reportTransactionsFromArray(
    const std::vector<core::Dictionary>& records) {
    core::Dictionary parameters = DZApplication::sharedInstance()->parameters();
    parameters.set("iapsource", "auto");
    std::weak_ptr<DZInAppPurchaseTransactionReporter> weakSelf = weak_from_this();
    core::Queue::global()->async([weakSelf, records, parameters] {
        if (const auto self = weakSelf.lock())
            self->reportTransactionsFromArray(records, parameters);
    });
}

void DZInAppPurchaseTransactionReporter::reportTransactionsFromArray(
    const std::vector<core::Dictionary>& records, const core::Dictionary& sharedParameters) {
    if (disabled_) return;
    const auto defaults = core::UserDefaults::standard();
    const std::string format =
        defaults->stringForKey(kReportFormatKey).value_or(kDefaultReportFormat);
    const std::string suffix =
        defaults->stringForKey(kRetrySuffixKey).value_or(kDefaultRetrySuffix);
    for (const auto& record : records) {
        core::Dictionary parameters = sharedParameters;
        for (const auto& [key, value] : record) parameters.set(key, value);
        const core::Value* sku = record.find("sku");
        if (sku && sku->isString())
            if (const auto product = productCache_->cachedProductForProductID(sku->stringValue())) {
                parameters.set("price", formattedPrice(product->price).value_or("missing"));
                const std::string currency = product->currencyCode();
                if (!currency.empty()) parameters.set("currencycode", currency);
            }
        std::string text = format;
        for (const auto& [name, value] : parameters)
            DZStringBySubstitutingMacro(text, name, DZPercentEscapedString(value.stringValue()));
        DZRemoveUnresolvedMacros(text);
        DZUnescapeMacroMarkers(text);
        const auto url = core::URL::create(text);
        if (!url) continue;
        DZPinger::sharedInstance()->pingWithRetryGroupKey(kRetryGroupKey, *url, text + suffix);
    }
}

}  // namespace ads
