#pragma once
// The link between a mediation waterfall and the network that filled it:
// which waterfall it reports to and which adapter class serves it. The
// adapters and their reports join here with the mediation subsystem; until
// then no network fills, so a connector is only ever made by hand.
// Main thread.

#include <memory>
#include <optional>
#include <string>

#include "core/NotificationCenter.h"
#include "core/Value.h"

namespace ads {

class DZMAdManager;

class DZMAdNetworkConnector {
public:
    static constexpr const char* kDidRecordManualImpressionNotification =
        "DZMAdNetworkConnectorDidRecordManualImpressionNotification";

    explicit DZMAdNetworkConnector(std::optional<std::string> adapterClassName)
        : adapterClassName_(std::move(adapterClassName)) {}

    [[nodiscard]] std::shared_ptr<DZMAdManager> adManager() const { return adManager_.lock(); }
    void setAdManager(std::weak_ptr<DZMAdManager> manager) { adManager_ = std::move(manager); }
    // The class name of the network configuration's adapter; nullopt when
    // none is usable.
    [[nodiscard]] const std::optional<std::string>& adapterClassName() const {
        return adapterClassName_;
    }

    // The publisher recorded an impression of the mediated ad by hand:
    // posted with this connector as object and its adapter's class name
    // under "adapter", for the adapter that reports it.
    void reportManualImpression() const {
        core::NotificationCenter::defaultCenter().post(
            kDidRecordManualImpressionNotification, this,
            core::Value(core::Dictionary{
                {"adapter", adapterClassName_ ? core::Value(*adapterClassName_) : core::Value()}}));
    }

private:
    std::weak_ptr<DZMAdManager> adManager_;
    const std::optional<std::string> adapterClassName_;
};

}  // namespace ads
