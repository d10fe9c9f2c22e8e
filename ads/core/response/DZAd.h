#pragma once
// One parsed ad response: the markup (HTML with its base URL, the URL to
// fetch it from, or a JSON body), the ad's size, its tracking URLs and
// settings, and the bookkeeping of the fetch. Built from the ad dictionary
// that the core page delivers, or empty for a fetch whose response is all
// in HTTP; the fetcher fills it further, the slot and the presenters read
// it. It sends its own click, impression, manual impression and debug
// pings.
//
// The keys that begin "_native_" of the system's ad dictionary are what the
// mediation connector knows of a mediated ad (its original request, its
// redirects, its size): native objects that no page or server can supply.
// Here they arrive only as DZAdNativeProperties from native code; an ad
// dictionary's "_native_*" entries are ignored, so a page or the server
// cannot inject a request or redirect records.
//
// An ad is made, filled and read on the main thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/foundation/DZStatisticDictionary.h"
#include "core/URL.h"
#include "core/URLRequest.h"
#include "core/Value.h"
#include "gfx/Geometry.h"

namespace ads {

class DZAdReward;
class DZAdMediationDelegate;
class DZMRAIDEventHandling;
class DZSafeBrowsingReporter;
class DZURLConnectionRedirect;

// What the mediation connector hands over with a mediated ad's dictionary.
struct DZAdNativeProperties {
    // Replaces the size of "ad_size".
    std::optional<gfx::Size> interstitialSize;
    std::optional<double> croppedContentThreshold;
    std::optional<core::URLRequest> originalRequest;
    std::vector<std::shared_ptr<DZURLConnectionRedirect>> redirects;
};

class DZAd {
public:
    static constexpr std::uint64_t kAllOrientationsMask = 30;
    static constexpr double kDefaultCroppedContentThreshold = 10000.0;

    // An empty ad with the defaults.
    DZAd();
    virtual ~DZAd() = default;
    DZAd(const DZAd&) = delete;
    DZAd& operator=(const DZAd&) = delete;

    [[nodiscard]] static std::shared_ptr<DZAd>
    initWithDictionary(const core::Value& dictionary, const DZAdNativeProperties* native = nullptr);

    // Tracking URLs; each set keeps one copy of a URL, in the order added.
    void addClickURLs(const std::vector<core::URL>& urls);
    void addImpressionURLs(const std::vector<core::URL>& urls);
    void addManualImpressionURLs(const std::vector<core::URL>& urls);
    [[nodiscard]] const std::vector<core::URL>& clickURLs() const { return clickURLs_; }
    [[nodiscard]] const std::vector<core::URL>& impressionURLs() const { return impressionURLs_; }
    [[nodiscard]] const std::vector<core::URL>& manualImpressionURLs() const {
        return manualImpressionURLs_;
    }

    // Every click pings the click URLs again; impression URLs go out once.
    void pingClickURLs();
    void pingImpressionURLs();
    void pingManualImpressionURLs();
    // Once per ad, in debug mode, when the server named a debug URL and
    // there is debug information.
    void pingDebugSignal();

    [[nodiscard]] const std::optional<core::URL>& adBaseURL() const { return adBaseURL_; }
    void setAdBaseURL(std::optional<core::URL> url) { adBaseURL_ = std::move(url); }
    [[nodiscard]] const std::optional<std::string>& adHTML() const { return adHTML_; }
    void setAdHTML(std::optional<std::string> html) { adHTML_ = std::move(html); }
    [[nodiscard]] const std::optional<core::URL>& adURL() const { return adURL_; }
    void setAdURL(std::optional<core::URL> url) { adURL_ = std::move(url); }
    [[nodiscard]] const std::optional<core::URLRequest>& originalRequest() const {
        return originalRequest_;
    }
    void setOriginalRequest(std::optional<core::URLRequest> request) {
        originalRequest_ = std::move(request);
    }
    [[nodiscard]] std::vector<std::shared_ptr<DZURLConnectionRedirect>>& redirects() {
        return redirects_;
    }
    [[nodiscard]] const std::optional<core::Dictionary>& responseHeaders() const {
        return responseHeaders_;
    }
    void setResponseHeaders(std::optional<core::Dictionary> headers) {
        responseHeaders_ = std::move(headers);
    }
    [[nodiscard]] const std::optional<core::Dictionary>& liveViewConfigurations() const {
        return liveViewConfigurations_;
    }
    void setLiveViewConfigurations(std::optional<core::Dictionary> configurations) {
        liveViewConfigurations_ = std::move(configurations);
    }

    [[nodiscard]] bool hasSentDebugSignal() const { return hasSentDebugSignal_; }
    [[nodiscard]] bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
    [[nodiscard]] bool isFluid() const { return fluid_; }
    void setFluid(bool fluid) { fluid_ = fluid; }
    [[nodiscard]] bool hasAdNetworkJavaScript() const { return hasAdNetworkJavaScript_; }
    [[nodiscard]] bool customCloseBlocked() const { return customCloseBlocked_; }
    void setCustomCloseBlocked(bool blocked) { customCloseBlocked_ = blocked; }
    [[nodiscard]] const std::shared_ptr<DZStatisticDictionary>& statistics() const {
        return statistics_;
    }
    // 1: the displayed-impression definition.
    [[nodiscard]] std::int64_t impressionDefinition() const { return impressionDefinition_; }
    void setImpressionDefinition(std::int64_t definition) { impressionDefinition_ = definition; }
    // The ad response type, 0 to 4.
    [[nodiscard]] std::uint64_t responseType() const { return responseType_; }
    void setResponseType(std::uint64_t type) { responseType_ = type; }
    [[nodiscard]] std::weak_ptr<DZMRAIDEventHandling> MRAIDEventHandler() const {
        return MRAIDEventHandler_;
    }
    void setMRAIDEventHandler(std::weak_ptr<DZMRAIDEventHandling> handler) {
        MRAIDEventHandler_ = std::move(handler);
    }
    // Seconds; 0 when the server asked for none.
    [[nodiscard]] double reloadInterval() const { return reloadInterval_; }
    // The reload interval a server may ask for, in a header or an ad's
    // dictionary alike: finite seconds from 0 to a day; nullopt otherwise
    // (the interval is then left as it is).
    static constexpr double kMaximumReloadInterval = 24 * 60 * 60;
    [[nodiscard]] static std::optional<double> checkedReloadInterval(double seconds) {
        if (!(seconds >= 0 && seconds <= kMaximumReloadInterval)) return std::nullopt;
        return seconds;
    }
    void setReloadInterval(double seconds) { reloadInterval_ = seconds; }
    [[nodiscard]] std::uint64_t supportedOrientations() const { return supportedOrientations_; }
    void setSupportedOrientations(std::uint64_t mask) { supportedOrientations_ = mask; }
    [[nodiscard]] const std::optional<std::string>& debugDialogString() const {
        return debugDialogString_;
    }
    void setDebugDialogString(std::optional<std::string> text) {
        debugDialogString_ = std::move(text);
    }
    // "320x50"; set by the fetcher from the response.
    [[nodiscard]] const std::optional<std::string>& customAdSizeString() const {
        return customAdSizeString_;
    }
    void setCustomAdSizeString(std::optional<std::string> size) {
        customAdSizeString_ = std::move(size);
    }
    [[nodiscard]] const std::shared_ptr<DZSafeBrowsingReporter>& safeBrowsingReporter() const {
        return safeBrowsingReporter_;
    }
    void setSafeBrowsingReporter(std::shared_ptr<DZSafeBrowsingReporter> reporter) {
        safeBrowsingReporter_ = std::move(reporter);
    }
    [[nodiscard]] double croppedContentThreshold() const { return croppedContentThreshold_; }
    void setCroppedContentThreshold(double threshold) { croppedContentThreshold_ = threshold; }
    [[nodiscard]] const std::optional<core::URL>& adNetworkPassbackURL() const {
        return adNetworkPassbackURL_;
    }
    [[nodiscard]] const std::optional<std::string>& DWSQueryID() const { return DWSQueryID_; }
    void setDWSQueryID(std::optional<std::string> identifier) {
        DWSQueryID_ = std::move(identifier);
    }
    [[nodiscard]] std::weak_ptr<DZAdMediationDelegate> mediationDelegate() const {
        return mediationDelegate_;
    }
    void setMediationDelegate(std::weak_ptr<DZAdMediationDelegate> delegate) {
        mediationDelegate_ = std::move(delegate);
    }
    [[nodiscard]] const std::optional<std::string>& debugSignalInformation() const {
        return debugSignalInformation_;
    }
    void setDebugSignalInformation(std::optional<std::string> information) {
        debugSignalInformation_ = std::move(information);
    }
    [[nodiscard]] const std::optional<std::string>& adUnitID() const { return adUnitID_; }
    void setAdUnitID(std::optional<std::string> identifier) { adUnitID_ = std::move(identifier); }
    [[nodiscard]] const std::shared_ptr<DZAdReward>& reward() const { return reward_; }
    void setReward(std::shared_ptr<DZAdReward> reward) { reward_ = std::move(reward); }
    [[nodiscard]] gfx::Size size() const { return size_; }
    void setSize(gfx::Size size) { size_ = size; }
    // The ad dictionary the ad was read from, to hand the same ad on to
    // another ad object ("_ad"); nullopt for an ad made otherwise.
    [[nodiscard]] const std::optional<core::Dictionary>& sourceDictionary() const {
        return sourceDictionary_;
    }

protected:
    // Reads the keys of the ad dictionary, in their order; subclasses read
    // their own after the base ones.
    virtual void readDictionary(const core::Dictionary& dictionary);
    // Makes an ad of the class and fills it.
    template <typename T>
    [[nodiscard]] static std::shared_ptr<T> make(const core::Value& dictionary,
                                                 const DZAdNativeProperties* native) {
        auto ad = std::make_shared<T>();
        DZAd& base = *ad;
        if (const core::Dictionary* entries = dictionary.dictionary()) {
            base.readDictionary(*entries);
            base.sourceDictionary_ = *entries;
        }
        if (native) base.applyNativeProperties(*native);
        return ad;
    }

private:
    void readMarkup(const core::Dictionary& dictionary);
    void applyNativeProperties(const DZAdNativeProperties& native);
    // Takes the URLs to send, through the analytics bridge when it exists.
    [[nodiscard]] static std::vector<core::URL> withAnalytics(std::vector<core::URL> urls,
                                                              const char* eventName);

    std::vector<core::URL> clickURLs_;
    std::vector<core::URL> impressionURLs_;
    std::vector<core::URL> manualImpressionURLs_;
    bool hasSentDebugSignal_ = false;
    bool scrollEnabled_ = true;
    bool fluid_ = false;
    bool hasAdNetworkJavaScript_ = false;
    bool customCloseBlocked_ = false;
    std::shared_ptr<DZStatisticDictionary> statistics_;
    std::optional<core::URL> adBaseURL_;
    std::optional<std::string> adHTML_;
    std::optional<core::URL> adURL_;
    std::optional<core::URLRequest> originalRequest_;
    std::vector<std::shared_ptr<DZURLConnectionRedirect>> redirects_;
    std::optional<core::Dictionary> responseHeaders_;
    std::optional<core::Dictionary> sourceDictionary_;
    std::optional<core::Dictionary> liveViewConfigurations_;
    std::int64_t impressionDefinition_ = 0;
    std::uint64_t responseType_ = 0;
    std::weak_ptr<DZMRAIDEventHandling> MRAIDEventHandler_;
    double reloadInterval_ = 0;
    std::uint64_t supportedOrientations_ = kAllOrientationsMask;
    std::optional<std::string> debugDialogString_;
    std::optional<std::string> customAdSizeString_;
    std::shared_ptr<DZSafeBrowsingReporter> safeBrowsingReporter_;
    double croppedContentThreshold_ = kDefaultCroppedContentThreshold;
    std::optional<core::URL> adNetworkPassbackURL_;
    std::optional<std::string> DWSQueryID_;
    std::weak_ptr<DZAdMediationDelegate> mediationDelegate_;
    std::optional<std::string> debugSignalInformation_;
    std::optional<std::string> adUnitID_;
    std::shared_ptr<DZAdReward> reward_;
    gfx::Size size_;
};

}  // namespace ads
