// Purchases reported as conversion pings to the local ad server: which
// transactions count, the price and currency of products fetched first or
// not found, the floored price, the classes that keep reporting off, and
// the retry of a failed ping.

#include "ads/presentation/iap/DZInAppPurchaseTransactionReporter.h"

#include <gtest/gtest.h>

#include "ads/mediation/core/DZMClassRegistry.h"
#include "ads/presentation/iap/DZInAppPurchaseProductCache.h"
#include "ads/web/net/DZPinger.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "fixtures/AdServer.h"
#include "store/PaymentQueue.h"
#include "store/StoreTesting.h"

namespace {

using ads::DZInAppPurchaseTransactionReporter;

constexpr const char* kPath = "/adpage/conversion/";

store::PaymentTransaction transaction(std::string id, store::PaymentTransactionState state,
                                      std::string product = "veltrogallery_drink_0",
                                      long quantity = 1) {
    store::PaymentTransaction t;
    t.transactionIdentifier = std::move(id);
    t.payment = {std::move(product), quantity};
    t.transactionState = state;
    t.transactionDate = state == store::PaymentTransactionState::Purchased ? 1700000000.5 : 0;
    return t;
}

class DZInAppPurchaseService : public testing::Test {
protected:
    void SetUp() override {
        const auto defaults = core::UserDefaults::standard();
        defaults->setObject(DZInAppPurchaseTransactionReporter::kReportFormatKey,
                            server.urlString(kPath) +
                                "?sku=@sku@&price=@price@&currency_code=@currencycode@"
                                "&quantity=@quantity@&transaction_id=@transactionid@"
                                "&timestamp=@timestamp@&iap_source=@iapsource@");
        defaults->setBool(std::string(ads::DZPinger::kEnableWebViewPingsKey), false);
        scripted->setProducts({storetest::tipProduct()});
        reporter->enableReporting();
    }
    void TearDown() override {
        reporter->disableReporting();
        const auto defaults = core::UserDefaults::standard();
        defaults->removeObjectForKey(DZInAppPurchaseTransactionReporter::kReportFormatKey);
        defaults->removeObjectForKey(DZInAppPurchaseTransactionReporter::kEquivalentClassesKey);
        defaults->removeObjectForKey(ads::DZPinger::kEnableWebViewPingsKey);
        const auto pinger = ads::DZPinger::sharedInstance();
        ASSERT_TRUE(
            core::RunLoop::main().runUntil([&] { return pinger->pingsInFlight() == 0; }, 5));
    }
    void update(const std::vector<store::PaymentTransaction>& transactions) {
        reporter->paymentQueue(store::PaymentQueue::defaultQueue(), transactions);
    }
    [[nodiscard]] bool waitForPings(size_t count) const {
        return core::RunLoop::main().runUntil(
            [&] { return server.requestsTo(kPath).size() >= count; }, 10);
    }
    [[nodiscard]] std::vector<std::string> queries() const {
        std::vector<std::string> found;
        for (const auto& request : server.requestsTo(kPath)) found.push_back(request.rawQuery);
        return found;
    }

    fixtures::AdServer server;
    storetest::ScriptedStoreScope scripted;
    std::shared_ptr<DZInAppPurchaseTransactionReporter> reporter =
        std::make_shared<DZInAppPurchaseTransactionReporter>(
            std::make_shared<ads::DZInAppPurchaseProductCache>());
};

TEST_F(DZInAppPurchaseService, OnlyPurchasesAreReportedWithTheFetchedPrice) {
    update(
        {transaction("t1", store::PaymentTransactionState::Purchased),
         transaction("t2", store::PaymentTransactionState::Restored),
         transaction("t3", store::PaymentTransactionState::Failed),
         transaction("t4", store::PaymentTransactionState::Purchased, "veltrogallery_drink_0", 3)});
    ASSERT_TRUE(waitForPings(2));
    // The two pings travel side by side: the server may see either first.
    auto pings = queries();
    ASSERT_EQ(pings.size(), 2u);
    if (pings[0].find("transaction_id=t1") == std::string::npos) std::swap(pings[0], pings[1]);
    EXPECT_EQ(pings[0], "sku=veltrogallery_drink_0&price=6&currency_code=CNY&quantity=1"
                        "&transaction_id=t1&timestamp=1700000000.500000&iap_source=auto");
    EXPECT_NE(pings[1].find("quantity=3&transaction_id=t4"), std::string::npos);
    EXPECT_EQ(scripted->requestedIdentifiers().size(), 1u) << "the product is fetched once";

    update({transaction("t5", store::PaymentTransactionState::Restored),
            transaction("t6", store::PaymentTransactionState::Purchasing)});
    update({transaction("t7", store::PaymentTransactionState::Purchased)});
    ASSERT_TRUE(waitForPings(3));
    EXPECT_NE(queries()[2].find("transaction_id=t7"), std::string::npos);
    EXPECT_EQ(scripted->requestedIdentifiers().size(), 1u) << "known by then";
}

TEST_F(DZInAppPurchaseService, AFailedFetchLeavesThePriceOut) {
    scripted->setProductsFailure(store::StoreError{store::StoreError::Unknown, "offline"});
    store::PaymentTransaction missing = transaction("", store::PaymentTransactionState::Purchased);
    missing.transactionDate = 0;
    update({missing});
    ASSERT_TRUE(waitForPings(1));
    EXPECT_EQ(queries()[0], "sku=veltrogallery_drink_0&price=&currency_code=&quantity=1"
                            "&transaction_id=missing&timestamp=missing&iap_source=auto");
}

TEST_F(DZInAppPurchaseService, ValuesAreEscapedSoNoneCanAddAParameter) {
    update({transaction("t&quantity=99", store::PaymentTransactionState::Purchased,
                        "pack&price=0 /?#@x@")});
    ASSERT_TRUE(waitForPings(1));
    const auto sent = server.requestsTo(kPath);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].rawQuery,
              "sku=pack%26price%3D0%20%2F%3F%23%40x%40&price=&currency_code=&quantity=1"
              "&transaction_id=t%26quantity%3D99&timestamp=1700000000.500000&iap_source=auto");
    EXPECT_EQ(sent[0].queryValue("sku"), "pack&price=0 /?#@x@");
    EXPECT_EQ(sent[0].queryValue("quantity"), "1");
}

TEST_F(DZInAppPurchaseService, AFailedPingIsRetriedWithTheSuffix) {
    server.script(kPath, {fixtures::LoopbackResponse::empty(500)});
    update({transaction("t1", store::PaymentTransactionState::Purchased)});
    ASSERT_TRUE(waitForPings(1));
    const auto pinger = ads::DZPinger::sharedInstance();
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return pinger->pingsInFlight() == 0; }, 5));
    pinger->pingRetryURLs();
    ASSERT_TRUE(waitForPings(2));
    const auto pings = queries();
    EXPECT_EQ(pings[1], pings[0] + "&retry=1");
}

TEST_F(DZInAppPurchaseService, ReportingOffSendsNothing) {
    reporter->disableReporting();
    EXPECT_FALSE(reporter->shouldBeEnabled());
    reporter->enableReporting();
    EXPECT_FALSE(reporter->reportingEnabled());
    update({transaction("t1", store::PaymentTransactionState::Purchased)});
    store::PaymentQueue::defaultQueue().addPayment({"veltrogallery_drink_0", 1});
    storetest::drainCallbackQueue();
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [] { return ads::DZPinger::sharedInstance()->pingsInFlight() == 0; }, 5));
    EXPECT_TRUE(server.requestsTo(kPath).empty());
}

TEST_F(DZInAppPurchaseService, APaymentThroughTheQueueIsReported) {
    store::PaymentQueue::defaultQueue().addPayment({"veltrogallery_drink_0", 2});
    ASSERT_TRUE(waitForPings(1));
    EXPECT_NE(queries()[0].find("price=6&currency_code=CNY&quantity=2"), std::string::npos);
}

TEST(DZInAppPurchaseTransactionReporter, EquivalentClassesKeepReportingOff) {
    DZInAppPurchaseTransactionReporter reporter;
    EXPECT_TRUE(reporter.shouldBeEnabled()) << "GMRMeasurement is not in the process";
    const auto defaults = core::UserDefaults::standard();
    defaults->setObject(DZInAppPurchaseTransactionReporter::kEquivalentClassesKey,
                        core::Array{"NoSuchClass", "TestMeasurementKit"});
    EXPECT_TRUE(reporter.shouldBeEnabled());
    ads::DZMClassDescription present;
    present.name = "TestMeasurementKit";
    ads::DZMClassRegistry::registerClass(present);
    EXPECT_FALSE(reporter.shouldBeEnabled());
    ads::DZMClassRegistry::shared().unregisterClass("TestMeasurementKit");
    defaults->removeObjectForKey(DZInAppPurchaseTransactionReporter::kEquivalentClassesKey);
}

TEST(DZInAppPurchaseTransactionReporter, PricesKeepSixDecimalsFlooredTowardNegative) {
    EXPECT_EQ(DZInAppPurchaseTransactionReporter::formattedPrice("1.2345678"), "1.234567");
    EXPECT_EQ(DZInAppPurchaseTransactionReporter::formattedPrice("-1.2345678"), "-1.234568");
    EXPECT_EQ(DZInAppPurchaseTransactionReporter::formattedPrice("6.00"), "6");
    EXPECT_EQ(DZInAppPurchaseTransactionReporter::formattedPrice("0.5"), ".5");
    EXPECT_EQ(DZInAppPurchaseTransactionReporter::formattedPrice("12.0000009"), "12");
    EXPECT_EQ(DZInAppPurchaseTransactionReporter::formattedPrice("six"), std::nullopt);
}

}  // namespace
