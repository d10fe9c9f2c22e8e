#include "ads/web/intercept/DZAdURLStash.h"

#include "ads/foundation/DZCallLog.h"
#include "core/JSON.h"

namespace ads {

namespace {

constexpr std::string_view kPrefix = "DZAdURLStash.";

void record(std::string_view call, const std::string& details = {}) {
    DZCallLog::record(std::string(kPrefix) + std::string(call) +
                      (details.empty() ? "" : " " + details));
}

}  // namespace

std::shared_ptr<DZAdURLStash> DZAdURLStash::sharedInstance() {
    return DZSeamSharedInstance<DZAdURLStash>("DZAdURLStash");
}

void DZAdURLStash::willLoadURLRequest(const std::shared_ptr<DZAdView>&,
                                      const core::URLRequest& request) {
    std::string details = request.url().absoluteString() + " main " +
                          (request.mainDocumentURL() ? request.mainDocumentURL()->absoluteString()
                                                     : std::string("none"));
    if (const auto annotation = request.value("x-duzo-annotation-missing-request"))
        details += " annotated " + *annotation;
    record("adView:willLoadURLRequest:", details);
}

void DZAdURLStash::willReceiveResponse(const std::shared_ptr<DZAdView>&,
                                       const core::URLRequest& request,
                                       const core::HTTPURLResponse& response) {
    core::Dictionary fields;
    for (const auto& [name, value] : response.headers()) fields.set(name, value);
    record("adView:request:willReceiveResponse:",
           request.url().absoluteString() + " " + std::to_string(response.statusCode()) + " " +
               response.url().absoluteString() + " " +
               core::JSON::write(core::Value(fields)).value_or("{}"));
}

void DZAdURLStash::didReceiveData(const std::shared_ptr<DZAdView>&, const core::URLRequest& request,
                                  const core::Data& data) {
    record("adView:request:didReceiveData:",
           request.url().absoluteString() + " " + std::to_string(data.size()) + " bytes");
}

void DZAdURLStash::adViewDidStartLoad(const std::shared_ptr<DZAdView>&) {
    record("adViewDidStartLoad:");
}

void DZAdURLStash::adViewDidFinishLoad(const std::shared_ptr<DZAdView>&) {
    record("adViewDidFinishLoad:");
}

void DZAdURLStash::adViewDidFinishLayout(const std::shared_ptr<DZAdView>&) {
    record("adViewDidFinishLayout:");
}

void DZAdURLStash::adViewWillLoadRootContent(const std::shared_ptr<DZAdView>&) {
    record("adViewWillLoadRootContent:");
}

void DZAdURLStash::removeAdView(const DZAdView*) {
    record("removeAdView:");
}

}  // namespace ads
