#include "ads/foundation/DZSafeBrowsingReporter.h"

#include <utility>

#include "ads/core/response/DZAutoClickProtection.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZURLSessionLimits.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "core/Queue.h"
#include "core/URLSession.h"
#include "core/Unicode.h"

namespace ads {

std::shared_ptr<DZSafeBrowsingReporter>
DZSafeBrowsingReporter::create(const core::Value& dictionary) {
    const std::string* clickString = dictionary["click_string"].string();
    const std::string* reportURLString = dictionary["report_url"].string();
    if (!clickString || !reportURLString) {
        return nullptr;
    }
    auto reportURL = core::URL::create(*reportURLString);
    if (!reportURL || !reportURL->isHTTPorHTTPS()) {
        return nullptr;
    }
    std::shared_ptr<DZSafeBrowsingReporter> reporter(
        new DZSafeBrowsingReporter(std::move(*reportURL)));
    reporter->clickString_ = *clickString;
    reporter->shouldSendRenderedAd_ = dictionary["rendered_ad_enabled"].boolValue();
    reporter->shouldReportBenignAds_ = dictionary["non_malicious_reporting_enabled"].boolValue();
    if (const core::Value* malicious =
            dictionary.dictionary()->find("malicious_reporting_enabled")) {
        reporter->shouldReportMaliciousAds_ = malicious->boolValue();
    }
    if (const core::Array* headers = dictionary["header_to_scrub"].array()) {
        for (const core::Value& header : *headers) {
            if (const std::string* name = header.string()) {
                reporter->excludedHeaders_.insert(core::Unicode::toLower(*name, ""));
            }
        }
    }
    if (const core::Value* protection = dictionary.dictionary()->find("protection_enabled")) {
        reporter->autoClickProtection_ =
            std::make_shared<DZAutoClickProtection>(protection->boolValue());
    }
    return reporter;
}

void DZSafeBrowsingReporter::reportResourceCollection(
    std::shared_ptr<DZAdViewResourceCollection> collection) const {
    if (!collection) {
        return;
    }
    core::Queue::global()->async([reportURL = reportURL_, malicious = shouldReportMaliciousAds_,
                                  benign = shouldReportBenignAds_,
                                  collection = std::move(collection)] {
        // The report waits for host look-ups: build it only when it is sent.
        if (collection->isMalicious() ? !malicious : !benign) {
            return;
        }
        const core::Dictionary report = collection->dictionaryRepresentation();
        const auto json = dz_JSONStringPretty(report, false, nullptr);
        if (!json) {
            return;
        }
        core::URLRequest request(reportURL);
        request.setMethod("POST");
        request.setValue("Content-Type", "application/json");
        request.setBody(*json);
        auto task = DZURLSession()->dataTask(
            std::move(request), [](core::Data, auto, auto) {}, core::Queue::global());
        task->resume();
    });
}

}  // namespace ads
