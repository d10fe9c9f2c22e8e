#include "ads/presentation/iap/DZProductsRequest.h"

#include "store/ProductsRequest.h"

namespace ads {

void DZProductsRequest::requestProductsWithProductIdentifiers(std::set<std::string> identifiers,
                                                              std::shared_ptr<core::Queue> queue,
                                                              DZProductsCompletion completion) {
    if (!queue || !completion) return;
    const auto request = create(std::move(identifiers));
    if (!request) {
        queue->async([completion = std::move(completion)] {
            completion({}, {},
                       DZErrorWithCodeDescription(kDZErrorInvalidArgument, "Couldn't initialize."));
        });
        return;
    }
    request->requestWithQueue(std::move(queue), std::move(completion));
}

std::shared_ptr<DZProductsRequest> DZProductsRequest::create(std::set<std::string> identifiers) {
    auto request = store::ProductsRequest::create(std::move(identifiers));
    if (!request) return nullptr;
    return std::make_shared<DZProductsRequest>(Token{}, std::move(request));
}

DZProductsRequest::DZProductsRequest(Token, std::shared_ptr<store::ProductsRequest> request)
    : productsRequest_(std::move(request)) {}

void DZProductsRequest::requestWithQueue(std::shared_ptr<core::Queue> queue,
                                         DZProductsCompletion completion) {
    completionHandler_ = std::move(completion);
    queue_ = std::move(queue);
    retainedSelf_ = shared_from_this();
    productsRequest_->setDelegate(retainedSelf_);
    productsRequest_->start();
}

void DZProductsRequest::productsRequest(store::ProductsRequest& /*request*/,
                                        const store::ProductsResponse& response) {
    std::map<std::string, store::Product> products;
    for (const auto& product : response.products) products[product.productIdentifier] = product;
    const std::set<std::string> invalid(response.invalidProductIdentifiers.begin(),
                                        response.invalidProductIdentifiers.end());
    finish(products, invalid, std::nullopt);
}

void DZProductsRequest::request(store::ProductsRequest& /*request*/,
                                const store::StoreError& error) {
    Error failure;
    failure.domain = error.domain;
    failure.code = error.code;
    failure.message = error.message;
    finish({}, {}, failure);
}

void DZProductsRequest::finish(const std::map<std::string, store::Product>& products,
                               const std::set<std::string>& invalid,
                               const std::optional<Error>& error) {
    auto self = std::move(retainedSelf_);
    auto completion = std::move(completionHandler_);
    completionHandler_ = nullptr;
    if (completion && queue_)
        queue_->async([completion = std::move(completion), products, invalid, error] {
            completion(products, invalid, error);
        });
}

}  // namespace ads
