// The SDK core handler's own rules: the refresh pause ids, saved state,
// and which answers reach its delegate.

#include <gtest/gtest.h>

#include "AdWebTesting.h"
#include "DMSGTesting.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandler.h"
#include "core/UserDefaults.h"

namespace {

using dmsgtesting::message;

class RecordingDelegate : public ads::DZSDKCoreDMSGHandlerDelegate {
public:
    std::vector<std::string> calls;
    void loadAdURLWithRequestID(ads::DZSDKCoreDMSGHandler&, const std::optional<std::string>& id,
                                const core::Dictionary&) override {
        calls.push_back("url " + id.value_or("-"));
    }
    void loadAdWithRequestID(ads::DZSDKCoreDMSGHandler&, const std::optional<std::string>& id,
                             const core::Dictionary&) override {
        calls.push_back("ad " + id.value_or("-"));
    }
    void didReceiveInvalidAdWithRequestID(ads::DZSDKCoreDMSGHandler&,
                                          const std::optional<std::string>& id,
                                          const core::Dictionary&) override {
        calls.push_back("invalid " + id.value_or("-"));
    }
    void didLoadSDKConstants(ads::DZSDKCoreDMSGHandler&, const core::Dictionary&) override {
        calls.push_back("constants");
    }
    void
    SDKCoreDMSGHandlerDidReceiveSDKCoreUpdateNotification(ads::DZSDKCoreDMSGHandler&) override {
        calls.push_back("update");
    }
    void didReceiveResultActionWithRequestID(ads::DZSDKCoreDMSGHandler&, const std::string& id,
                                             const core::Dictionary&) override {
        calls.push_back("result " + id);
    }
    void
    SDKCoreDMSGHandlerDidReceivePauseSDKCoreRefreshAction(ads::DZSDKCoreDMSGHandler&) override {
        calls.push_back("pause");
    }
    void
    SDKCoreDMSGHandlerDidReceiveResumeSDKCoreRefreshAction(ads::DZSDKCoreDMSGHandler&) override {
        calls.push_back("resume");
    }
};

class DZSDKCoreDMSGHandlerTest : public testing::Test {
protected:
    void SetUp() override { handler->setDelegate(delegate); }
    void TearDown() override {
        core::UserDefaults::standard()->removeObjectForKey(
            ads::DZSDKCoreDMSGHandler::kSavedStateKey);
    }
    void send(std::string name, core::Dictionary parameters) {
        EXPECT_TRUE(
            handler->handleNotification(message(std::move(name), std::move(parameters)), nullptr));
    }

    std::shared_ptr<ads::DZSDKCoreDMSGHandler> handler =
        std::make_shared<ads::DZSDKCoreDMSGHandler>();
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(DZSDKCoreDMSGHandlerTest, TheRefreshStaysPausedWhileAnyIdAsksForIt) {
    send("sdkCoreRefresh", {{"refresh", "pause"}, {"request_id", "1"}});
    send("sdkCoreRefresh", {{"refresh", "pause"}, {"request_id", "2"}});
    send("sdkCoreRefresh", {{"refresh", "resume"}, {"request_id", "1"}});
    send("sdkCoreRefresh", {{"refresh", "pause"}, {"request_id", "x"}});  // no id: nothing
    send("sdkCoreRefresh", {{"refresh", "other"}, {"request_id", "9"}});
    send("sdkCoreRefresh", {{"refresh", "resume"}, {"request_id", " 2 "}});
    send("sdkCoreRefresh", {{"refresh", "pause"}, {"request_id", "3"}});
    // An id outside the integer range is no id.
    send("sdkCoreRefresh", {{"refresh", "pause"}, {"request_id", "1e300"}});
    send("sdkCoreRefresh", {{"refresh", "pause"}, {"request_id", "-9.3e18"}});
    send("sdkCoreRefresh", {{"refresh", "cancel"}});
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"pause", "pause", "pause", "pause",
                                                         "resume", "pause", "resume"}));
    EXPECT_TRUE(handler->SDKCoreRefreshPauseIDs().empty());
}

TEST_F(DZSDKCoreDMSGHandlerTest, SavedStateKeepsTextEntriesUnderItsVersion) {
    const auto saved = [] {
        return core::UserDefaults::standard()->dictionaryForKey(
            ads::DZSDKCoreDMSGHandler::kSavedStateKey);
    };
    send("saveState", {{"key", "a"}, {"state", 5}});
    EXPECT_FALSE(saved());
    send("saveState", {{"key", "a"}, {"state", "1"}});
    send("saveState", {{"key", "b"}, {"state", "2"}});
    send("saveState", {{"key", "a"}, {"state", "3"}});
    EXPECT_EQ(saved(), (core::Dictionary{{"version", 1}, {"a", "3"}, {"b", "2"}}));
}

TEST_F(DZSDKCoreDMSGHandlerTest, SavedStateStaysWithinItsBoundsAndKeepsWhatWasSaved) {
    using Handler = ads::DZSDKCoreDMSGHandler;
    const auto saved = [] {
        return core::UserDefaults::standard()
            ->dictionaryForKey(Handler::kSavedStateKey)
            .value_or(core::Dictionary{});
    };
    send("saveState", {{"key", "version"}, {"state", "7"}});
    EXPECT_TRUE(saved().empty()) << "the version is the SDK's own";
    for (size_t i = 0; i < 32; ++i)
        send("saveState", {{"key", "k" + std::to_string(i)}, {"state", "s"}});
    send("saveState", {{"key", "k32"}, {"state", "s"}});
    const core::Dictionary full = saved();
    EXPECT_EQ(full.size(), 33u) << "32 keys of the page and the version";
    EXPECT_FALSE(full.contains("k32"));
    EXPECT_EQ(full["version"], core::Value(1));

    // Known keys may change; a key or a state past its bound changes nothing.
    send("saveState", {{"key", "k0"}, {"state", "t"}});
    EXPECT_EQ(saved()["k0"], core::Value("t"));
    send("saveState", {{"key", std::string(257, 'k')}, {"state", "s"}});
    send("saveState", {{"key", "k1"}, {"state", std::string(64 * 1024, 's')}});
    send("saveState", {{"key", "version"}, {"state", "2"}});
    core::Dictionary expected = full;
    expected.set("k0", "t");
    EXPECT_EQ(saved(), expected);

    // The total counts keys and states of the page: up to 64 KiB fits.
    size_t others = 0;
    for (const auto& [key, value] : saved()) {
        if (key == "version" || key == "k1") continue;
        ASSERT_TRUE(value.string()) << key;
        others += key.size() + value.string()->size();
    }
    const std::string fits(64 * 1024 - others - 2, 'x');
    send("saveState", {{"key", "k1"}, {"state", fits}});
    EXPECT_EQ(saved()["k1"], core::Value(fits));
    send("saveState", {{"key", "k2"}, {"state", "ss"}});
    EXPECT_EQ(saved()["k2"], core::Value("s")) << "one byte over";
}

TEST_F(DZSDKCoreDMSGHandlerTest, AStoreOverTheBoundsIsKeptAndMayOnlyShrink) {
    using Handler = ads::DZSDKCoreDMSGHandler;
    // Saved by an earlier version: a foreign version and a large state.
    const core::Dictionary old{{"version", "x"}, {"big", std::string(70 * 1024, 'b')}};
    core::UserDefaults::standard()->setObject(std::string(Handler::kSavedStateKey), old);
    send("saveState", {{"key", "new"}, {"state", "1"}});
    EXPECT_EQ(core::UserDefaults::standard()->dictionaryForKey(Handler::kSavedStateKey), old);
    send("saveState", {{"key", "big"}, {"state", "small"}});
    EXPECT_EQ(core::UserDefaults::standard()->dictionaryForKey(Handler::kSavedStateKey),
              (core::Dictionary{{"version", 1}, {"big", "small"}}));
}

TEST_F(DZSDKCoreDMSGHandlerTest, AFetchIsReadFromItsJSONOrAnswersAnError) {
    using Handler = ads::DZSDKCoreDMSGHandler;
    const auto read = [](const std::string& json) {
        return Handler::fetchRequestFromParameters({{"http_request", json}});
    };
    const auto post = read(R"({"http_request_id":"7","url":"https://a.test/f","post_body":"b=1",)"
                           R"("content_type":"text/plain","headers":[{"key":"X-A","value":"1"},)"
                           R"(3,{"key":"X-B"},{"key":"X-A","value":"2"}]})");
    ASSERT_TRUE(post.request);
    EXPECT_EQ(post.id, "7");
    EXPECT_EQ(post.request->method(), "POST");
    EXPECT_EQ(post.request->value("X-A"), "2");
    EXPECT_FALSE(post.request->value("X-B"));

    const auto notJSON = read("{");
    EXPECT_FALSE(notJSON.id);
    EXPECT_TRUE(notJSON.error);
    EXPECT_FALSE(read(R"({"url":"https://a.test/"})").id);
    for (const char* url : {R"("")", R"("file:///etc/passwd")", "3", R"("not a url")"}) {
        const auto refused = read(std::string(R"({"http_request_id":"1","url":)") + url + "}");
        EXPECT_EQ(refused.id, "1") << url;
        EXPECT_FALSE(refused.request) << url;
        ASSERT_TRUE(refused.error) << url;
        EXPECT_EQ(refused.error->message.rfind("Invalid URL (", 0), 0u) << url;
    }
}

TEST_F(DZSDKCoreDMSGHandlerTest, AnswersReachTheDelegateInOrderAfterTheMessage) {
    send("result", {{"result", "{}"}});  // no id: dropped
    send("loadAdURL", {{"request_id", "1"}});
    send("loadAd", {{"request_id", "2"}, {"fetched_ad", "[]"}});  // not an object
    send("loadAd", {{"request_id", "3"}, {"fetched_ad", R"({"ad_html":"x"})"}});
    send("invalidRequest", {{"request_id", "4"}});
    send("result", {{"request_id", "5"}});
    send("loadSdkConstants", {});
    send("requestReload", {});
    // Results are handed on at once, the rest on the main queue (the ad
    // decoded on the way).
    EXPECT_EQ(delegate->calls, std::vector<std::string>{"result 5"});
    ASSERT_TRUE(adwebtesting::waitFor([&] { return delegate->calls.size() >= 6; }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"result 5", "url 1", "ad 3", "invalid 4",
                                                         "constants", "update"}));
    EXPECT_FALSE(handler->handleNotification(message("noSuchMessage"), nullptr));
}

}  // namespace
