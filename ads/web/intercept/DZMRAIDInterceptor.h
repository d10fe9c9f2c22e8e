#pragma once
// The process-wide authority on swapping an ad page's "mraid.js" for the
// SDK's own MRAID script. It keeps the script URL of each variant (banner,
// expanded banner, interstitial; by default the SDK's scripts on the static
// host, under kDefault*Path) and the substitution switch (on by default),
// tells whether a request asks for a page's MRAID script, and picks the
// variant for an ad view. The URL protocol substitutes through it for pages
// whose loads pass through the URL layer; the WK web view injects a swap of
// the page's script element for the URL the ad view asks of it.
//
// Any thread: every field is read and written under one lock, so a getter
// called after a setter on the same thread sees the new value.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/URL.h"
#include "core/URLRequest.h"

namespace ads {

class DZAdView;

class DZMRAIDInterceptor {
public:
    static constexpr std::string_view kScriptName = "mraid.js";
    static constexpr std::string_view kDefaultBannerPath =
        "/mads/static/mad/sdk/native/mraid/v2/mraid_app_banner.js";
    static constexpr std::string_view kDefaultExpandedBannerPath =
        "/mads/static/mad/sdk/native/mraid/v2/mraid_app_expanded_banner.js";
    static constexpr std::string_view kDefaultInterstitialPath =
        "/mads/static/mad/sdk/native/mraid/v2/mraid_app_interstitial.js";

    [[nodiscard]] static std::shared_ptr<DZMRAIDInterceptor> sharedInstance();
    DZMRAIDInterceptor() = default;

    // Whether substitution is on.
    [[nodiscard]] bool canRedirect() const;
    void setEnabled(bool enabled);
    [[nodiscard]] bool enabled() const { return canRedirect(); }

    // nullopt (or empty) leaves the variant without a script: the page's
    // own "mraid.js" then loads unchanged for ad views of that kind.
    void setBannerImplementationURLString(std::optional<std::string> url);
    void setExpandedBannerImplementationURLString(std::optional<std::string> url);
    void setInterstitialImplementationURLString(std::optional<std::string> url);
    // Back to the three default scripts on the static host.
    void restoreDefaultImplementationURLStrings();
    // nullopt for a variant without a script.
    [[nodiscard]] std::optional<std::string> bannerImplementationURLString() const;
    [[nodiscard]] std::optional<std::string> expandedBannerImplementationURLString() const;
    [[nodiscard]] std::optional<std::string> interstitialImplementationURLString() const;

    // Whether the URL's absolute text is one of the three script URLs.
    [[nodiscard]] bool URLisImplementationURL(const core::URL& url) const;
    // A page's MRAID script request: the last path component is "mraid.js"
    // exactly (case counts; query and host do not), and the URL is not one
    // of the SDK's own scripts.
    [[nodiscard]] bool shouldRedirectRequest(const core::URLRequest& request) const;
    // The variant for the ad view, found through its delegate's slot: the
    // interstitial script for an interstitial slot, the banner script for a
    // slot's own ad view, the expanded-banner script otherwise (another ad
    // view of the slot, or no slot); nullopt when that variant has none.
    [[nodiscard]] std::optional<std::string> MRAIDURLStringForAdView(const DZAdView& adView) const;

private:
    // A variant's script: the default one on the static host (whose name
    // is read when asked) until a setter gives another or none.
    struct ScriptURL {
        bool isDefault = true;
        std::optional<std::string> text;
    };

    [[nodiscard]] static std::optional<std::string> resolved(const ScriptURL& url,
                                                             std::string_view defaultPath);

    mutable std::mutex mutex_;
    ScriptURL bannerURL_;
    ScriptURL expandedBannerURL_;
    ScriptURL interstitialURL_;
    bool enabled_ = true;
};

}  // namespace ads
