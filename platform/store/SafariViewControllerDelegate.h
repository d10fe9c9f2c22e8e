#pragma once
// Told when the user has finished with an in-app browser (its "Done"
// button), on the main thread.

namespace store {

class SafariViewController;

class SafariViewControllerDelegate {
public:
    virtual ~SafariViewControllerDelegate() = default;

    virtual void safariViewControllerDidFinish(SafariViewController& /*controller*/) {}
};

}  // namespace store
