#include "ads/mediation/native/DZMAdNetworkConnectorNativeExpressAd.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "ads/foundation/DZJSONAdditions.h"
#include "ads/mediation/core/DZMAdManager.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/mediation/core/DZMediatedNativeAdNotificationSource.h"
#include "ads/mediation/core/DZMediatedNativeAdProtocol.h"
#include "ads/mediation/native/DZMAdNetworkConnectorNativeAd.h"
#include "ads/mediation/native/DZNativeExpressTemplateAdViewDelegate.h"
#include "ads/native/DZNativeAdImage.h"
#include "ads/web/view/DZAdView.h"
#include "core/URL.h"

namespace ads {

namespace {

void setText(core::Dictionary& assets, const char* key, const std::optional<std::string>& text) {
    if (text) assets.set(key, *text);
}

void setImageURL(core::Dictionary& assets, const char* key,
                 const std::shared_ptr<DZNativeAdImage>& image) {
    if (image && image->hasImageURL()) assets.set(key, image->imageURL().absoluteString());
}

// The shortest text that reads back as the number: 4.5, 4, 3.75.
std::string decimalText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// The parts every kind shares, added only to assets of a known kind.
void addCommonAssets(core::Dictionary& assets, const DZMediatedNativeAdProtocol& ad,
                     const std::optional<std::string>& headline,
                     const std::optional<std::string>& body,
                     const DZMediatedNativeAdImages& images,
                     const std::optional<std::string>& callToAction) {
    if (const auto extras = ad.extraAssets(); extras && !extras->empty())
        assets.set("extras", *extras);
    setText(assets, "headline", headline);
    setText(assets, "body", body);
    core::Array urls;
    for (const auto& image : images)
        if (image && image->hasImageURL()) urls.emplace_back(image->imageURL().absoluteString());
    if (!urls.empty()) assets.set("images", std::move(urls));
    setText(assets, "call_to_action", callToAction);
}

// Case-insensitive search for an ASCII tag opening, from `from`.
size_t findTag(const std::string& html, std::string_view tag, size_t from = 0) {
    const auto it = std::search(html.begin() + std::ptrdiff_t(from), html.end(), tag.begin(),
                                tag.end(), [](char a, char b) {
                                    return std::tolower(static_cast<unsigned char>(a)) ==
                                           std::tolower(static_cast<unsigned char>(b));
                                });
    return it == html.end() ? std::string::npos : size_t(it - html.begin());
}

// Just past the ">" of the tag that opens at `at`.
size_t pastTag(const std::string& html, size_t at) {
    const size_t close = html.find('>', at);
    return close == std::string::npos ? std::string::npos : close + 1;
}

}  // namespace

std::shared_ptr<DZMAdNetworkConnectorNativeExpressAd>
DZMAdNetworkConnectorNativeExpressAd::create(std::shared_ptr<DZMConfig> config,
                                             std::shared_ptr<DZMAdNetworkConfig> networkConfig) {
    auto connector = make<DZMAdNetworkConnectorNativeExpressAd>(config, networkConfig);
    if (!connector) return nullptr;
    connector->nativeAdConnector_ =
        DZMAdNetworkConnectorNativeAd::create(std::move(config), std::move(networkConfig));
    // The waterfall knows only this connector: the wrapped one's failures
    // must come through it, or the network would end by its timeout.
    connector->nativeAdConnector_->setReportingConnector(
        std::static_pointer_cast<DZMAdNetworkConnector>(connector));
    return connector;
}

DZMAdNetworkConnectorNativeExpressAd::~DZMAdNetworkConnectorNativeExpressAd() {
    discardAdView();
    stopObservingNetworkAnnouncements();
}

void DZMAdNetworkConnectorNativeExpressAd::discardAdView() {
    if (impressionMonitor_) {
        impressionMonitor_->setDelegate({});
        impressionMonitor_->stopMonitoring();
        impressionMonitor_.reset();
    }
    templateAdViewDelegate_.reset();
    if (!adView_) return;
    adView_->setDelegate({});
    adView_->stopLoading();
    adView_.reset();
}

void DZMAdNetworkConnectorNativeExpressAd::observeNetworkAnnouncements() {
    stopObservingNetworkAnnouncements();
    if (!mediatedNativeAd_) return;
    observedAd_ = mediatedNativeAd_.get();
    auto& center = core::NotificationCenter::defaultCenter();
    const std::weak_ptr<DZMAdNetworkConnector> weak = shared_from_this();
    const auto observe = [&](const char* name, bool click) {
        networkObservers_.push_back(center.addObserver(
            name, observedAd_, nullptr, [weak, click](const core::Notification&) {
                const auto self =
                    std::static_pointer_cast<DZMAdNetworkConnectorNativeExpressAd>(weak.lock());
                if (!self) return;
                // Only what the adapter reports itself pings from here.
                if (click && self->adapterHandlesUserClicks_) self->reportClick();
                if (!click && self->adapterHandlesUserImpressions_) self->reportImpression();
            }));
    };
    using Source = DZMediatedNativeAdNotificationSource;
    observe(Source::kDidRecordImpressionNotification, false);
    observe(Source::kDidRecordClickNotification, true);
}

void DZMAdNetworkConnectorNativeExpressAd::stopObservingNetworkAnnouncements() {
    auto& center = core::NotificationCenter::defaultCenter();
    for (const auto& token : networkObservers_) center.removeObserver(token);
    networkObservers_.clear();
    observedAd_ = nullptr;
}

void DZMAdNetworkConnectorNativeExpressAd::setAdLoaderConfiguration(
    std::shared_ptr<DZAdLoaderConfiguration> configuration) {
    nativeAdConnector_->setAdLoaderConfiguration(configuration);
    DZMAdNetworkConnector::setAdLoaderConfiguration(std::move(configuration));
}

void DZMAdNetworkConnectorNativeExpressAd::setAdManager(std::weak_ptr<DZMAdManager> manager) {
    nativeAdConnector_->setAdManager(manager);
    DZMAdNetworkConnector::setAdManager(std::move(manager));
}

void DZMAdNetworkConnectorNativeExpressAd::setUpAdapter() {
    DZMAdNetworkConnector::setUpAdapter();
    nativeAdConnector_->setAdapter(adapter());
}

void DZMAdNetworkConnectorNativeExpressAd::getAdFromAdapterWithType(
    const std::shared_ptr<DZAdType>& adType) {
    adType_ = adType;
    templateReported_ = false;
    discardAdView();
    nativeAdConnector_->getAdFromAdapterWithType(adType);
}

void DZMAdNetworkConnectorNativeExpressAd::reportFailure(const Error& error) {
    if (const auto manager = adManager())
        manager->adRequestFailedFromConnector(shared_from_this(), error);
}

void DZMAdNetworkConnectorNativeExpressAd::adapterDidReceiveMediatedNativeAd(
    const DZMAdNetworkAdapter* adapter, const std::shared_ptr<DZMediatedNativeAdProtocol>& ad) {
    if (!isOwnAdapter(adapter)) return;
    if (!ad || !loadNativeExpressHTMLTemplateForMediatedNativeAd(*ad)) {
        reportFailure(
            DZErrorWithDomainCodeDescription(kAssetsErrorDomain, 0, kAssetsErrorDescription));
        return;
    }
    mediatedNativeAd_ = ad;
    setClicked(false);
    adapterHandlesUserClicks_ = adapter && adapter->handlesUserClicks().value_or(false);
    adapterHandlesUserImpressions_ = adapter && adapter->handlesUserImpressions().value_or(false);
    observeNetworkAnnouncements();
}

void DZMAdNetworkConnectorNativeExpressAd::adapterDidFailAd(const DZMAdNetworkAdapter* adapter,
                                                            const Error& error) {
    if (!isOwnAdapter(adapter)) return;
    reportFailure(error);
}

// Assets.

core::Dictionary DZMAdNetworkConnectorNativeExpressAd::JSONAssetsFromMediatedNativeAppInstallAd(
    const DZMediatedNativeAppInstallAd& ad) {
    core::Dictionary assets;
    setImageURL(assets, "icon", ad.icon());
    if (const auto rating = ad.starRating()) assets.set("star_rating", decimalText(*rating));
    setText(assets, "store", ad.store());
    setText(assets, "price", ad.price());
    return assets;
}

core::Dictionary DZMAdNetworkConnectorNativeExpressAd::JSONAssetsFromMediatedNativeContentAd(
    const DZMediatedNativeContentAd& ad) {
    core::Dictionary assets;
    setImageURL(assets, "icon", ad.logo());
    setText(assets, "advertiser", ad.advertiser());
    return assets;
}

std::optional<std::string> DZMAdNetworkConnectorNativeExpressAd::assetsFromMediatedNativeAd(
    const DZMediatedNativeAdProtocol& ad) const {
    core::Dictionary assets;
    // A content ad wins over an app install ad when the network's ad is both.
    if (const auto* content = dynamic_cast<const DZMediatedNativeContentAd*>(&ad)) {
        assets = JSONAssetsFromMediatedNativeContentAd(*content);
        if (!assets.empty())
            addCommonAssets(assets, ad, content->headline(), content->body(), content->images(),
                            content->callToAction());
    } else if (const auto* appInstall = dynamic_cast<const DZMediatedNativeAppInstallAd*>(&ad)) {
        assets = JSONAssetsFromMediatedNativeAppInstallAd(*appInstall);
        if (!assets.empty())
            addCommonAssets(assets, ad, appInstall->headline(), appInstall->body(),
                            appInstall->images(), appInstall->callToAction());
    }
    if (assets.empty()) return std::nullopt;
    core::Dictionary object;
    if (const auto& templateIDs = networkConfig()->nativeExpressTemplateIDs())
        object.set("template_id", *templateIDs);
    object.set("assets", std::move(assets));
    return dz_JSONStringPretty(dz_JSONSafeDictionary(object), false, nullptr);
}

std::string DZMAdNetworkConnectorNativeExpressAd::scriptLiteralFromJSON(const std::string& json) {
    std::string literal;
    literal.reserve(json.size());
    for (size_t i = 0; i < json.size(); ++i) {
        // U+2028 and U+2029 end a line in older script engines.
        if (json.compare(i, 3, "\xE2\x80\xA8") == 0) {
            literal += "\\u2028";
            i += 2;
        } else if (json.compare(i, 3, "\xE2\x80\xA9") == 0) {
            literal += "\\u2029";
            i += 2;
        } else if (json[i] == '<' && i + 1 < json.size() && json[i + 1] == '/') {
            // "</script>" inside a text must not close the element.
            literal += "<\\/";
            ++i;
        } else if (json[i] == '<' && json.compare(i, 4, "<!--") == 0) {
            literal += "\\u003C!--";
            i += 3;
        } else {
            literal += json[i];
        }
    }
    return literal;
}

std::string DZMAdNetworkConnectorNativeExpressAd::templateWithAssets(const std::string& html,
                                                                     const std::string& json) {
    const std::string script = std::string("<script>window.") + kAssetsVariable + " = " +
                               scriptLiteralFromJSON(json) + ";</script>";
    size_t at = std::string::npos;
    if (const size_t head = findTag(html, "<head"); head != std::string::npos) {
        const char next = head + 5 < html.size() ? html[head + 5] : '\0';
        if (next == '>' || std::isspace(static_cast<unsigned char>(next))) at = pastTag(html, head);
    }
    if (at == std::string::npos) {
        if (const size_t htmlTag = findTag(html, "<html"); htmlTag != std::string::npos)
            at = pastTag(html, htmlTag);
    }
    if (at == std::string::npos) {
        if (const size_t doctype = findTag(html, "<!doctype"); doctype != std::string::npos)
            at = pastTag(html, doctype);
    }
    if (at == std::string::npos) at = 0;
    // The first script of the page must come after this one.
    if (const size_t firstScript = findTag(html, "<script"); firstScript < at) at = firstScript;
    std::string page = html;
    page.insert(at, script);
    return page;
}

bool DZMAdNetworkConnectorNativeExpressAd::loadNativeExpressHTMLTemplateForMediatedNativeAd(
    const DZMediatedNativeAdProtocol& ad) {
    const auto json = assetsFromMediatedNativeAd(ad);
    if (!json) return false;
    discardAdView();
    adView_ = DZAdView::create(gfx::Rect{});
    if (!adView_) {
        reportFailure(DZErrorWithCodeDescription(kDZErrorInternalError,
                                                 "Unable to create the native express view."));
        templateReported_ = true;
        return true;
    }
    const auto self = std::static_pointer_cast<DZMAdNetworkConnectorNativeExpressAd>(
        shared_from_this());
    templateAdViewDelegate_ = std::make_shared<DZNativeExpressTemplateAdViewDelegate>(
        slot(), adView_, std::static_pointer_cast<DZAdViewDelegateProtocol>(self));
    adView_->setDelegate(templateAdViewDelegate_);
    std::optional<core::URL> baseURL;
    if (const auto& text = networkConfig()->nativeExpressAdBaseURL())
        baseURL = core::URL::create(*text);
    const std::string html = networkConfig()->nativeExpressHTMLTemplate().value_or("");
    adView_->loadHTMLString(templateWithAssets(html, *json), baseURL);
    return true;
}

// The template's load.

void DZMAdNetworkConnectorNativeExpressAd::adViewDidFinishLoad(DZAdView& adView) {
    if (&adView != adView_.get() || templateReported_) return;
    templateReported_ = true;
    const auto view = adView_;
    if (const auto manager = adManager())
        manager->adRequestReturnsFromConnectorWithView(shared_from_this(), view);
    if (view != adView_) return;
    impressionMonitor_ = DZImpressionMonitor::create(view, mediationConfig()->impressionDefinition());
    impressionMonitor_->setDelegate(std::static_pointer_cast<DZImpressionMonitorDelegate>(
        std::static_pointer_cast<DZMAdNetworkConnectorNativeExpressAd>(shared_from_this())));
    impressionMonitor_->startMonitoring();
}

// The template's impression and clicks.

void DZMAdNetworkConnectorNativeExpressAd::impressionMonitorDidMonitorImpression(
    DZImpressionMonitor& monitor) {
    if (&monitor != impressionMonitor_.get()) return;
    impressionMonitor_->setDelegate({});
    impressionMonitor_.reset();
    reportTemplateImpression();
}

void DZMAdNetworkConnectorNativeExpressAd::reportTemplateImpression() {
    if (adapterHandlesUserImpressions_ || !mediatedNativeAd_) return;
    reportImpression();
    if (const auto delegate = mediatedNativeAd_->mediatedNativeAdDelegate())
        delegate->mediatedNativeAdDidRecordImpression(*mediatedNativeAd_);
}

void DZMAdNetworkConnectorNativeExpressAd::slotDidRecordClick() {
    reportTemplateClick();
}

void DZMAdNetworkConnectorNativeExpressAd::reportTemplateClick() {
    if (adapterHandlesUserClicks_ || !mediatedNativeAd_ || !adView_) return;
    reportClick();
    if (const auto delegate = mediatedNativeAd_->mediatedNativeAdDelegate())
        delegate->mediatedNativeAdDidRecordClickOnAssetWithName(
            *mediatedNativeAd_, std::nullopt, adView_, viewControllerForPresentingModalView());
}

void DZMAdNetworkConnectorNativeExpressAd::didFailLoadWithError(DZAdView& adView,
                                                                const Error& error) {
    if (&adView != adView_.get() || templateReported_) return;
    templateReported_ = true;
    reportFailure(error);
}

}  // namespace ads
