#pragma once
// The delegate of every store product page the click opener shows: "Done"
// takes the page away, through its overlay proxy when it has one, else by
// having its presenter dismiss it. Stateless and shared. Main thread.

#include <memory>

#include "store/StoreProductViewControllerDelegate.h"

namespace ads {

class DZSKStoreProductViewControllerDelegate : public store::StoreProductViewControllerDelegate {
public:
    [[nodiscard]] static std::shared_ptr<DZSKStoreProductViewControllerDelegate> sharedInstance();

    void productViewControllerDidFinish(store::StoreProductViewController& controller) override;
};

}  // namespace ads
