// The URL stash and URLs the engine rewrites on their way out: an ad page
// on a raw origin (testsupport::RawOrigin) loads an image, a fetch and a
// frame whose URLs escape characters that need no escape ("%7e", "%41"),
// which the engine's network stack sends as the characters themselves (the
// hex digits of other escapes in upper case, a bad escape as it is). In
// a "UI"-kind ad view the stash holds each request under the target the
// origin received, as it holds any other; in both kinds it holds the
// frame's navigation under the URL the engine loaded.

#include <gtest/gtest.h>

#include <set>

#include "AdWebTesting.h"
#include "InterceptTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "ads/web/intercept/DZURLProtocol.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "support/RawOrigin.h"

namespace {

using namespace adwebtesting;
using intercepttesting::BannerSlot;
using intercepttesting::FinishCountingDelegate;
using testsupport::RawOrigin;

constexpr const char* kPage = R"html(<!doctype html><body><script>
const BASE = location.origin + '/' + location.pathname.split('/')[1] + '/';
const settle = p => Promise.race([Promise.resolve(p).then(v => v, e => 'error'),
                                  new Promise(r => setTimeout(() => r('timeout'), 6000))]);
(async () => {
  const image = new Image();
  await settle(new Promise(r => { image.onload = image.onerror = r; image.src = BASE + 'img-1/odd/%7e%41.png'; }));
  await settle(fetch(BASE + 'fetch-1/odd/%7e?%7e=%41').then(r => r.text()));
  await settle(fetch(BASE + 'fetch-2/odd/%zz%7e%2f?%zz%7e').then(r => r.text()));
  const frame = document.createElement('iframe');
  const told = new Promise(r => addEventListener('message', e => r(e.data.href)));
  frame.src = BASE + 'frame-1/odd/%7e.html';
  document.body.appendChild(frame);
  window.frameHref = await settle(told);
  window.loadsDone = true;
})();
</script>)html";

class DZAdURLStashRewrittenURLService : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { ads::DZRegisterURLProtocol(); }
    void TearDown() override {
        adView.reset();
        EXPECT_TRUE(drainMainQueue());
    }
    [[nodiscard]] bool uiKind() const { return GetParam(); }

    // The page in an ad view of the parameter's kind, until it has loaded
    // everything.
    void show() {
        ads::DZWebViewConfiguration configuration;
        if (!uiKind()) configuration.setWebViewClassKey("wk");
        adView = ads::DZAdView::create({0, 0, 320, 50}, configuration);
        ASSERT_TRUE(adView);
        adView->setDelegate(delegate);
        slot = std::make_shared<BannerSlot>(adView);
        delegate->opener()->setAdViewSlot(slot);
        auto ad = std::make_shared<ads::DZAd>();
        ad->setAdHTML(kPage);
        ad->setAdBaseURL(core::URL::create(origin.origin() + folder + "/page").value());
        ad->setAdURL(ad->adBaseURL());
        adView->setAd(ad);
        ASSERT_TRUE(waitFor([&] { return delegate->finishes > 0; }));
        ASSERT_TRUE(waitFor(
            [&] {
                const auto done = answerTo(*adView->webView(), "window.loadsDone === true");
                return done && done->ok() && done->value() == core::Value(true);
            },
            30));
    }

    // The URLs of the resources the stash holds for the ad view, once what
    // is posted to it has been filed.
    std::set<std::string> recorded() {
        std::set<std::string> urls;
        const auto stash = ads::DZAdURLStash::sharedInstance();
        (void)stash->hasLoadingAd();  // after every update posted before
        const auto collection = stash->resourceCollectionForAdView(adView);
        if (!collection) return urls;
        const core::Dictionary report = collection->dictionaryRepresentation();
        for (const core::Value& entry : *report["resources"].array())
            urls.insert(entry["url"].stringValue());
        return urls;
    }

    RawOrigin origin;
    const std::string folder = RawOrigin::newRun();
    std::shared_ptr<FinishCountingDelegate> delegate = std::make_shared<FinishCountingDelegate>();
    std::shared_ptr<BannerSlot> slot;
    std::shared_ptr<ads::DZAdView> adView;
};

TEST_P(DZAdURLStashRewrittenURLService, ALoadTheEngineRewroteIsRecordedAsAnyOther) {
    show();
    const std::string base = origin.origin() + folder;
    const auto urls = recorded();
    const core::Value frameHref = evaluate(*adView->webView(), "window.frameHref");
    EXPECT_EQ(frameHref, core::Value(base + "/frame-1/odd/%7e.html"));
    EXPECT_TRUE(urls.count(frameHref.stringValue())) << testing::PrintToString(urls);
    if (!uiKind()) return;
    // The case at hand: what the origin received is not what the page wrote.
    std::vector<std::string> received;
    for (const auto& request : origin.log(folder + "/")) received.push_back(request.target);
    for (const std::string target : {"/img-1/odd/~A.png", "/fetch-1/odd/~?~=A",
                                     "/fetch-2/odd/%zz~%2F?%zz~", "/frame-1/odd/~.html"}) {
        EXPECT_EQ(std::count(received.begin(), received.end(), folder + target), 1)
            << target << " in " << testing::PrintToString(received);
        EXPECT_TRUE(urls.count(base + target))
            << target << " is not in the stash: " << testing::PrintToString(urls);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DZAdURLStashRewrittenURLService, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "UI" : "WK";
                         });

}  // namespace
