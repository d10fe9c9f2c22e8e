#include "ads/web/intercept/DZMRAIDInterceptor.h"

#include "ads/foundation/DZServerHosts.h"
#include "ads/web/view/DZAdView.h"
#include "ads/web/view/DZAdViewSlot.h"

namespace ads {

namespace {

std::optional<std::string> nonEmpty(std::optional<std::string> text) {
    if (text && text->empty()) return std::nullopt;
    return text;
}

}  // namespace

std::shared_ptr<DZMRAIDInterceptor> DZMRAIDInterceptor::sharedInstance() {
    static const auto* const shared =
        new std::shared_ptr<DZMRAIDInterceptor>(std::make_shared<DZMRAIDInterceptor>());
    return *shared;
}

bool DZMRAIDInterceptor::canRedirect() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

void DZMRAIDInterceptor::setEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
}

void DZMRAIDInterceptor::setBannerImplementationURLString(std::optional<std::string> url) {
    std::lock_guard lock(mutex_);
    bannerURL_ = {false, nonEmpty(std::move(url))};
}

void DZMRAIDInterceptor::setExpandedBannerImplementationURLString(std::optional<std::string> url) {
    std::lock_guard lock(mutex_);
    expandedBannerURL_ = {false, nonEmpty(std::move(url))};
}

void DZMRAIDInterceptor::setInterstitialImplementationURLString(std::optional<std::string> url) {
    std::lock_guard lock(mutex_);
    interstitialURL_ = {false, nonEmpty(std::move(url))};
}

void DZMRAIDInterceptor::restoreDefaultImplementationURLStrings() {
    std::lock_guard lock(mutex_);
    bannerURL_ = {};
    expandedBannerURL_ = {};
    interstitialURL_ = {};
}

std::optional<std::string> DZMRAIDInterceptor::resolved(const ScriptURL& url,
                                                        std::string_view defaultPath) {
    return url.isDefault ? std::optional(DZServerHosts::staticURLString(defaultPath)) : url.text;
}

std::optional<std::string> DZMRAIDInterceptor::bannerImplementationURLString() const {
    std::lock_guard lock(mutex_);
    return resolved(bannerURL_, kDefaultBannerPath);
}

std::optional<std::string> DZMRAIDInterceptor::expandedBannerImplementationURLString() const {
    std::lock_guard lock(mutex_);
    return resolved(expandedBannerURL_, kDefaultExpandedBannerPath);
}

std::optional<std::string> DZMRAIDInterceptor::interstitialImplementationURLString() const {
    std::lock_guard lock(mutex_);
    return resolved(interstitialURL_, kDefaultInterstitialPath);
}

bool DZMRAIDInterceptor::URLisImplementationURL(const core::URL& url) const {
    const std::string& text = url.absoluteString();
    std::lock_guard lock(mutex_);
    return text == resolved(bannerURL_, kDefaultBannerPath) ||
           text == resolved(expandedBannerURL_, kDefaultExpandedBannerPath) ||
           text == resolved(interstitialURL_, kDefaultInterstitialPath);
}

bool DZMRAIDInterceptor::shouldRedirectRequest(const core::URLRequest& request) const {
    const core::URL& url = request.url();
    return url.lastPathComponent() == kScriptName && !URLisImplementationURL(url);
}

std::optional<std::string> DZMRAIDInterceptor::MRAIDURLStringForAdView(const DZAdView& adView) const {
    const auto delegate = adView.delegate();
    const auto slot = delegate ? delegate->adViewSlot() : nullptr;
    if (slot) {
        if (const auto type = slot->adType(); type && type->isInterstitial())
            return interstitialImplementationURLString();
        if (slot->adView().get() == &adView) return bannerImplementationURLString();
    }
    return expandedBannerImplementationURLString();
}

}  // namespace ads
