#pragma once
// The process-wide authority on swapping an ad page's "mraid.js" for the
// SDK's own MRAID script. Substitution is not built yet: the interceptor
// cannot redirect and names no script for any ad view. Each call is
// recorded in DZCallLog ("DZMRAIDInterceptor.canRedirect", ...). It keeps
// what the server constants set: the script URL of each kind of ad (by
// default the SDK's scripts on the static host) and whether substitution is
// enabled (by default yes). Any thread.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace ads {

class DZAdView;

class DZMRAIDInterceptor {
public:
    [[nodiscard]] static std::shared_ptr<DZMRAIDInterceptor> sharedInstance();
    DZMRAIDInterceptor() = default;

    // Whether substitution is on: never yet.
    [[nodiscard]] bool canRedirect() const;
    // The MRAID script URL for the ad view's kind of ad: none yet.
    [[nodiscard]] std::optional<std::string> MRAIDURLStringForAdView(const DZAdView& adView) const;

    static constexpr std::string_view kDefaultBannerPath = "/mads/static/mraid/mraid_banner.js";
    static constexpr std::string_view kDefaultInterstitialPath =
        "/mads/static/mraid/mraid_interstitial.js";
    static constexpr std::string_view kDefaultExpandedBannerPath =
        "/mads/static/mraid/mraid_expanded_banner.js";

    // nullopt (or empty) restores the default.
    void setBannerImplementationURLString(std::optional<std::string> url);
    void setInterstitialImplementationURLString(std::optional<std::string> url);
    void setExpandedBannerImplementationURLString(std::optional<std::string> url);
    [[nodiscard]] std::string bannerImplementationURLString() const;
    [[nodiscard]] std::string interstitialImplementationURLString() const;
    [[nodiscard]] std::string expandedBannerImplementationURLString() const;
    void setEnabled(bool enabled);
    [[nodiscard]] bool enabled() const;

private:
    mutable std::mutex mutex_;
    std::optional<std::string> bannerURL_;
    std::optional<std::string> interstitialURL_;
    std::optional<std::string> expandedBannerURL_;
    bool enabled_ = true;
};

}  // namespace ads
