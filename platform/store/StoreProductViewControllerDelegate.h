#pragma once
// Told when the user has finished with a store page (its "Done" button), on
// the main thread. Without a delegate the page dismisses itself, which is
// also what the default body does.

namespace store {

class StoreProductViewController;

class StoreProductViewControllerDelegate {
public:
    virtual ~StoreProductViewControllerDelegate() = default;

    virtual void productViewControllerDidFinish(StoreProductViewController& controller);
};

}  // namespace store
