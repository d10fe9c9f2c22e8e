#pragma once
// A parsed mediation response: the ad unit it belongs to, the settings
// (refresh, network timeouts, banner animation, impression definition,
// the response's ping templates, rewards), the query data echoed in every
// mediation ping, the default sizes and the networks in waterfall order.
//
// Timeouts start from the server constants "default_ad_network_timeout"
// and "default_final_ad_network_timeout" (10 s each when absent or not a
// usable number of seconds), read once when the configuration is made; the
// response's "ad_network_timeout_millis" overrides both.
//
// Made once per response; only the few setters below change it after.
// Main thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ads/core/request/DZError.h"
#include "core/Value.h"

namespace ads {

class DZMAdNetworkConfig;

class DZMConfig {
public:
    // Refresh intervals at or above this many seconds mean no refresh.
    static constexpr double kRefreshBound = 30000.0;
    static constexpr double kDefaultAdNetworkTimeout = 10.0;
    static constexpr std::int64_t kDefaultBannerAnimationType = 8;
    static constexpr std::string_view kAdNetworkTimeoutKey =
        "/dozuza/ads/default_ad_network_timeout";
    static constexpr std::string_view kFinalAdNetworkTimeoutKey =
        "/dozuza/ads/default_final_ad_network_timeout";

    // nullptr and the error when "ad_networks" is not an array (SDK error 7)
    // or a network entry is unusable; networks without an adapter stay in
    // the list and their error is only logged.
    [[nodiscard]] static std::shared_ptr<DZMConfig>
    initWithAppKey(std::string appKey, const core::Value& configDict, Error* error);

    // "<DZMConfig: 0x...>:\nqdata:... refresh:... transition:... ad_networks:(...)".
    [[nodiscard]] std::string description() const;

    [[nodiscard]] const std::string& appKey() const { return appKey_; }
    void setAppKey(std::string appKey) { appKey_ = std::move(appKey); }
    [[nodiscard]] const std::vector<std::shared_ptr<DZMAdNetworkConfig>>& adNetworkConfigs() const {
        return adNetworkConfigs_;
    }
    [[nodiscard]] double refreshInterval() const { return refreshInterval_; }
    void setRefreshInterval(double seconds) { refreshInterval_ = seconds; }
    [[nodiscard]] std::int64_t bannerAnimationType() const { return bannerAnimationType_; }
    void setBannerAnimationType(std::int64_t type) { bannerAnimationType_ = type; }
    [[nodiscard]] double adNetworkTimeout() const { return adNetworkTimeout_; }
    [[nodiscard]] double finalAdNetworkTimeout() const { return finalAdNetworkTimeout_; }
    // 0: an impression when the ad has loaded; 1: when it is first seen.
    [[nodiscard]] std::int64_t impressionDefinition() const { return impressionDefinition_; }
    [[nodiscard]] bool allowPublisherRenderedAttribution() const {
        return allowPublisherRenderedAttribution_;
    }
    // nullopt when the response has none (then the default template is
    // used); an empty list sends nothing.
    [[nodiscard]] const std::optional<core::Array>& impressionURLs() const {
        return impressionURLs_;
    }
    void setImpressionURLs(std::optional<core::Array> urls) { impressionURLs_ = std::move(urls); }
    [[nodiscard]] const std::optional<core::Array>& clickURLs() const { return clickURLs_; }
    void setClickURLs(std::optional<core::Array> urls) { clickURLs_ = std::move(urls); }
    [[nodiscard]] const std::optional<core::Array>& noFillURLs() const { return noFillURLs_; }
    void setNoFillURLs(std::optional<core::Array> urls) { noFillURLs_ = std::move(urls); }
    // "qdata" as the response gave it.
    [[nodiscard]] const std::optional<core::Value>& qdata() const { return qdata_; }
    void setQdata(std::optional<core::Value> qdata) { qdata_ = std::move(qdata); }
    // The query data as the pings carry it (a text as it is, a number in
    // decimal, other values as JSON).
    [[nodiscard]] std::optional<std::string> qdataString() const;
    [[nodiscard]] const std::optional<core::Array>& rewards() const { return rewards_; }
    void setRewards(std::optional<core::Array> rewards) { rewards_ = std::move(rewards); }
    // "default_slot_sz" and "default_ad_sz" as given.
    [[nodiscard]] const std::optional<core::Value>& defaultSlotSize() const {
        return defaultSlotSize_;
    }
    [[nodiscard]] const std::optional<core::Value>& defaultAdSize() const { return defaultAdSize_; }

private:
    explicit DZMConfig(std::string appKey);
    void applySettings(const core::Dictionary& settings);
    // Appends the networks; false with the error of an unusable entry.
    [[nodiscard]] bool readNetworks(const core::Array& networks, Error* error);

    std::string appKey_;
    std::vector<std::shared_ptr<DZMAdNetworkConfig>> adNetworkConfigs_;
    double refreshInterval_ = 0;
    std::int64_t bannerAnimationType_ = kDefaultBannerAnimationType;
    double adNetworkTimeout_ = kDefaultAdNetworkTimeout;
    double finalAdNetworkTimeout_ = kDefaultAdNetworkTimeout;
    std::int64_t impressionDefinition_ = 0;
    bool allowPublisherRenderedAttribution_ = false;
    std::optional<core::Array> impressionURLs_;
    std::optional<core::Array> clickURLs_;
    std::optional<core::Array> noFillURLs_;
    std::optional<core::Value> qdata_;
    std::optional<core::Array> rewards_;
    std::optional<core::Value> defaultSlotSize_;
    std::optional<core::Value> defaultAdSize_;
};

// The text a value stands for in a ping: a text as it is, a number in
// decimal, nothing for null, anything else as its JSON.
[[nodiscard]] std::optional<std::string> DZMValueText(const core::Value& value);

}  // namespace ads
