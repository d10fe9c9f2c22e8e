#pragma once
// The pre-load pools of interstitials. Interstitials are not built yet: the
// shared cache is created empty and pools nothing; each call of
// sharedInstance() is recorded in DZCallLog. Any thread.

#include <memory>

namespace ads {

class DZInterstitialCache {
public:
    [[nodiscard]] static std::shared_ptr<DZInterstitialCache> sharedInstance();
    DZInterstitialCache() = default;
};

}  // namespace ads
