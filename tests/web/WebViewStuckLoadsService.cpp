// Loads that never end beside those that do, the same in both kinds of web
// view: a raw origin holds some requests unanswered and unread (a server
// that hangs), and the pages' other loads must go on as they go on when the
// engine loads alone ("WK"): a page's 120 uploads the origin never reads,
// and three pages' 70 fetches it never answers beside a fourth page. The
// stuck loads go to loopback addresses of their own (127.0.0.2 and on, each
// a host to the engine): the engine opens at most six connections to one
// host, and about 256 in all, so that three pages of 100 stall a fourth in
// "WK" too.

#include "WebViewTesting.h"
#include "support/RawOrigin.h"
#include "support/ResidentMemory.h"

namespace {

using web::WebViewConfiguration;
using namespace webtesting;
using testsupport::RawAnswer;
using testsupport::RawOrigin;

using Kind = WebViewConfiguration::Kind;

// Seconds the loads that end may take, beside those that do not.
constexpr double kLimit = 60;

RawAnswer held() {
    RawAnswer answer;
    answer.held = true;
    return answer;
}

// A page of the origin's run folder with note() and a fetch of "sink-"
// paths at hand, then script.
RawAnswer page(const std::string& script) {
    return RawAnswer::html(R"(<!doctype html><body><script>
window.obs = {};
const note = (key, value) => { window.obs[key] = String(value); };
const others = async count => {
  let done = 0;
  for (let i = 0; i < count; ++i)
    if (await fetch('sink-' + i).then(r => r.text(), () => 'failed') === 'taken') ++done;
  note('others', done);
};
)" + script + "</script>");
}

class WebViewStuckLoadsService : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        folder = RawOrigin::newRun();
        origin.answer(folder + "/sink-", RawAnswer{"HTTP/1.1 200 OK", {}, "taken"});
        origin.answer(folder + "/stuck-", held());
    }

    [[nodiscard]] std::string url(const std::string& path) const {
        return origin.origin() + folder + "/" + path;
    }
    [[nodiscard]] size_t stuck() const { return origin.log(folder + "/stuck-").size(); }

    RawOrigin origin{true};
    std::string folder;
};

// 120 uploads of 12 MiB that the origin never reads all reach it, and the
// page's other fetches go on meanwhile. Each held upload costs the app less
// than a MiB (the origin's side in this process included), whatever it
// took to set it going.
TEST_P(WebViewStuckLoadsService, APageGoesOnBesideItsStuckUploads) {
    origin.answer(folder + "/uploads.html", page(R"(
const body = new Blob([new Uint8Array(12 << 20)]);
const port = location.port, folder = location.pathname.replace(/[^/]*$/, '');
for (let i = 0; i < 120; ++i)
  fetch(`http://127.0.1.${i + 1}:${port}${folder}stuck-${i}`, {method: 'POST', body})
    .catch(() => {});
)"));
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto view = makeView(delegate, configurationOf(GetParam()));
    ASSERT_TRUE(view);
    const std::int64_t before = testsupport::residentBytes();
    ASSERT_TRUE(loadAndWait(*view, *delegate, *core::URL::create(url("uploads.html"))));
    EXPECT_TRUE(waitFor([&] { return stuck() == 120; }, kLimit))
        << stuck() << " of the uploads reached the origin";
    // What comes of the uploads has come.
    (void)waitFor([] { return false; }, 2);
    const std::int64_t grown = testsupport::residentBytes() - before;
    (void)evaluate(*view, "others(50); 0");
    EXPECT_TRUE(waitFor([&] { return pageObservations(*view).contains("others"); }, kLimit));
    EXPECT_EQ(pageObservations(*view)["others"], "50");
    std::cout << kindLabel(GetParam()) << ": the app grew by " << (grown >> 20)
              << " MiB with 120 uploads held\n";
    if (GetParam() == Kind::UI && testsupport::kMeasuresResidentMemory) {
        EXPECT_LT(grown, std::int64_t(120) << 20) << "the app grew by " << grown << " bytes";
    }
    view->stopLoading();
}

// Three pages with 70 fetches each that are never answered, and a fourth
// page loads beside them, its own fetches too.
TEST_P(WebViewStuckLoadsService, AViewLoadsBesideThreeWithStuckFetches) {
    origin.answer(folder + "/fetches.html", page(R"(
const at = new URLSearchParams(location.search).get('at');
const port = location.port, folder = location.pathname.replace(/[^/]*$/, '');
for (let i = 0; i < 70; ++i)
  fetch(`http://127.0.${at + 2}.${i + 1}:${port}${folder}stuck-${at}-${i}`).catch(() => {});
)"));
    origin.answer(folder + "/fourth.html", page("others(20);"));
    std::vector<std::shared_ptr<web::WebView>> views;
    for (int at = 0; at < 3; ++at) {
        const auto delegate = std::make_shared<RecordingDelegate>();
        views.push_back(makeView(delegate, configurationOf(GetParam())));
        ASSERT_TRUE(views.back());
        ASSERT_TRUE(loadAndWait(*views.back(), *delegate,
                                *core::URL::create(url("fetches.html?at=" + std::to_string(at)))));
    }
    EXPECT_TRUE(waitFor([&] { return stuck() == 210; }, kLimit))
        << stuck() << " of the fetches reached the origin";
    const auto delegate = std::make_shared<RecordingDelegate>();
    const auto fourth = makeView(delegate, configurationOf(GetParam()));
    ASSERT_TRUE(fourth);
    fourth->loadRequest(core::URLRequest(*core::URL::create(url("fourth.html"))));
    EXPECT_TRUE(waitFor([&] { return pageObservations(*fourth).contains("others"); }, kLimit));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"start", "commit", "finish"}));
    EXPECT_EQ(pageObservations(*fourth)["others"], "20");
    for (const auto& view : views) view->stopLoading();
}

INSTANTIATE_TEST_SUITE_P(Kinds, WebViewStuckLoadsService, testing::ValuesIn(kKinds), kindName);

}  // namespace
