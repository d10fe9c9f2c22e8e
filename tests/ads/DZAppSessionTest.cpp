#include <gtest/gtest.h>

#include "ads/foundation/DZAppSession.h"
#include "ads/foundation/DZSafariSupport.h"
#include "core/UserDefaults.h"
#include "store/SafariViewController.h"
#include "support/ManualClockScope.h"

using namespace ads;

namespace {

class DZAppSession : public testing::Test {
protected:
    void SetUp() override {
        for (auto key : {kDZLastUserEngagementKey, kDZTimeInSessionKey, kDZAppSessionTimeoutKey}) {
            defaults->removeObjectForKey(key);
        }
        clock->setSecondsSinceBoot(1000);
    }

    testsupport::ManualClockScope clock;
    std::shared_ptr<core::UserDefaults> defaults = core::UserDefaults::standard();
};

}  // namespace

TEST_F(DZAppSession, NoStoredEngagementIsNoNewSession) {
    EXPECT_FALSE(DZIsNewAppSession());
    clock.advance(100000);
    EXPECT_FALSE(DZIsNewAppSession());
}

TEST_F(DZAppSession, DefaultTimeoutIsFiveMinutes) {
    DZRecordUserEngagementTime();
    EXPECT_DOUBLE_EQ(defaults->doubleForKey(kDZLastUserEngagementKey), 1000);
    clock.advance(300);
    EXPECT_FALSE(DZIsNewAppSession());
    clock.advance(0.5);
    EXPECT_TRUE(DZIsNewAppSession());
}

TEST_F(DZAppSession, ABootClockBehindTheEngagementStartsANewSession) {
    DZRecordUserEngagementTime();
    EXPECT_TRUE(DZIsNewAppSession());  // no time has passed: now - last == 0
    clock.advance(1);
    EXPECT_FALSE(DZIsNewAppSession());
    clock->setSecondsSinceBoot(20);  // the device restarted
    EXPECT_TRUE(DZIsNewAppSession());
}

TEST_F(DZAppSession, ServerTimeoutInMillisecondsIsConvertedOnce) {
    DZSetAppSessionTimeoutMilliseconds(600000);
    EXPECT_DOUBLE_EQ(defaults->doubleForKey(kDZAppSessionTimeoutKey), 600);
    DZRecordUserEngagementTime();
    clock.advance(400);  // past the default, within the server's ten minutes
    EXPECT_FALSE(DZIsNewAppSession());
    clock.advance(201);
    EXPECT_TRUE(DZIsNewAppSession());
}

TEST_F(DZAppSession, TimeInSessionStoresTheBootClock) {
    clock.advance(42);
    DZSetTimeInSession();
    EXPECT_DOUBLE_EQ(defaults->doubleForKey(kDZTimeInSessionKey), 1042);
}

TEST(DZSafariSupport, SchemesComeFromTheServerListOrDefaultToWeb) {
    auto defaults = core::UserDefaults::standard();
    defaults->removeObjectForKey(kDZSafariSupportedSchemesKey);
    EXPECT_TRUE(DZSafariViewControllerSupportsURL(core::URL::create("HTTPS://h/")));
    EXPECT_FALSE(DZSafariViewControllerSupportsURL(core::URL::create("ftp://h/")));
    EXPECT_FALSE(DZSafariViewControllerSupportsURL(core::URL::create("/relative")));
    EXPECT_FALSE(DZSafariViewControllerSupportsURL(std::nullopt));

    defaults->setObject(std::string(kDZSafariSupportedSchemesKey),
                        core::Array{core::Value("ftp"), core::Value(1), core::Value("HTTP")});
    EXPECT_TRUE(DZSafariViewControllerSupportsURL(core::URL::create("FTP://h/")));
    // Entries compare without case, as schemes do.
    EXPECT_TRUE(DZSafariViewControllerSupportsURL(core::URL::create("http://h/")));
    EXPECT_FALSE(DZSafariViewControllerSupportsURL(core::URL::create("https://h/")));
    defaults->removeObjectForKey(kDZSafariSupportedSchemesKey);
}

TEST(DZSafariSupport, TheBrowserClassIsThePlatformsInAppBrowser) {
    const auto browserClass = DZSafariViewControllerClass();
    ASSERT_TRUE(browserClass);
    EXPECT_EQ(browserClass->name, "SFSafariViewController");
    const auto url = core::URL::create("https://h.example/p?q=1");
    const auto browser =
        std::dynamic_pointer_cast<store::SafariViewController>(browserClass->create(*url));
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->url(), *url);
    // What it cannot show, it does not make.
    EXPECT_FALSE(browserClass->create(*core::URL::create("ftp://h/")));
}
