#include "ads/foundation/DZBadAdReport.h"

#include <mutex>

#include "ads/foundation/DZHTTPRequest.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZURLSessionLimits.h"
#include "core/Queue.h"
#include "core/URLSession.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

std::mutex gDefaultMutex;
std::optional<std::string> gDefaultOverride;

std::string defaultURLString() {
    std::lock_guard lock(gDefaultMutex);
    return gDefaultOverride.value_or(std::string(kDZDefaultBadAdReportURLString));
}

}  // namespace

void DZSetDefaultBadAdReportURLStringForTesting(std::optional<std::string> urlString) {
    std::lock_guard lock(gDefaultMutex);
    gDefaultOverride = std::move(urlString);
}

std::optional<core::URL> DZBadAdReportURL() {
    std::string text =
        core::UserDefaults::standard()->stringForKey("/dozuza/ads/bad_ad_report_path").value_or("");
    if (text.empty()) {
        text = defaultURLString();
    }
    auto url = core::URL::create(text);
    if (!url || !url->isHTTPorHTTPS()) {
        return std::nullopt;
    }
    return url;
}

void DZSendBadAdReport(const std::optional<std::string>& debugHeader) {
    const auto url = DZBadAdReportURL();
    if (!url) {
        return;
    }
    const core::Dictionary body{
        {"debugHeader", debugHeader ? core::Value(*debugHeader) : core::Value()}};
    const std::string json = dz_JSONStringPretty(body, false, nullptr).value_or("");
    auto request = DZMakeURLRequest(url, core::Data(json.begin(), json.end()), std::nullopt,
                                    "application/json");
    if (!request) {
        return;
    }
    auto task = DZURLSession()->dataTask(
        std::move(*request), [](core::Data, auto, auto) {}, core::Queue::main());
    task->resume();
}

}  // namespace ads
