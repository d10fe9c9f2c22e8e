#pragma once
// The bridge from ad activity to the host app's analytics library: request
// identifiers, ad impression ("_ai") and click ("_ac") events, and ad unit
// exposure. Inert unless the server switch "/dozuza/ads/dzads:sai:enabled"
// is on and the host registered the required objects (see
// DZHostAnalyticsRegistry).
//
// The bridge holds no mutable state after creation; any thread.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ads/foundation/DZHostAnalytics.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZAnalytics {
public:
    static constexpr std::string_view kEnabledKey = "/dozuza/ads/dzads:sai:enabled";
    static constexpr std::string_view kUsingMacroKey = "/dozuza/ads/dzads:sai:using_macro:enabled";
    static constexpr std::string_view kImpressionPingSchemaKey =
        "/dozuza/ads/dzads:sai:impression_ping_schema";
    static constexpr std::string_view kClickPingSchemaKey =
        "/dozuza/ads/dzads:sai:click_ping_schema";
    static constexpr std::string_view kImpressionEvent = "_ai";
    static constexpr std::string_view kClickEvent = "_ac";

    // nullptr while the server switch is off (read at every call). Otherwise
    // the bridge made at the first such call, which is nullptr for the rest
    // of the process when "HSTAIdentifiers" or "HSTAnalytics" was missing.
    [[nodiscard]] static std::shared_ptr<DZAnalytics> sharedInstance();
    // Forgets the bridge so that the next call looks the host objects up again.
    static void resetSharedInstanceForTesting();

    [[nodiscard]] std::optional<std::string> dozuzaAppID() const;
    [[nodiscard]] std::optional<std::string> appInstanceID() const;
    [[nodiscard]] std::optional<std::string> adEventID() const;

    // Logs the event with origin "am" and {"_aeid": adEventID} ("_r" = 1 too
    // for "_ac"); nothing without an ad event id.
    void logEventWithName(const std::string& name,
                          const std::optional<std::string>& adEventID) const;

    [[nodiscard]] DZHostScreenView getScreenName() const;
    void setScreenName(const std::optional<std::string>& screenName,
                       const std::optional<std::string>& screenClass) const;

    void beginAdUnitExposure(const std::optional<std::string>& adUnitID) const;
    void endAdUnitExposure(const std::optional<std::string>& adUnitID) const;

    [[nodiscard]] bool hasAdExposureReporter() const { return exposureBeginning_ != nullptr; }
    [[nodiscard]] bool hasScreenViewReporter() const { return screenViewReporter_ != nullptr; }

private:
    DZAnalytics() = default;
    [[nodiscard]] static std::shared_ptr<DZAnalytics> createFromRegistry();

    std::shared_ptr<DZHostAnalyticsIdentifiers> identifiers_;
    std::shared_ptr<DZHostAnalyticsEventLogger> analytics_;
    std::shared_ptr<DZHostAdExposureBeginning> exposureBeginning_;
    std::shared_ptr<DZHostAdExposureEnding> exposureEnding_;
    std::shared_ptr<DZHostScreenViewReporter> screenViewReporter_;
    std::shared_ptr<DZHostScreenViewSource> screenViewSource_;
};

// Sets "hst_app_id", "hst_aiid" and "hst_aeid" from the bridge, each only
// when it has a value; nothing without a bridge or parameters.
void DZAddAnalyticsIdentifiersToParameters(core::Dictionary* parameters);

// The URLs to ping for an impression ("_ai") or click ("_ac"), with the ad
// event id put in. With "/dozuza/ads/dzads:sai:using_macro:enabled" a URL
// whose "hst_aeid" parameter is the macro "[gw_hstaeid]" gets the escaped id
// in the macro's place; otherwise a URL matching the event's ping schema
// that has no "hst_aeid" gets one. Each rewritten URL logs the event once.
// Duplicates are removed; the first occurrence keeps its place.
[[nodiscard]] std::vector<core::URL>
DZApplyAnalyticsToTrackingURLs(const std::vector<core::URL>& urls, const std::string& eventName);
// The same over texts; texts that do not parse are dropped.
[[nodiscard]] std::vector<std::string>
DZApplyAnalyticsToTrackingURLStrings(const std::vector<std::string>& urlStrings,
                                     const std::string& eventName);

}  // namespace ads
