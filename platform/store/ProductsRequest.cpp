#include "store/ProductsRequest.h"

#include "store/StoreBackend.h"

namespace store {

std::shared_ptr<ProductsRequest> ProductsRequest::create(std::set<std::string> productIdentifiers) {
    return std::make_shared<ProductsRequest>(Token{}, std::move(productIdentifiers));
}

ProductsRequest::ProductsRequest(Token, std::set<std::string> productIdentifiers)
    : identifiers_(std::move(productIdentifiers)) {}

std::shared_ptr<ProductsRequestDelegate> ProductsRequest::delegate() const {
    const std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void ProductsRequest::setDelegate(const std::shared_ptr<ProductsRequestDelegate>& delegate) {
    const std::lock_guard lock(mutex_);
    delegate_ = delegate;
}

void ProductsRequest::start() {
    {
        const std::lock_guard lock(mutex_);
        if (started_) return;
        started_ = true;
    }
    auto self = shared_from_this();
    StoreBackend::callbackQueue()->async([self] {
        StoreBackend::current()->fetchProducts(self->identifiers_, [self](ProductsAnswer answer) {
            StoreBackend::callbackQueue()->async(
                [self, answer = std::move(answer)] { self->deliver(answer); });
        });
    });
}

void ProductsRequest::cancel() {
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
}

void ProductsRequest::deliver(const ProductsAnswer& answer) {
    std::shared_ptr<ProductsRequestDelegate> delegate;
    {
        const std::lock_guard lock(mutex_);
        if (cancelled_) return;
        delegate = delegate_.lock();
    }
    if (!delegate) return;
    if (answer.error) {
        delegate->request(*this, *answer.error);
        return;
    }
    delegate->productsRequest(*this, answer.response);
    delegate->requestDidFinish(*this);
}

}  // namespace store
