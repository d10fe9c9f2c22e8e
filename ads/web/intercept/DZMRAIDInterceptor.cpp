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

std::string orDefault(const std::optional<std::string>& url, std::string_view path) {
    return url ? *url : DZServerHosts::staticURLString(path);
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
    bannerURL_ = nonEmpty(std::move(url));
}

void DZMRAIDInterceptor::setExpandedBannerImplementationURLString(std::optional<std::string> url) {
    std::lock_guard lock(mutex_);
    expandedBannerURL_ = nonEmpty(std::move(url));
}

void DZMRAIDInterceptor::setInterstitialImplementationURLString(std::optional<std::string> url) {
    std::lock_guard lock(mutex_);
    interstitialURL_ = nonEmpty(std::move(url));
}

std::string DZMRAIDInterceptor::bannerImplementationURLString() const {
    std::lock_guard lock(mutex_);
    return orDefault(bannerURL_, kDefaultBannerPath);
}

std::string DZMRAIDInterceptor::expandedBannerImplementationURLString() const {
    std::lock_guard lock(mutex_);
    return orDefault(expandedBannerURL_, kDefaultExpandedBannerPath);
}

std::string DZMRAIDInterceptor::interstitialImplementationURLString() const {
    std::lock_guard lock(mutex_);
    return orDefault(interstitialURL_, kDefaultInterstitialPath);
}

bool DZMRAIDInterceptor::URLisImplementationURL(const core::URL& url) const {
    const std::string& text = url.absoluteString();
    std::lock_guard lock(mutex_);
    return text == orDefault(bannerURL_, kDefaultBannerPath) ||
           text == orDefault(expandedBannerURL_, kDefaultExpandedBannerPath) ||
           text == orDefault(interstitialURL_, kDefaultInterstitialPath);
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
