// The URL stash and URLs the engine rewrites on their way out: an ad page
// on a raw origin (testsupport::RawOrigin) loads an image, a fetch and a
// frame whose URLs escape characters that need no escape ("%7e", "%41"),
// which the engine's network stack sends as the characters themselves (the
// hex digits of other escapes in upper case, a bad escape as it is). In
// a "UI"-kind ad view the stash holds each request under the target the
// origin received, as it holds any other; in both kinds it holds the
// frame's navigation under the URL the engine loaded.

#include <gtest/gtest.h>

#include <algorithm>

#include "InterceptTesting.h"
#include "ads/web/intercept/DZURLProtocol.h"
#include "support/RawOrigin.h"

namespace {

using namespace adwebtesting;
using intercepttesting::ShownAd;
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
        shown.adView.reset();
        EXPECT_TRUE(drainMainQueue());
    }

    RawOrigin origin;
    const std::string folder = RawOrigin::newRun();
    ShownAd shown;
};

TEST_P(DZAdURLStashRewrittenURLService, ALoadTheEngineRewroteIsRecordedAsAnyOther) {
    const bool uiKind = GetParam();
    const std::string base = origin.origin() + folder;
    ASSERT_TRUE(shown.show(kPage, core::URL::create(base + "/page").value(), !uiKind));
    ASSERT_TRUE(shown.waitUntil("window.loadsDone === true", 30));
    const auto urls = shown.recorded();
    const core::Value frameHref = evaluate(*shown.adView->webView(), "window.frameHref");
    EXPECT_EQ(frameHref, core::Value(base + "/frame-1/odd/%7e.html"));
    EXPECT_TRUE(urls.count(frameHref.stringValue())) << testing::PrintToString(urls);
    if (!uiKind) return;
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
