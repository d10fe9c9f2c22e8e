#pragma once
// The process-wide registry of what ad web views load: made at start-up.
// It records nothing yet: ad views tell it of their page loads and of the
// requests and responses behind their ads, and each call is written to
// DZCallLog (with the request's URL, its main document URL, the response's
// status and header fields, the byte count), so that callers can be checked.
// sharedInstance() is recorded too. Any thread.

#include <memory>

#include "core/HTTPURLResponse.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace ads {

class DZAdView;

class DZAdURLStash {
public:
    [[nodiscard]] static std::shared_ptr<DZAdURLStash> sharedInstance();
    DZAdURLStash() = default;

    // "DZAdURLStash.adView:willLoadURLRequest: <url> main <main document
    // URL>", then " annotated <x-duzo-annotation-missing-request>" when set.
    void willLoadURLRequest(const std::shared_ptr<DZAdView>& adView,
                            const core::URLRequest& request);
    // "DZAdURLStash.adView:request:willReceiveResponse: <request URL>
    // <status> <response URL> <header fields as JSON>".
    void willReceiveResponse(const std::shared_ptr<DZAdView>& adView,
                             const core::URLRequest& request,
                             const core::HTTPURLResponse& response);
    // "DZAdURLStash.adView:request:didReceiveData: <request URL> <count> bytes".
    void didReceiveData(const std::shared_ptr<DZAdView>& adView, const core::URLRequest& request,
                        const core::Data& data);
    // "DZAdURLStash.<selector>" for each.
    void adViewDidStartLoad(const std::shared_ptr<DZAdView>& adView);
    void adViewDidFinishLoad(const std::shared_ptr<DZAdView>& adView);
    void adViewWillLoadRootContent(const std::shared_ptr<DZAdView>& adView);
    // A banner laid out the ad view it shows.
    void adViewDidFinishLayout(const std::shared_ptr<DZAdView>& adView);
    // From the ad view's teardown, when only its address is left.
    void removeAdView(const DZAdView* adView);
};

}  // namespace ads
