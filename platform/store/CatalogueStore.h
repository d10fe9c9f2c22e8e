#pragma once
// The store of this platform: answers products requests from a catalogue
// file and completes payments locally. The catalogue is a JSON document
// {"products": [entry, ...]} with entries as Product::fromValue reads them;
// malformed entries are left out with a console line. Payments for a
// catalogued product end purchased, others failed (product not available);
// products are consumable, so a restore brings nothing back. A store page
// is found by the item identifier of a catalogued product; an item no
// product carries fails (product not available).
//
// Immutable once made; safe from any thread.

#include <memory>
#include <string>
#include <vector>

#include "store/StoreBackend.h"

namespace store {

class CatalogueStore : public StoreBackend {
public:
    explicit CatalogueStore(std::vector<Product> products);

    // nullptr when the file is missing or is not a catalogue.
    [[nodiscard]] static std::shared_ptr<CatalogueStore> create(const std::string& path);
    // The main bundle's StoreCatalogue.json; an empty catalogue without one.
    [[nodiscard]] static std::shared_ptr<CatalogueStore> fromMainBundle();

    [[nodiscard]] const std::vector<Product>& products() const { return products_; }

    void fetchProducts(const std::set<std::string>& identifiers,
                       std::function<void(ProductsAnswer)> reply) override;
    [[nodiscard]] bool canMakePayments() const override { return true; }
    void completePayment(const Payment& payment,
                         std::function<void(PaymentOutcome)> reply) override;
    void restoreCompletedTransactions(std::function<void(RestoreAnswer)> reply) override;
    void lookUpItem(std::int64_t itemIdentifier, std::function<void(ItemAnswer)> reply) override;

private:
    [[nodiscard]] const Product* find(const std::string& identifier) const;

    const std::vector<Product> products_;
};

}  // namespace store
