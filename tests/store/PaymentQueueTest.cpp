#include <gtest/gtest.h>

#include <map>

#include "StoreTesting.h"
#include "core/Console.h"
#include "store/PaymentQueue.h"
#include "support/ManualClockScope.h"

using store::PaymentQueue;
using store::PaymentTransactionState;
using storetest::CallLog;

namespace {

const char* stateName(PaymentTransactionState state) {
    switch (state) {
    case PaymentTransactionState::Purchasing:
        return "purchasing";
    case PaymentTransactionState::Purchased:
        return "purchased";
    case PaymentTransactionState::Failed:
        return "failed";
    case PaymentTransactionState::Restored:
        return "restored";
    case PaymentTransactionState::Deferred:
        return "deferred";
    }
    return "?";
}

class RecordingObserver : public store::PaymentTransactionObserver {
public:
    void paymentQueue(PaymentQueue&,
                      const std::vector<store::PaymentTransaction>& transactions) override {
        for (const auto& transaction : transactions) {
            std::string call = stateName(transaction.transactionState);
            call.append(" ").append(transaction.payment.productIdentifier);
            if (transaction.error) call.append(" (").append(transaction.error->message).append(")");
            log.add(call);
            const std::lock_guard lock(mutex);
            last = transaction;
            seen.push_back(transaction);
        }
    }
    void paymentQueue(PaymentQueue&, const store::StoreError& error) override {
        log.add("restore failed " + error.localizedDescription());
    }
    void paymentQueueRestoreCompletedTransactionsFinished(PaymentQueue&) override {
        log.add("restore finished");
    }

    CallLog log;
    std::mutex mutex;
    store::PaymentTransaction last;
    std::vector<store::PaymentTransaction> seen;
};

// A store that keeps payments waiting until told how they end.
class PendingPaymentStore : public store::ScriptedStore {
public:
    void completePayment(const store::Payment&,
                         std::function<void(store::PaymentOutcome)> reply) override {
        const std::lock_guard lock(mutex_);
        pending_.push_back(std::move(reply));
    }
    [[nodiscard]] size_t pending() {
        const std::lock_guard lock(mutex_);
        return pending_.size();
    }
    void completeAll(store::PaymentOutcome outcome) {
        std::vector<std::function<void(store::PaymentOutcome)>> replies;
        {
            const std::lock_guard lock(mutex_);
            replies.swap(pending_);
        }
        for (auto& reply : replies) reply(outcome);
    }

private:
    std::mutex mutex_;
    std::vector<std::function<void(store::PaymentOutcome)>> pending_;
};

class PaymentQueueTest : public testing::Test {
protected:
    void SetUp() override { queue_.addTransactionObserver(observer_); }

    // Waits for n calls, then for anything still on its way.
    [[nodiscard]] std::vector<std::string> callsAfter(size_t n) {
        EXPECT_TRUE(storetest::waitUntil([&] { return observer_->log.size() >= n; }));
        storetest::drainCallbackQueue();
        return observer_->log.calls();
    }

    storetest::ScriptedStoreScope store_;
    PaymentQueue& queue_ = PaymentQueue::defaultQueue();
    std::shared_ptr<RecordingObserver> observer_ = std::make_shared<RecordingObserver>();
};

TEST_F(PaymentQueueTest, APurchaseIsReportedPurchasingThenPurchasedAndStaysUntilFinished) {
    queue_.addPayment(store::Payment::paymentWithProduct(storetest::tipProduct()));
    EXPECT_EQ(callsAfter(2), (std::vector<std::string>{"purchasing veltrogallery_drink_0",
                                                       "purchased veltrogallery_drink_0"}));
    EXPECT_TRUE(observer_->log.allOnCallbackQueue());
    ASSERT_EQ(store_->payments().size(), 1u);

    const auto unfinished = queue_.transactions();
    ASSERT_EQ(unfinished.size(), 1u);
    EXPECT_EQ(unfinished[0].transactionState, PaymentTransactionState::Purchased);
    queue_.finishTransaction(unfinished[0]);
    EXPECT_TRUE(queue_.transactions().empty());
}

TEST_F(PaymentQueueTest, TransactionsCarryTheirIdentifierProductQuantityAndDate) {
    testsupport::ManualClockScope clock;
    store::Payment payment = store::Payment::paymentWithProduct(storetest::tipProduct());
    payment.quantity = 3;
    queue_.addPayment(payment);
    (void)callsAfter(2);
    store_->setPaymentOutcome({PaymentTransactionState::Failed, std::nullopt});
    queue_.addPayment(store::Payment{"other", 1});
    (void)callsAfter(4);
    store_->setRestoreAnswer({{"restored_one"}, std::nullopt});
    queue_.restoreCompletedTransactions();
    (void)callsAfter(6);

    const double now = core::ManualClock::kStartWall;
    std::map<std::string, std::vector<store::PaymentTransaction>> byIdentifier;
    const std::lock_guard lock(observer_->mutex);
    for (const auto& t : observer_->seen) byIdentifier[t.transactionIdentifier].push_back(t);
    ASSERT_EQ(byIdentifier.size(), 3u);
    for (const auto& [identifier, updates] : byIdentifier) {
        SCOPED_TRACE(identifier);
        EXPECT_FALSE(identifier.empty());
        for (const auto& t : updates) {
            const bool dated = t.transactionState == PaymentTransactionState::Purchased ||
                               t.transactionState == PaymentTransactionState::Restored;
            EXPECT_EQ(t.transactionDate, dated ? now : 0.0) << stateName(t.transactionState);
            EXPECT_EQ(t.payment, updates.front().payment);
        }
        const auto& final = updates.back();
        if (final.payment.productIdentifier == "veltrogallery_drink_0") {
            EXPECT_EQ(final.transactionState, PaymentTransactionState::Purchased);
            EXPECT_EQ(final.payment.quantity, 3);
        } else if (final.payment.productIdentifier == "other") {
            EXPECT_EQ(final.transactionState, PaymentTransactionState::Failed);
        } else {
            EXPECT_EQ(final.transactionState, PaymentTransactionState::Restored);
            EXPECT_EQ(final.payment.productIdentifier, "restored_one");
        }
    }
}

TEST_F(PaymentQueueTest, AFailedPaymentCarriesItsError) {
    store_->setPaymentOutcome(
        {PaymentTransactionState::Failed,
         store::StoreError{store::StoreError::PaymentCancelled, "cancelled"}});
    queue_.addPayment(store::Payment::paymentWithProduct(storetest::tipProduct()));
    EXPECT_EQ(callsAfter(2),
              (std::vector<std::string>{"purchasing veltrogallery_drink_0",
                                        "failed veltrogallery_drink_0 (cancelled)"}));
    ASSERT_EQ(queue_.transactions().size(), 1u);
    ASSERT_TRUE(queue_.transactions()[0].error);
    EXPECT_EQ(queue_.transactions()[0].error->code, store::StoreError::PaymentCancelled);
}

TEST_F(PaymentQueueTest, APurchasingTransactionCannotBeFinished) {
    auto pending = std::make_shared<PendingPaymentStore>();
    const auto scripted = store::StoreBackend::install(pending);
    queue_.addPayment(store::Payment::paymentWithProduct(storetest::tipProduct()));
    ASSERT_TRUE(storetest::waitUntil([&] { return pending->pending() == 1; }));

    const core::Console::Capture console;
    queue_.finishTransaction(queue_.transactions().at(0));
    EXPECT_EQ(queue_.transactions().size(), 1u);
    EXPECT_TRUE(console.contains("cannot finish the purchasing transaction"));

    pending->completeAll({PaymentTransactionState::Purchased, std::nullopt});
    (void)callsAfter(2);
    queue_.finishTransaction(queue_.transactions().at(0));
    EXPECT_TRUE(queue_.transactions().empty());
    (void)store::StoreBackend::install(scripted);
}

TEST_F(PaymentQueueTest, RestoreBringsBackTransactionsThenFinishesOrFails) {
    store_->setRestoreAnswer({{"veltrogallery_drink_0"}, std::nullopt});
    queue_.restoreCompletedTransactions();
    EXPECT_EQ(callsAfter(2),
              (std::vector<std::string>{"restored veltrogallery_drink_0", "restore finished"}));
    EXPECT_EQ(queue_.transactions().size(), 1u);

    store_->setRestoreAnswer({{}, store::StoreError{store::StoreError::Unknown, "no account"}});
    queue_.restoreCompletedTransactions();
    const auto calls = callsAfter(3);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "restore failed no account");
}

TEST_F(PaymentQueueTest, ObserversAreToldOncePerRegistrationUntilRemoved) {
    auto second = std::make_shared<RecordingObserver>();
    queue_.addTransactionObserver(second);
    queue_.addTransactionObserver(second);
    queue_.addPayment(store::Payment::paymentWithProduct(storetest::tipProduct()));
    (void)callsAfter(2);
    EXPECT_EQ(second->log.size(), 4u);

    queue_.removeTransactionObserver(second);
    {
        // A gone observer is dropped, not called.
        auto gone = std::make_shared<RecordingObserver>();
        queue_.addTransactionObserver(gone);
    }
    queue_.addPayment(store::Payment::paymentWithProduct(storetest::tipProduct()));
    EXPECT_EQ(callsAfter(4).size(), 4u);
    EXPECT_EQ(second->log.size(), 4u);
}

TEST_F(PaymentQueueTest, PaymentsAllowedAsTheStoreSays) {
    EXPECT_TRUE(PaymentQueue::canMakePayments());
    store_->setCanMakePayments(false);
    EXPECT_FALSE(PaymentQueue::canMakePayments());
}

}  // namespace
