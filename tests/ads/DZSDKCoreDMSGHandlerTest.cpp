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

TEST_F(DZSDKCoreDMSGHandlerTest, AnswersReachTheDelegateInOrderAfterTheMessage) {
    send("result", {{"result", "{}"}});  // no id: dropped
    send("loadAdURL", {{"request_id", "1"}});
    send("loadAd", {{"request_id", "2"}, {"fetched_ad", "[]"}});  // not an object
    send("loadAd", {{"request_id", "3"}, {"fetched_ad", R"({"ad_html":"x"})"}});
    send("invalidRequest", {{"request_id", "4"}});
    send("result", {{"request_id", "5"}});
    send("loadSdkConstants", {});
    send("requestReload", {});
    // Results are handed on at once, the rest on the main queue.
    EXPECT_EQ(delegate->calls, std::vector<std::string>{"result 5"});
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"result 5", "url 1", "ad 3", "invalid 4",
                                                         "constants", "update"}));
    EXPECT_FALSE(handler->handleNotification(message("cacheResource"), nullptr));
}

}  // namespace
