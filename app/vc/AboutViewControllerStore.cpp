// The tip purchase of the about page: the store's delegate and observer
// calls, each handed on to the main queue, and the purchase tap.

#include "app/services/LocalizableHelper.h"
#include "app/vc/AboutViewController.h"
#include "core/Console.h"
#include "core/Queue.h"
#include "store/PaymentQueue.h"

namespace app {

void AboutViewController::onMain(std::function<void(AboutViewController&)> task) {
    core::Queue::main()->async([weak = weakSelf(), task = std::move(task)] {
        if (const auto self = weak.lock()) task(*self);
    });
}

std::optional<std::string> AboutViewController::formattedPrice(const store::Product& product) {
    return product.localizedPrice();
}

void AboutViewController::requestProducts() {
    auto request = store::ProductsRequest::create(productIdentifiers());
    request->setDelegate(std::static_pointer_cast<AboutViewController>(shared_from_this()));
    request->start();
    onMain([request](AboutViewController& self) { self.skRequest_ = request; });
}

void AboutViewController::productsRequest(store::ProductsRequest&,
                                          const store::ProductsResponse& response) {
    onMain([response](AboutViewController& self) { self.didReceiveProducts(response); });
}

void AboutViewController::didReceiveProducts(const store::ProductsResponse& response) {
    core::Console::log("productsRequest " + store::Product::description(response.products));
    if (response.products.empty()) return;
    skProducts_ = response.products;
    const store::Product& first = skProducts_.front();
    const auto price = formattedPrice(first);
    std::string line = first.localizedTitle;
    line.append(" 价格为: ");
    if (price)
        line.append("Optional(\"").append(*price).append("\")");
    else
        line.append("nil");
    core::Console::log(line);
}

void AboutViewController::request(store::ProductsRequest&, const store::StoreError& error) {
    onMain([error](AboutViewController&) {
        core::Console::log("didFailWithError: " + error.description());
    });
}

void AboutViewController::requestDidFinish(store::ProductsRequest&) {
    onMain([](AboutViewController&) { core::Console::log("requestDidFinish"); });
}

void AboutViewController::purchaseFirstItem() {
    if (!store::PaymentQueue::canMakePayments()) {
        showToast(localized("unable_iap"));
        core::Console::log("unable to iap!!!");
        return;
    }
    if (skProducts_.empty()) {
        core::Console::log("none products for purchase");
        return;
    }
    const store::Product& product = skProducts_.front();
    const store::Payment payment = store::Payment::paymentWithProduct(product);
    store::PaymentQueue& queue = store::PaymentQueue::defaultQueue();
    // Observed from the first purchase on, once: a second registration
    // would have every transaction handled, and finished, twice.
    if (!observesPaymentQueue_) {
        queue.addTransactionObserver(
            std::static_pointer_cast<AboutViewController>(shared_from_this()));
        observesPaymentQueue_ = true;
    }
    queue.addPayment(payment);
    productID_ = product.productIdentifier;
    core::Console::log("product to purchase: " + productID_);
}

void AboutViewController::paymentQueue(store::PaymentQueue&,
                                       const std::vector<store::PaymentTransaction>& transactions) {
    onMain([transactions](AboutViewController& self) { self.updatedTransactions(transactions); });
}

void AboutViewController::updatedTransactions(
    const std::vector<store::PaymentTransaction>& transactions) {
    core::Console::log("updatedTransactions");
    store::PaymentQueue& queue = store::PaymentQueue::defaultQueue();
    for (const store::PaymentTransaction& transaction : transactions) {
        switch (transaction.transactionState) {
        case store::PaymentTransactionState::Restored:
            core::Console::log("updatedTransactions restored - " +
                               transaction.payment.productIdentifier);
            queue.finishTransaction(transaction);
            break;
        case store::PaymentTransactionState::Failed:
            core::Console::log("updatedTransactions failed");
            queue.finishTransaction(transaction);
            break;
        case store::PaymentTransactionState::Purchased:
            queue.finishTransaction(transaction);
            if (productID_ == kTipProductIdentifier)
                core::Console::log("updatedTransactions purchased");
            break;
        case store::PaymentTransactionState::Purchasing:
        case store::PaymentTransactionState::Deferred:
            break;
        }
    }
}

void AboutViewController::paymentQueue(store::PaymentQueue&, const store::StoreError& error) {
    onMain([error](AboutViewController&) {
        core::Console::log("restoreCompletedTransactionsFailedWithError " +
                           error.localizedDescription());
    });
}

void AboutViewController::paymentQueueRestoreCompletedTransactionsFinished(store::PaymentQueue&) {
    onMain([](AboutViewController&) {
        core::Console::log("paymentQueueRestoreCompletedTransactionsFinished");
    });
}

}  // namespace app
