// The core page's answers through a real core web view on the local ad
// server's page: an answer that carries a whole ad of megabytes is taken
// (the core page's bound is its own, far above an ad's), and answers of
// very different sizes, sent back to back, reach their handler in the
// order the page sent them; in both web view kinds, a long message the page
// gives a frame is taken beside the navigation and reads as one that came
// through it; and every message, short or long, is decided by the page's
// web view and ad view before it reaches its handler.

#include "DMSGTesting.h"
#include "SDKCoreTesting.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "web/WebProcessProtocol.h"

namespace {

using namespace sdkcoretesting;
using AdAnswer = fixtures::CorePageOptions::AdAnswer;

class DZSDKCoreMessagesService : public SDKCoreTest {};

TEST_F(DZSDKCoreMessagesService, AnAnswerCarryingAThreeMebibyteAdIsHandled) {
    // Three times an ad's bound: the answer is the page's, not an ad's.
    const size_t size = size_t(3) << 20;
    ASSERT_GT(size, ads::DZWebViewConfiguration::kMaximumMessageURLBytes);
    fixtures::CorePageOptions options;
    options.adAnswer = AdAnswer::inlineAd;
    options.inlineAd = {{"ad_html", "<p>" + std::string(size, 'z') + "</p>"},
                        {"ad_base_url", "https://ads.test/"}};
    server.setCorePage(options);
    makeController();
    const auto requester = std::make_shared<RecordingRequester>();
    controller->buildAdURL(requester);
    ASSERT_TRUE(waitFor([&] { return !requester->events.empty(); }));
    ASSERT_EQ(requester->events, std::vector<std::string>{"ad"});
    ASSERT_TRUE(requester->ad && requester->ad->adHTML());
    EXPECT_EQ(requester->ad->adHTML()->size(), size + 7);
}

TEST_F(DZSDKCoreMessagesService, AnswersOfTwoMebibytesAndOfTenBytesArriveInTheOrderSent) {
    makeController();
    ASSERT_TRUE(loadPage());
    const auto handler =
        std::make_shared<dmsgtesting::RecordingHandler>(std::vector<std::string>{"order"});
    page().adViewDelegate()->addDMSGHandler(handler);
    // Even ones carry 2 MiB, odd ones 10 bytes; all sent in one turn.
    constexpr int kCount = 50;
    (void)evaluate("for (var i = 0; i < " + std::to_string(kCount) +
                   "; ++i) DUZO_send('order', {i: String(i),"
                   " d: 'z'.repeat(i % 2 ? 10 : 2 * 1024 * 1024)}); true");
    ASSERT_TRUE(waitFor([&] { return handler->performed.size() == size_t(kCount); }, 60));
    std::vector<int> order;
    for (size_t at = 0; at < handler->performed.size(); ++at) {
        const auto parameters = handler->parametersAt(at);
        ASSERT_TRUE(parameters);
        const int index = std::stoi((*parameters)["i"].stringValue());
        EXPECT_EQ((*parameters)["d"].stringValue().size(), index % 2 ? 10u : size_t(2) << 20);
        order.push_back(index);
    }
    std::vector<int> sent(kCount);
    for (int i = 0; i < kCount; ++i) sent[i] = i;
    EXPECT_EQ(order, sent);
}

// The same in both web view kinds: long messages the page gives its hidden
// frames are taken beside the navigation, and reach their handlers as a
// navigation would have brought them, in their place among the others.
class DZSDKCoreKindMessagesService : public SDKCoreTest,
                                     public testing::WithParamInterface<const char*> {
protected:
    void makeControllerOfKind() {
        const std::string kind = GetParam();
        controller = ads::DZSDKCoreController::create([kind](ads::DZWebViewConfiguration c) {
            c.setWebViewClassKey(kind);
            return ads::DZSDKCoreWebView::create(c);
        });
        ASSERT_TRUE(controller && controller->activeSDKCoreWebView());
        controller->setSDKCoreWebViewLoadTimeout(kTestLoadTimeout);
    }
};

TEST_P(DZSDKCoreKindMessagesService, ALongMessageReachesItsHandlerAsANavigationWouldBringIt) {
    makeControllerOfKind();
    ASSERT_TRUE(loadPage());
    const auto handler =
        std::make_shared<dmsgtesting::RecordingHandler>(std::vector<std::string>{"order"});
    page().adViewDelegate()->addDMSGHandler(handler);
    // Escaped characters, a long one through a frame, a short one, and the
    // same long text by a location change (never taken: it comes through
    // the engine's policy step).
    const std::string text = "'\u00e9 &=?%'.repeat(40000)";
    const core::Value taken =
        evaluate("DUZO_send('order', {i: '1', d: " + text +
                 "}); DUZO_send('order', {i: '2'});"
                 "var taken = [].some.call(document.querySelectorAll('iframe'), function (f) {"
                 "  return (f.getAttribute('src') || '').indexOf('vantor-message:') === 0; });"
                 "location.href = 'dmsg://core/order?i=3&d=' + encodeURIComponent(" +
                 text + "); taken");
    ASSERT_TRUE(waitFor([&] { return handler->performed.size() >= 3; }));
    EXPECT_EQ(taken, core::Value(true));
    ASSERT_EQ(handler->performed.size(), 3u);
    const auto parameters = [&](size_t at) {
        return handler->parametersAt(at).value_or(core::Value());
    };
    EXPECT_EQ(parameters(0)["i"], core::Value("1"));
    EXPECT_EQ(parameters(1)["i"], core::Value("2"));
    EXPECT_EQ(parameters(2)["i"], core::Value("3"));
    EXPECT_EQ(parameters(0)["d"].stringValue().size(), 40000u * 7);
    EXPECT_EQ(parameters(0)["d"].stringValue().substr(0, 7), "\xc3\xa9 &=?%");
    EXPECT_EQ(parameters(0)["d"], parameters(2)["d"]);
}

TEST_P(DZSDKCoreKindMessagesService, EveryMessageIsDecidedByTheWebViewAndTheAdViewInOrder) {
    makeControllerOfKind();
    ASSERT_TRUE(loadPage());
    const auto handler =
        std::make_shared<dmsgtesting::RecordingHandler>(std::vector<std::string>{"order"});
    page().adViewDelegate()->addDMSGHandler(handler);
    const auto spy = adwebtesting::DecisionSpy::install(page().adView());
    // Short and long by frames (the long one beside the engine), then a
    // short one by a location change, which the engine makes once the
    // script has run. Two carry characters the engine leaves unescaped.
    const size_t kLong = 200'000;
    const core::Value sources =
        evaluate("DUZO_send('order', {i: '1'});"
                 "var f = document.createElement('iframe');"
                 "f.src = 'dmsg://core/order?i=2&raw={a|b}&d=' + 'z'.repeat(" +
                 std::to_string(kLong) +
                 ");"
                 "document.body.appendChild(f);"
                 "DUZO_send('order', {i: '3'});"
                 "location.href = 'dmsg://core/order?i=4&raw={a|b}';"
                 "[].map.call(document.querySelectorAll('iframe'), function (f) {"
                 "  return (f.getAttribute('src') || '').split(':')[0]; }).slice(-3)");
    ASSERT_TRUE(waitFor([&] { return handler->performed.size() >= 4; }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(sources, core::Value(core::Array{core::Value("dmsg"),
                                               core::Value(web::protocol::kMessageReferenceScheme),
                                               core::Value("dmsg")}));
    // Each reached its handler once, in the order sent.
    ASSERT_EQ(handler->performed.size(), 4u);
    for (size_t at = 0; at < 4; ++at) {
        const auto parameters = handler->parametersAt(at);
        ASSERT_TRUE(parameters) << at;
        EXPECT_EQ((*parameters)["i"], core::Value(std::to_string(at + 1))) << at;
        if (at % 2) {
            EXPECT_EQ((*parameters)["raw"], core::Value("{a|b}")) << at;
        }
    }
    // And each went through the web view's decision step to the ad view's,
    // with the engine's User-Agent field, whole, and was refused.
    const auto decisions = spy->decisionsFor("dmsg://core/order?");
    ASSERT_EQ(decisions.size(), 4u);
    for (size_t at = 0; at < 4; ++at) {
        EXPECT_NE(decisions[at].url.find("i=" + std::to_string(at + 1)), std::string::npos) << at;
        EXPECT_TRUE(decisions[at].agent && !decisions[at].agent->empty()) << at;
        EXPECT_EQ(decisions[at].type, 5) << at;
        EXPECT_FALSE(decisions[at].allowed) << at;
    }
    EXPECT_GT(decisions[1].url.size(), kLong);
    EXPECT_LT(decisions[2].url.size(), size_t(200));
}

INSTANTIATE_TEST_SUITE_P(Kinds, DZSDKCoreKindMessagesService, testing::Values("ui", "wk"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

}  // namespace
