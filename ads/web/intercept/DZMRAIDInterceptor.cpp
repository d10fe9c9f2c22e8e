#include "ads/web/intercept/DZMRAIDInterceptor.h"

#include "ads/foundation/DZCallLog.h"
#include "ads/foundation/DZServerHosts.h"

namespace ads {

std::shared_ptr<DZMRAIDInterceptor> DZMRAIDInterceptor::sharedInstance() {
    return DZSeamSharedInstance<DZMRAIDInterceptor>("DZMRAIDInterceptor");
}

bool DZMRAIDInterceptor::canRedirect() const {
    DZCallLog::record("DZMRAIDInterceptor.canRedirect");
    return false;
}

std::optional<std::string> DZMRAIDInterceptor::MRAIDURLStringForAdView(const DZAdView&) const {
    DZCallLog::record("DZMRAIDInterceptor.MRAIDURLStringForAdView:");
    return std::nullopt;
}

namespace {

std::optional<std::string> nonEmpty(std::optional<std::string> text) {
    if (text && text->empty()) return std::nullopt;
    return text;
}

}  // namespace

void DZMRAIDInterceptor::setBannerImplementationURLString(std::optional<std::string> url) {
    std::lock_guard lock(mutex_);
    bannerURL_ = nonEmpty(std::move(url));
}

void DZMRAIDInterceptor::setInterstitialImplementationURLString(std::optional<std::string> url) {
    std::lock_guard lock(mutex_);
    interstitialURL_ = nonEmpty(std::move(url));
}

void DZMRAIDInterceptor::setExpandedBannerImplementationURLString(std::optional<std::string> url) {
    std::lock_guard lock(mutex_);
    expandedBannerURL_ = nonEmpty(std::move(url));
}

std::string DZMRAIDInterceptor::bannerImplementationURLString() const {
    std::lock_guard lock(mutex_);
    return bannerURL_.value_or(DZServerHosts::staticURLString(kDefaultBannerPath));
}

std::string DZMRAIDInterceptor::interstitialImplementationURLString() const {
    std::lock_guard lock(mutex_);
    return interstitialURL_.value_or(DZServerHosts::staticURLString(kDefaultInterstitialPath));
}

std::string DZMRAIDInterceptor::expandedBannerImplementationURLString() const {
    std::lock_guard lock(mutex_);
    return expandedBannerURL_.value_or(DZServerHosts::staticURLString(kDefaultExpandedBannerPath));
}

void DZMRAIDInterceptor::setEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
}

bool DZMRAIDInterceptor::enabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

}  // namespace ads
