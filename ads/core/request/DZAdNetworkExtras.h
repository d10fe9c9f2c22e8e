#pragma once
// Extra settings a publisher attaches to a request for one ad network. A
// request keeps at most one extras object per class, keyed by className().
// Extras objects are shared between a request and its copies, so they are
// not changed once registered.

#include <memory>
#include <string>

namespace ads {

class DZAdNetworkExtras {
public:
    virtual ~DZAdNetworkExtras() = default;
    [[nodiscard]] virtual std::string className() const = 0;
};

}  // namespace ads
