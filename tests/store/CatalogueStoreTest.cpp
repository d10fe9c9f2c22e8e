#include <gtest/gtest.h>

#include <filesystem>

#include "StoreTesting.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "store/CatalogueStore.h"
#include "support/TestEnvironment.h"

using store::CatalogueStore;

namespace {

class CatalogueStoreTest : public testing::Test {
protected:
    [[nodiscard]] std::string write(const std::string& name, const std::string& text) const {
        const std::string path = (std::filesystem::path(testsupport::testHome()) / name).string();
        EXPECT_TRUE(core::FileManager::writeAtomically(path, text));
        return path;
    }

    template <typename Answer, typename Call>
    [[nodiscard]] static Answer answerOf(Call call) {
        Answer answer;
        call([&](Answer a) { answer = std::move(a); });
        return answer;
    }
};

TEST_F(CatalogueStoreTest, TheBundleSellsTheTip) {
    const auto catalogue = CatalogueStore::fromMainBundle();
    ASSERT_EQ(catalogue->products().size(), 1u);
    const store::Product& tip = catalogue->products()[0];
    EXPECT_EQ(tip.productIdentifier, "veltrogallery_drink_0");
    EXPECT_FALSE(tip.localizedTitle.empty());
    EXPECT_EQ(tip.price, "6.00");
    EXPECT_EQ(tip.priceLocale, "zh_CN@currency=CNY");
}

TEST_F(CatalogueStoreTest, AnswersWhatItKnowsAndNamesTheRest) {
    const core::Console::Capture console;
    const auto catalogue = CatalogueStore::create(write("catalogue.json", R"({"products": [
        {"productIdentifier": "a", "localizedTitle": "A", "price": 0.99, "priceLocale": "en_US"},
        {"productIdentifier": "b", "localizedTitle": "B", "price": "-1", "priceLocale": "en_US"},
        {"productIdentifier": "c", "localizedTitle": "C", "price": "1.", "priceLocale": "en_US"},
        {"localizedTitle": "D", "price": "1", "priceLocale": "en_US"},
        "e"]})"));
    ASSERT_TRUE(catalogue);
    ASSERT_EQ(catalogue->products().size(), 1u);
    EXPECT_EQ(catalogue->products()[0].price, "0.99");
    EXPECT_TRUE(console.contains("entry 4 is not a product"));

    const auto answer = answerOf<store::ProductsAnswer>([&](auto reply) {
        catalogue->fetchProducts({"a", "b", "z"}, reply);
    });
    EXPECT_FALSE(answer.error);
    ASSERT_EQ(answer.response.products.size(), 1u);
    EXPECT_EQ(answer.response.products[0].productIdentifier, "a");
    EXPECT_EQ(answer.response.invalidProductIdentifiers, (std::vector<std::string>{"b", "z"}));

    const auto bought = answerOf<store::PaymentOutcome>([&](auto reply) {
        catalogue->completePayment({"a", 1}, reply);
    });
    EXPECT_EQ(bought.state, store::PaymentTransactionState::Purchased);
    const auto unknown = answerOf<store::PaymentOutcome>([&](auto reply) {
        catalogue->completePayment({"z", 1}, reply);
    });
    EXPECT_EQ(unknown.state, store::PaymentTransactionState::Failed);
    ASSERT_TRUE(unknown.error);
    EXPECT_EQ(unknown.error->code, store::StoreError::ProductNotAvailable);
    const auto none = answerOf<store::PaymentOutcome>([&](auto reply) {
        catalogue->completePayment({"a", 0}, reply);
    });
    ASSERT_TRUE(none.error);
    EXPECT_EQ(none.error->code, store::StoreError::PaymentInvalid);
}

TEST_F(CatalogueStoreTest, StorePagesAreFoundByItemIdentifier) {
    // The bundle's tip has no store page.
    const auto bundle = CatalogueStore::fromMainBundle();
    ASSERT_FALSE(bundle->products().empty());
    EXPECT_FALSE(bundle->products()[0].itemIdentifier);
    const auto none =
        answerOf<store::ItemAnswer>([&](auto reply) { bundle->lookUpItem(1, reply); });
    EXPECT_FALSE(none.product);
    ASSERT_TRUE(none.error);
    EXPECT_EQ(none.error->code, store::StoreError::ProductNotAvailable);

    const auto catalogue = CatalogueStore::create(write("items.json", R"({"products": [
        {"productIdentifier": "a", "localizedTitle": "A", "price": "1", "priceLocale": "en_US",
         "itemIdentifier": 42},
        {"productIdentifier": "b", "localizedTitle": "B", "price": "1", "priceLocale": "en_US",
         "itemIdentifier": "43"},
        {"productIdentifier": "c", "localizedTitle": "C", "price": "1", "priceLocale": "en_US",
         "itemIdentifier": 44.5},
        {"productIdentifier": "d", "localizedTitle": "D", "price": "1", "priceLocale": "en_US",
         "itemIdentifier": 0},
        {"productIdentifier": "e", "localizedTitle": "E", "price": "1", "priceLocale": "en_US",
         "itemIdentifier": -7},
        {"productIdentifier": "f", "localizedTitle": "F", "price": "1", "priceLocale": "en_US"}]})"));
    ASSERT_TRUE(catalogue);
    // Only an entry without an item or with a positive integer one is a product.
    ASSERT_EQ(catalogue->products().size(), 2u);
    EXPECT_EQ(catalogue->products()[0].itemIdentifier, 42);
    EXPECT_EQ(catalogue->products()[1].itemIdentifier, std::nullopt);
    const auto found =
        answerOf<store::ItemAnswer>([&](auto reply) { catalogue->lookUpItem(42, reply); });
    ASSERT_TRUE(found.product);
    EXPECT_EQ(found.product->productIdentifier, "a");
    EXPECT_FALSE(found.error);
    EXPECT_FALSE(
        answerOf<store::ItemAnswer>([&](auto reply) { catalogue->lookUpItem(43, reply); }).product);
}

TEST_F(CatalogueStoreTest, PricesKnowTheirCurrency) {
    store::Product product = storetest::tipProduct();
    EXPECT_EQ(product.currencyCode(), "CNY");
    EXPECT_EQ(product.localizedPrice(), "¥6.00");
    product.priceLocale = "en_US";
    product.price = "0.99";
    EXPECT_EQ(product.currencyCode(), "USD");
    EXPECT_EQ(product.localizedPrice(), "$0.99");
    product.priceLocale = "";
    EXPECT_EQ(product.currencyCode(), "");
    EXPECT_EQ(product.localizedPrice(), std::nullopt);
}

TEST_F(CatalogueStoreTest, AFileThatIsNoCatalogueGivesNothing) {
    EXPECT_FALSE(CatalogueStore::create(testsupport::testHome() + "/none.json"));
    EXPECT_FALSE(CatalogueStore::create(write("broken.json", "{\"products\": [")));
    EXPECT_FALSE(CatalogueStore::create(write("shape.json", "{\"products\": {}}")));
}

}  // namespace
