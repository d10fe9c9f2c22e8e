#include "store/CatalogueStore.h"

#include "core/Bundle.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "core/JSON.h"

namespace store {

CatalogueStore::CatalogueStore(std::vector<Product> products) : products_(std::move(products)) {}

std::shared_ptr<CatalogueStore> CatalogueStore::create(const std::string& path) {
    const auto text = core::FileManager::readFile(path);
    if (!text) return nullptr;
    core::JSONError error;
    const auto document = core::JSON::parse(text.value(), {}, &error);
    if (!document || !(*document)["products"].isArray()) {
        core::Console::log("store catalogue " + path + " is not readable: " + error.message);
        return nullptr;
    }
    std::vector<Product> products;
    const core::Value& entries = (*document)["products"];
    for (size_t i = 0; i < entries.size(); ++i) {
        if (auto product = Product::fromValue(entries[i])) {
            products.push_back(std::move(*product));
        } else {
            core::Console::log("store catalogue " + path + ": entry " + std::to_string(i) +
                               " is not a product");
        }
    }
    return std::make_shared<CatalogueStore>(std::move(products));
}

std::shared_ptr<CatalogueStore> CatalogueStore::fromMainBundle() {
    const auto path = core::Bundle::main()->pathForResource("StoreCatalogue", "json");
    std::shared_ptr<CatalogueStore> store = path ? create(*path) : nullptr;
    return store ? store : std::make_shared<CatalogueStore>(std::vector<Product>{});
}

const Product* CatalogueStore::find(const std::string& identifier) const {
    for (const Product& product : products_)
        if (product.productIdentifier == identifier) return &product;
    return nullptr;
}

void CatalogueStore::fetchProducts(const std::set<std::string>& identifiers,
                                   std::function<void(ProductsAnswer)> reply) {
    ProductsAnswer answer;
    for (const Product& product : products_)
        if (identifiers.count(product.productIdentifier))
            answer.response.products.push_back(product);
    for (const std::string& identifier : identifiers)
        if (!find(identifier)) answer.response.invalidProductIdentifiers.push_back(identifier);
    reply(std::move(answer));
}

void CatalogueStore::completePayment(const Payment& payment,
                                     std::function<void(PaymentOutcome)> reply) {
    if (payment.quantity < 1) {
        reply({PaymentTransactionState::Failed,
               StoreError{StoreError::PaymentInvalid, "The quantity must be at least 1."}});
        return;
    }
    if (find(payment.productIdentifier)) {
        reply({PaymentTransactionState::Purchased, std::nullopt});
        return;
    }
    reply({PaymentTransactionState::Failed,
           StoreError{StoreError::ProductNotAvailable,
                      "The product " + payment.productIdentifier + " is not available."}});
}

void CatalogueStore::restoreCompletedTransactions(std::function<void(RestoreAnswer)> reply) {
    reply({});
}

void CatalogueStore::lookUpItem(std::int64_t itemIdentifier,
                                std::function<void(ItemAnswer)> reply) {
    reply(answerItem(products_, itemIdentifier));
}

}  // namespace store
