// The URL stash and URL shapes: an ad page on a raw origin
// (testsupport::RawOrigin) loads URLs of every shape pages write
// (testsupport::shapes) through fetch, XHR, images, scripts, frames, form
// and script posts and redirects. In a "UI"-kind ad view the origin must
// receive every one of them, and the stash must hold each request the origin
// received under the ad view, its URL as the request line's target wrote
// it, byte for byte. In a "WK"-kind ad view the stash holds the navigations
// the ad view delegate let load, the frames' among them, under the URLs the
// engine loaded.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "AdWebTesting.h"
#include "InterceptTesting.h"
#include "ads/core/response/DZAd.h"
#include "ads/presentation/click/DZOpener.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "ads/web/intercept/DZURLProtocol.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "ads/web/view/DZAdViewSlot.h"
#include "core/JSON.h"
#include "support/RawOrigin.h"
#include "support/URLShapes.h"

namespace {

using namespace adwebtesting;
using intercepttesting::ShownAd;
using testsupport::RawAnswer;
using testsupport::RawOrigin;
using testsupport::shapes;

// The page's loads, every shape through every way; "frame <name>" is where
// each frame's document is.
constexpr const char* kPage = R"html(<!doctype html><meta charset=utf-8><body><script>
const BASE = location.origin + '/' + location.pathname.split('/')[1] + '/';
window.obs = {};
const settle = (p, ms) => Promise.race([Promise.resolve(p).then(v => v, e => 'error'),
                                        new Promise(r => setTimeout(() => r('timeout'), ms || 6000))]);
const loaded = element => settle(new Promise(r => {
  element.addEventListener('load', () => r('load'));
  element.addEventListener('error', () => r('error'));
}));
const message = source => settle(new Promise(r => addEventListener('message', e => {
  if (e.source === source()) r(e.data);
})));
(async () => {
  await Promise.all(SHAPES.map(async ([name, shape], i) => {
    const n = '-' + i + '/';
    await settle(fetch(BASE + 'fetch' + n + shape).then(r => r.text()));
    await settle(fetch(BASE + 'post' + n + shape, {method: 'POST', body: 'posted ' + i}).then(r => r.text()));
    await settle(fetch(BASE + 'redir' + n).then(r => r.text()));
    await settle(new Promise(r => {
      const x = new XMLHttpRequest();
      x.open('GET', BASE + 'xhr' + n + shape);
      x.onloadend = r;
      x.send();
    }));
    const image = new Image();
    const imageLoad = loaded(image);
    image.src = BASE + 'img' + n + shape;
    await imageLoad;
    const script = document.createElement('script');
    script.src = BASE + 'script' + n + shape;
    const scriptLoad = loaded(script);
    document.head.appendChild(script);
    await scriptLoad;
    const frame = document.createElement('iframe');
    frame.name = 'frame' + i;
    frame.src = BASE + 'frame' + n + shape;
    const told = message(() => frame.contentWindow);
    document.body.appendChild(frame);
    const m = await told;
    obs['frame ' + name] = m && m.href ? m.href : String(m);
    const form = document.createElement('form');
    form.method = 'post';
    form.target = frame.name;
    form.action = BASE + 'form' + n + shape;
    const input = document.createElement('input');
    input.name = 'word';
    input.value = 'a|b \u00e9';
    form.appendChild(input);
    document.body.appendChild(form);
    const posted = message(() => frame.contentWindow);
    form.submit();
    await posted;
  }));
  window.shapesDone = true;
})();
</script>)html";

class DZAdURLStashShapesService : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { ads::DZRegisterURLProtocol(); }
    void TearDown() override {
        shown.adView.reset();
        EXPECT_TRUE(drainMainQueue());
    }
    [[nodiscard]] bool uiKind() const { return GetParam(); }

    // The page in an ad view of the parameter's kind, its base URL on the
    // origin, until it has loaded everything.
    void show() {
        core::Array list;
        for (const auto& shape : shapes())
            list.emplace_back(core::Array{shape.name, shape.written});
        const std::string shapesScript = core::JSON::write(core::Value(std::move(list))).value();
        for (size_t i = 0; i < shapes().size(); ++i)
            origin.answer(folder + "/redir-" + std::to_string(i) + "/",
                          {"HTTP/1.1 302 Found",
                           {{"Location", folder + "/redir-to-" + std::to_string(i) + "/" +
                                             shapes()[i].written}},
                           {}});
        std::string page = kPage;
        page.insert(page.find("const BASE"), "const SHAPES = " + shapesScript + ";\n");
        ASSERT_TRUE(shown.show(page, core::URL::create(origin.origin() + folder + "/page").value(),
                               !uiKind()));
        EXPECT_TRUE(shown.waitUntil("window.shapesDone === true", 30));
    }

    RawOrigin origin;
    const std::string folder = RawOrigin::newRun();
    ShownAd shown;
};

// Every load of the page reaches the origin, and each request the origin
// received is in the stash under the URL its target wrote; in the WK kind,
// each frame's navigation is, under the URL the engine loaded.
TEST_P(DZAdURLStashShapesService, EveryLoadIsRecordedUnderItsAdViewByteForByte) {
    show();
    const auto log = origin.log(folder + "/");
    std::set<std::string> received;
    for (const auto& request : log) received.insert(request.target);
    const auto urls = shown.recorded();
    if (uiKind()) {
        std::vector<std::string> unreached, unrecorded;
        for (size_t i = 0; i < shapes().size(); ++i) {
            for (const std::string word :
                 {"fetch", "post", "redir-to", "xhr", "img", "script", "frame", "form"}) {
                const std::string tag = folder + "/" + word + "-" + std::to_string(i) + "/";
                if (std::none_of(received.begin(), received.end(), [&](const std::string& target) {
                        return target.starts_with(tag);
                    }))
                    unreached.push_back(word + " " + shapes()[i].name);
            }
        }
        for (const auto& target : received)
            if (!urls.count(origin.origin() + target))
                unrecorded.push_back(RawOrigin::printable(target));
        EXPECT_TRUE(unreached.empty())
            << "loads of the UI-kind ad page the origin never received (" << unreached.size()
            << "):\n  " << testing::PrintToString(unreached);
        EXPECT_TRUE(unrecorded.empty())
            << "requests the origin received that the stash does not "
               "hold under their target ("
            << unrecorded.size() << "):\n  " << testing::PrintToString(unrecorded);
        return;
    }
    std::vector<std::string> unrecorded;
    for (const auto& shape : shapes()) {
        const core::Value href =
            evaluate(*shown.adView->webView(),
                     "obs[" + core::JSON::write(core::Value("frame " + shape.name)).value() + "]");
        std::string loaded = href.stringValue();
        const std::string unfragmented = loaded.substr(0, loaded.find('#'));
        if (!urls.count(loaded) && !urls.count(unfragmented))
            unrecorded.push_back(shape.name + ": " + RawOrigin::printable(loaded));
    }
    EXPECT_TRUE(unrecorded.empty())
        << "frame navigations of the WK-kind ad page the stash does "
           "not hold under the URL the engine loaded ("
        << unrecorded.size() << "):\n  " << testing::PrintToString(unrecorded);
}

// URLs the engine sends otherwise than the page wrote them: escapes of what
// needs none ("%7e", "%41") go as the characters, the hex digits of other
// escapes in upper case, a bad escape as it is. In the UI kind the stash
// holds each request under the target the origin received, as any other;
// in both kinds it holds the frame's navigation under the URL the engine
// loaded.
TEST_P(DZAdURLStashShapesService, ALoadTheEngineRewroteIsRecordedAsAnyOther) {
    const std::string base = origin.origin() + folder;
    ASSERT_TRUE(shown.show(R"html(<!doctype html><body><script>
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
</script>)html",
                           core::URL::create(base + "/page").value(), !uiKind()));
    ASSERT_TRUE(shown.waitUntil("window.loadsDone === true", 30));
    const auto urls = shown.recorded();
    const core::Value frameHref = evaluate(*shown.adView->webView(), "window.frameHref");
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

INSTANTIATE_TEST_SUITE_P(Kinds, DZAdURLStashShapesService, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "UI" : "WK";
                         });

}  // namespace
