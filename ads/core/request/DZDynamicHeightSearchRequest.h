#pragma once
// A search-ads request for the dynamic-height search banner, which does not
// go through the core page: the banner loads a search-ads web page whose URL
// fragment carries every option as key=value pairs. Each setter stores the
// property and puts its value into the fragment's parameters under the
// option's key; further options go in with setAdvancedOptionValue (among
// them "customDomain", which names the page's host instead of the default
// one and never appears in the fragment).
//
// A plain request object: fill it on one thread before handing it to a
// banner, which works on a copy. The URL is built on the main thread (it
// reads the interaction signal there).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/core/request/DZRequest.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZDynamicHeightSearchRequest : public DZRequest {
public:
    static constexpr const char* kClassName = "DZDynamicHeightSearchRequest";
    // The user-defaults key of the search-ads page's host, and the host used
    // when it holds none.
    static constexpr std::string_view kSearchHostKey = "/dozuza/ads/search_ads_host";
    static constexpr std::string_view kDefaultSearchHost = "search.dozuza.com";

    [[nodiscard]] std::string className() const override { return kClassName; }

    [[nodiscard]] const std::optional<std::string>& query() const { return p_.query; }
    void setQuery(std::optional<std::string> value) { store(p_.query, std::move(value), "query"); }
    [[nodiscard]] std::int64_t adPage() const { return p_.adPage; }
    void setAdPage(std::int64_t value) { store(p_.adPage, value, "adPage"); }
    [[nodiscard]] bool adTestEnabled() const { return p_.adTestEnabled; }
    void setAdTestEnabled(bool value) {
        p_.adTestEnabled = value;
        parameterHelperSetValue(value ? "on" : "off", "adTest");
    }
    [[nodiscard]] const std::optional<std::string>& channel() const { return p_.channel; }
    void setChannel(std::optional<std::string> value) {
        store(p_.channel, std::move(value), "channel");
    }
    [[nodiscard]] const std::optional<std::string>& hostLanguage() const { return p_.hostLanguage; }
    void setHostLanguage(std::optional<std::string> value) {
        store(p_.hostLanguage, std::move(value), "hl");
    }
    [[nodiscard]] const std::optional<std::string>& locationExtensionTextColor() const {
        return p_.locationExtensionTextColor;
    }
    void setLocationExtensionTextColor(std::optional<std::string> value) {
        store(p_.locationExtensionTextColor, std::move(value), "colorLocation");
    }
    [[nodiscard]] double locationExtensionFontSize() const { return p_.locationExtensionFontSize; }
    void setLocationExtensionFontSize(double value) {
        store(p_.locationExtensionFontSize, value, "fontSizeLocation");
    }
    [[nodiscard]] bool clickToCallExtensionEnabled() const {
        return p_.clickToCallExtensionEnabled;
    }
    void setClickToCallExtensionEnabled(bool value) {
        store(p_.clickToCallExtensionEnabled, value, "clickToCall");
    }
    [[nodiscard]] bool locationExtensionEnabled() const { return p_.locationExtensionEnabled; }
    void setLocationExtensionEnabled(bool value) {
        store(p_.locationExtensionEnabled, value, "location");
    }
    [[nodiscard]] bool plusOnesExtensionEnabled() const { return p_.plusOnesExtensionEnabled; }
    void setPlusOnesExtensionEnabled(bool value) {
        store(p_.plusOnesExtensionEnabled, value, "plusOnes");
    }
    [[nodiscard]] bool sellerRatingsExtensionEnabled() const {
        return p_.sellerRatingsExtensionEnabled;
    }
    void setSellerRatingsExtensionEnabled(bool value) {
        store(p_.sellerRatingsExtensionEnabled, value, "sellerRatings");
    }
    [[nodiscard]] bool siteLinksExtensionEnabled() const { return p_.siteLinksExtensionEnabled; }
    void setSiteLinksExtensionEnabled(bool value) {
        store(p_.siteLinksExtensionEnabled, value, "siteLinks");
    }
    [[nodiscard]] const std::optional<std::string>& CSSWidth() const { return p_.cssWidth; }
    void setCSSWidth(std::optional<std::string> value) {
        store(p_.cssWidth, std::move(value), "width");
    }
    [[nodiscard]] std::int64_t numberOfAds() const { return p_.numberOfAds; }
    void setNumberOfAds(std::int64_t value) { store(p_.numberOfAds, value, "number"); }
    [[nodiscard]] const std::optional<std::string>& fontFamily() const { return p_.fontFamily; }
    void setFontFamily(std::optional<std::string> value) {
        store(p_.fontFamily, std::move(value), "fontFamily");
    }
    [[nodiscard]] const std::optional<std::string>& attributionFontFamily() const {
        return p_.attributionFontFamily;
    }
    void setAttributionFontFamily(std::optional<std::string> value) {
        store(p_.attributionFontFamily, std::move(value), "fontFamilyAttribution");
    }
    [[nodiscard]] double annotationFontSize() const { return p_.annotationFontSize; }
    void setAnnotationFontSize(double value) {
        store(p_.annotationFontSize, value, "fontSizeAnnotation");
    }
    [[nodiscard]] double attributionFontSize() const { return p_.attributionFontSize; }
    void setAttributionFontSize(double value) {
        store(p_.attributionFontSize, value, "fontSizeAttribution");
    }
    [[nodiscard]] double descriptionFontSize() const { return p_.descriptionFontSize; }
    void setDescriptionFontSize(double value) {
        store(p_.descriptionFontSize, value, "fontSizeDescription");
    }
    [[nodiscard]] double domainLinkFontSize() const { return p_.domainLinkFontSize; }
    void setDomainLinkFontSize(double value) {
        store(p_.domainLinkFontSize, value, "fontSizeDomainLink");
    }
    [[nodiscard]] double titleFontSize() const { return p_.titleFontSize; }
    void setTitleFontSize(double value) { store(p_.titleFontSize, value, "fontSizeTitle"); }
    [[nodiscard]] const std::optional<std::string>& adBorderColor() const {
        return p_.adBorderColor;
    }
    void setAdBorderColor(std::optional<std::string> value) {
        store(p_.adBorderColor, std::move(value), "colorAdBorder");
    }
    [[nodiscard]] const std::optional<std::string>& adSeparatorColor() const {
        return p_.adSeparatorColor;
    }
    void setAdSeparatorColor(std::optional<std::string> value) {
        store(p_.adSeparatorColor, std::move(value), "colorAdSeparator");
    }
    [[nodiscard]] const std::optional<std::string>& annotationTextColor() const {
        return p_.annotationTextColor;
    }
    void setAnnotationTextColor(std::optional<std::string> value) {
        store(p_.annotationTextColor, std::move(value), "colorAnnotation");
    }
    [[nodiscard]] const std::optional<std::string>& attributionTextColor() const {
        return p_.attributionTextColor;
    }
    void setAttributionTextColor(std::optional<std::string> value) {
        store(p_.attributionTextColor, std::move(value), "colorAttribution");
    }
    [[nodiscard]] const std::optional<std::string>& backgroundColor() const {
        return p_.backgroundColor;
    }
    void setBackgroundColor(std::optional<std::string> value) {
        store(p_.backgroundColor, std::move(value), "colorBackground");
    }
    [[nodiscard]] const std::optional<std::string>& borderColor() const { return p_.borderColor; }
    void setBorderColor(std::optional<std::string> value) {
        store(p_.borderColor, std::move(value), "colorBorder");
    }
    [[nodiscard]] const std::optional<std::string>& domainLinkColor() const {
        return p_.domainLinkColor;
    }
    void setDomainLinkColor(std::optional<std::string> value) {
        store(p_.domainLinkColor, std::move(value), "colorDomainLink");
    }
    [[nodiscard]] const std::optional<std::string>& textColor() const { return p_.textColor; }
    void setTextColor(std::optional<std::string> value) {
        store(p_.textColor, std::move(value), "colorText");
    }
    [[nodiscard]] const std::optional<std::string>& titleLinkColor() const {
        return p_.titleLinkColor;
    }
    void setTitleLinkColor(std::optional<std::string> value) {
        store(p_.titleLinkColor, std::move(value), "colorTitleLink");
    }
    [[nodiscard]] const std::optional<std::string>& adBorderCSSSelections() const {
        return p_.adBorderCSSSelections;
    }
    void setAdBorderCSSSelections(std::optional<std::string> value) {
        store(p_.adBorderCSSSelections, std::move(value), "adBorderSelections");
    }
    [[nodiscard]] double adjustableLineHeight() const { return p_.adjustableLineHeight; }
    void setAdjustableLineHeight(double value) {
        store(p_.adjustableLineHeight, value, "adjustableLineHeight");
    }
    [[nodiscard]] double attributionBottomSpacing() const { return p_.attributionBottomSpacing; }
    void setAttributionBottomSpacing(double value) {
        store(p_.attributionBottomSpacing, value, "attributionSpacingBelow");
    }
    [[nodiscard]] const std::optional<std::string>& borderCSSSelections() const {
        return p_.borderCSSSelections;
    }
    void setBorderCSSSelections(std::optional<std::string> value) {
        store(p_.borderCSSSelections, std::move(value), "borderSelections");
    }
    [[nodiscard]] bool titleUnderlineHidden() const { return p_.titleUnderlineHidden; }
    void setTitleUnderlineHidden(bool value) {
        store(p_.titleUnderlineHidden, value, "noTitleUnderline");
    }
    [[nodiscard]] bool boldTitleEnabled() const { return p_.boldTitleEnabled; }
    void setBoldTitleEnabled(bool value) { store(p_.boldTitleEnabled, value, "titleBold"); }
    [[nodiscard]] double verticalSpacing() const { return p_.verticalSpacing; }
    void setVerticalSpacing(double value) { store(p_.verticalSpacing, value, "verticalSpacing"); }
    [[nodiscard]] bool detailedAttributionExtensionEnabled() const {
        return p_.detailedAttributionExtensionEnabled;
    }
    void setDetailedAttributionExtensionEnabled(bool value) {
        store(p_.detailedAttributionExtensionEnabled, value, "detailedAttribution");
    }
    [[nodiscard]] bool longerHeadlinesExtensionEnabled() const {
        return p_.longerHeadlinesExtensionEnabled;
    }
    void setLongerHeadlinesExtensionEnabled(bool value) {
        store(p_.longerHeadlinesExtensionEnabled, value, "longerHeadlines");
    }

    // The fragment's parameters, by key.
    [[nodiscard]] const core::Dictionary& requestParameters() const { return requestParameters_; }
    // Any further option.
    void setAdvancedOptionValue(const core::Value& value, std::string_view key) {
        parameterHelperSetValue(value, key);
    }
    // Stores text and numbers; any other value, null included, is ignored, so
    // a property set to nothing keeps its earlier fragment entry.
    void parameterHelperSetValue(const core::Value& value, std::string_view key);

    // The options sorted by key as "key=value" joined by "&": keys and text
    // values percent-escaped, numbers as their shortest text, then the
    // interaction signal, and last "pubId" (the escaped ad unit id),
    // "SDKVersion" and "OSType", which win over options of the same names.
    [[nodiscard]] std::string
    dynamicHeightAdURLFragmentsWithAdUnitID(std::string_view adUnitID) const;
    // "https://<host>/afs/ads/i/webview.html#<fragment>".
    [[nodiscard]] std::optional<core::URL>
    CSADynamicHeightSearchRequestURLWithAdUnitID(std::string_view adUnitID) const;

protected:
    // A copy starts with fresh base settings: only the search options and
    // the fragment's parameters are copied.
    void copyFieldsTo(DZRequest& copy) const override;

private:
    template <typename T>
    void store(T& field, T value, std::string_view key) {
        field = std::move(value);
        parameterHelperSetValue(fragmentValue(field), key);
    }
    [[nodiscard]] static core::Value fragmentValue(const std::optional<std::string>& text) {
        return text ? core::Value(*text) : core::Value();
    }
    [[nodiscard]] static core::Value fragmentValue(bool flag) { return flag ? 1 : 0; }
    [[nodiscard]] static core::Value fragmentValue(std::int64_t number) { return number; }
    [[nodiscard]] static core::Value fragmentValue(double number) { return number; }
    [[nodiscard]] std::string host() const;

    struct Properties {
        std::optional<std::string> query;
        std::int64_t adPage = 0;
        bool adTestEnabled = false;
        std::optional<std::string> channel;
        std::optional<std::string> hostLanguage;
        std::optional<std::string> locationExtensionTextColor;
        double locationExtensionFontSize = 0.0;
        bool clickToCallExtensionEnabled = false;
        bool locationExtensionEnabled = false;
        bool plusOnesExtensionEnabled = false;
        bool sellerRatingsExtensionEnabled = false;
        bool siteLinksExtensionEnabled = false;
        std::optional<std::string> cssWidth;
        std::int64_t numberOfAds = 0;
        std::optional<std::string> fontFamily;
        std::optional<std::string> attributionFontFamily;
        double annotationFontSize = 0.0;
        double attributionFontSize = 0.0;
        double descriptionFontSize = 0.0;
        double domainLinkFontSize = 0.0;
        double titleFontSize = 0.0;
        std::optional<std::string> adBorderColor;
        std::optional<std::string> adSeparatorColor;
        std::optional<std::string> annotationTextColor;
        std::optional<std::string> attributionTextColor;
        std::optional<std::string> backgroundColor;
        std::optional<std::string> borderColor;
        std::optional<std::string> domainLinkColor;
        std::optional<std::string> textColor;
        std::optional<std::string> titleLinkColor;
        std::optional<std::string> adBorderCSSSelections;
        double adjustableLineHeight = 0.0;
        double attributionBottomSpacing = 0.0;
        std::optional<std::string> borderCSSSelections;
        bool titleUnderlineHidden = false;
        bool boldTitleEnabled = false;
        double verticalSpacing = 0.0;
        bool detailedAttributionExtensionEnabled = false;
        bool longerHeadlinesExtensionEnabled = false;
    };
    Properties p_;
    core::Dictionary requestParameters_;
};

}  // namespace ads
