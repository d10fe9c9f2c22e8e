#include <gtest/gtest.h>

#include "StoreTesting.h"
#include "store/ProductsRequest.h"

using storetest::CallLog;

namespace {

class RecordingDelegate : public store::ProductsRequestDelegate {
public:
    void productsRequest(store::ProductsRequest&,
                         const store::ProductsResponse& response) override {
        std::string call = "answer " + store::Product::description(response.products);
        for (const auto& invalid : response.invalidProductIdentifiers) call.append(" !" + invalid);
        log.add(call);
    }
    void request(store::ProductsRequest&, const store::StoreError& error) override {
        log.add("failed " + error.description());
    }
    void requestDidFinish(store::ProductsRequest&) override { log.add("finished"); }

    CallLog log;
};

class ProductsRequestTest : public testing::Test {
protected:
    storetest::ScriptedStoreScope store_;
    std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>();
};

TEST_F(ProductsRequestTest, AnswersThenFinishesOnTheCallbackQueueAndAsksOnce) {
    store_->setProducts({storetest::tipProduct()});
    auto request = store::ProductsRequest::create({"veltrogallery_drink_0"});
    request->setDelegate(delegate_);
    request->start();
    request->start();
    // The started request keeps itself alive until answered.
    request.reset();

    ASSERT_TRUE(storetest::waitUntil([&] { return delegate_->log.size() >= 2; }));
    storetest::drainCallbackQueue();
    EXPECT_EQ(delegate_->log.calls(),
              (std::vector<std::string>{"answer [<Product: veltrogallery_drink_0>]", "finished"}));
    EXPECT_TRUE(delegate_->log.allOnCallbackQueue());
    ASSERT_EQ(store_->requestedIdentifiers().size(), 1u);
    EXPECT_EQ(store_->requestedIdentifiers()[0], std::set<std::string>{"veltrogallery_drink_0"});
}

TEST_F(ProductsRequestTest, AFailureIsReportedAloneWithItsPrintedError) {
    store_->setProductsFailure({store::StoreError::CloudServiceNetworkConnectionFailed, "offline"});
    auto request = store::ProductsRequest::create({"veltrogallery_drink_0"});
    request->setDelegate(delegate_);
    request->start();
    ASSERT_TRUE(storetest::waitUntil([&] { return delegate_->log.size() >= 1; }));
    storetest::drainCallbackQueue();
    EXPECT_EQ(delegate_->log.calls(),
              std::vector<std::string>{"failed Error Domain=store.error Code=7 \"offline\""});
}

TEST_F(ProductsRequestTest, CancelledOrDelegateGoneHearsNothing) {
    store_->setProducts({storetest::tipProduct()});
    store_->holdProducts(true);
    auto cancelled = store::ProductsRequest::create({"veltrogallery_drink_0"});
    cancelled->setDelegate(delegate_);
    cancelled->start();

    auto orphan = store::ProductsRequest::create({"veltrogallery_drink_0"});
    {
        auto shortLived = std::make_shared<RecordingDelegate>();
        orphan->setDelegate(shortLived);
    }
    orphan->start();
    ASSERT_TRUE(storetest::waitUntil([&] { return store_->requestedIdentifiers().size() == 2; }));
    cancelled->cancel();
    store_->releaseProducts();
    storetest::drainCallbackQueue();
    EXPECT_EQ(delegate_->log.size(), 0u);
}

}  // namespace
