#pragma once
// The server's safe-browsing settings for one rendered ad, and the POST of
// the report of the resources the ad loaded. Settings arrive as the
// "safe_browsing" object of the ad response or its "x-duzo-safe-browsing"
// header.
//
// Immutable after creation; read from any thread. The report is sent from a
// global queue, never retried, and its outcome is not reported.

#include <memory>
#include <set>
#include <string>

#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZAdViewResourceCollection;
class DZAutoClickProtection;

class DZSafeBrowsingReporter {
public:
    // nullptr without a "click_string" text or a "report_url" that is an
    // http or https URL.
    [[nodiscard]] static std::shared_ptr<DZSafeBrowsingReporter>
    create(const core::Value& dictionary);

    [[nodiscard]] const core::URL& reportURL() const { return reportURL_; }
    [[nodiscard]] bool shouldReportMaliciousAds() const { return shouldReportMaliciousAds_; }
    [[nodiscard]] bool shouldReportBenignAds() const { return shouldReportBenignAds_; }
    [[nodiscard]] bool shouldSendRenderedAd() const { return shouldSendRenderedAd_; }
    // nullptr unless the settings had "protection_enabled".
    [[nodiscard]] const std::shared_ptr<DZAutoClickProtection>& autoClickProtection() const {
        return autoClickProtection_;
    }
    [[nodiscard]] const std::string& clickString() const { return clickString_; }
    // Lowercase header names.
    [[nodiscard]] const std::set<std::string>& excludedHeaders() const { return excludedHeaders_; }

    // Posts the collection's report as JSON from a global queue when the
    // settings ask for reports of its kind (malicious or benign).
    void reportResourceCollection(std::shared_ptr<DZAdViewResourceCollection> collection) const;

private:
    explicit DZSafeBrowsingReporter(core::URL reportURL) : reportURL_(std::move(reportURL)) {}

    core::URL reportURL_;
    bool shouldReportMaliciousAds_ = true;
    bool shouldReportBenignAds_ = false;
    bool shouldSendRenderedAd_ = false;
    std::shared_ptr<DZAutoClickProtection> autoClickProtection_;
    std::string clickString_;
    std::set<std::string> excludedHeaders_;
};

}  // namespace ads
