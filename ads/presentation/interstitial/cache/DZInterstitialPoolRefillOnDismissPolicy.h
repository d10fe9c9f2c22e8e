#pragma once
// Fills its pools after a full-screen ad was dismissed anywhere in the app
// ("kAdModalViewControllerDidDismissFullScreen" from any poster), and keeps
// filling a pool while its entries are added, up to its depth. A new pool
// stays empty until then. Any thread.

#include <memory>

#include "ads/presentation/interstitial/cache/DZInterstitialPoolGroupRefillPolicy.h"
#include "core/NotificationCenter.h"

namespace ads {

class DZInterstitialPoolRefillOnDismissPolicy : public DZInterstitialPoolGroupRefillPolicy {
public:
    [[nodiscard]] static std::shared_ptr<DZInterstitialPoolRefillOnDismissPolicy> create();
    ~DZInterstitialPoolRefillOnDismissPolicy() override;

    void interstitialPoolDidAddEntry(const std::shared_ptr<DZInterstitialPool>& pool) override;

private:
    DZInterstitialPoolRefillOnDismissPolicy() = default;

    core::NotificationCenter::Token dismissalObserver_;
};

}  // namespace ads
