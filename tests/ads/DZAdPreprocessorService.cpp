// The preprocessor against the native support page of the local ad server,
// on the manual clock: one outcome of answer, failure and time-out; the
// page's environment; messages of other ad views; the time limit from the
// start; the JSON the page receives.

#include "NativeTesting.h"
#include "ads/native/DZAdPreprocessor.h"
#include "ads/web/view/DZAdView.h"
#include "core/NotificationCenter.h"
#include "fixtures/ResponseGate.h"

namespace {

using namespace nativetesting;
using ads::DZAdPreprocessor;

struct Outcome {
    std::optional<core::Value> configuration;
    std::shared_ptr<ads::DZSlot> slot;
    std::optional<ads::Error> error;
};

class DZAdPreprocessorService : public NativeTest {
protected:
    // Starts preprocessing json; outcomes land in `outcomes`.
    void start(const std::string& json) {
        preprocessor = DZAdPreprocessor::create("native/unit");
        ASSERT_TRUE(preprocessor);
        preprocessor->preprocessNativeAdJSON(
            json, [this](const std::optional<core::Value>& configuration,
                         const std::shared_ptr<ads::DZSlot>& slot,
                         const std::optional<ads::Error>& error) {
                outcomes.push_back({configuration, slot, error});
            });
    }
    // Waits until the slot's page finished loading (the slot's state is 6).
    [[nodiscard]] bool pageLoaded() const {
        return waitFor([&] { return preprocessor->slot()->state() == ads::DZSlot::kValidAd; });
    }

    std::shared_ptr<DZAdPreprocessor> preprocessor;
    std::vector<Outcome> outcomes;
    const std::string kAds = R"({"ads":[{"type":"native","template_id":1,"headline":"h"}]})";
};

TEST_F(DZAdPreprocessorService, TheAnswerCountsOnceAndTheLaterTimeOutDoesNothing) {
    start(kAds);
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    ASSERT_TRUE(pageLoaded());
    // The page got the environment.
    ASSERT_TRUE(requested(fixtures::NativeAds::kReceivedPath));
    const auto preprocessed = received("preprocess");
    ASSERT_EQ(preprocessed.size(), 1u);
    EXPECT_EQ(preprocessed[0]["environment"],
              core::Value(core::Dictionary{{"sdk_version", "7.22.0"}}));
    clock.advance(1);
    ASSERT_TRUE(drainMainQueue());
    clock.advance(DZAdPreprocessor::kOverallTimeout);
    ASSERT_TRUE(drainMainQueue());
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].error);
    EXPECT_EQ(outcomes[0].configuration, core::JSON::parse(kAds));
    EXPECT_EQ(outcomes[0].slot, preprocessor->slot());
    EXPECT_FALSE(preprocessor->slot()->adLoadDelegate()) << "success hands the slot over";

    EXPECT_EQ(DZAdPreprocessor::environmentJSONString(), R"({"sdk_version":"7.22.0"})");
}

TEST_F(DZAdPreprocessorService, WithoutJSLoadedItTimesOutFiveSecondsAfterThePageLoaded) {
    useSupportPage("mode=silent");
    start(kAds);
    ASSERT_TRUE(pageLoaded());
    clock.advance(4.9);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(outcomes.empty());
    clock.advance(0.2);
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    ASSERT_TRUE(outcomes[0].error);
    EXPECT_EQ(outcomes[0].error->code, ads::kDZErrorInternalError);
    EXPECT_EQ(outcomes[0].error->message, "Timed out waiting for jsLoaded or nativeAdPreProcess DMSGs.");
    EXPECT_FALSE(outcomes[0].configuration);
    EXPECT_FALSE(outcomes[0].slot);
    EXPECT_TRUE(preprocessor->slot()->adLoadDelegate()) << "failures leave the delegate";
}

TEST_F(DZAdPreprocessorService, OnlyItsOwnAdViewsJSLoadedCounts) {
    useSupportPage("mode=silent");
    start(kAds);
    ASSERT_TRUE(pageLoaded());
    const auto other = ads::DZSlot::create();
    ASSERT_TRUE(other);
    auto& center = core::NotificationCenter::defaultCenter();
    center.post("jsLoaded", other->adView().get());
    ASSERT_TRUE(drainMainQueue());
    EXPECT_FALSE(requested(fixtures::NativeAds::kReceivedPath, 1, 0.5));
    EXPECT_TRUE(outcomes.empty());

    center.post("jsLoaded", preprocessor->slot()->adView().get());
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    EXPECT_FALSE(outcomes[0].error);
}

TEST_F(DZAdPreprocessorService, AnAnswerWithoutSuccessOrWithABareNumberIsAnInvalidResponse) {
    for (const char* mode : {"mode=bad", "mode=fragment"}) {
        SCOPED_TRACE(mode);
        outcomes.clear();
        useSupportPage(mode);
        start(kAds);
        ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
        ASSERT_TRUE(outcomes[0].error);
        EXPECT_EQ(outcomes[0].error->code, ads::kDZErrorReceivedInvalidResponse);
        EXPECT_EQ(outcomes[0].error->message, "Request Error: Received invalid response.");
        EXPECT_FALSE(outcomes[0].configuration);
    }
}

TEST_F(DZAdPreprocessorService, InvalidJSONFailsOnALaterTurnWithoutLoading) {
    start("{not json");
    EXPECT_TRUE(outcomes.empty()) << "never from within the call";
    ASSERT_TRUE(drainMainQueue());
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].error);
    EXPECT_TRUE(server.requestsTo(fixtures::NativeAds::kSupportPath).empty());
}

TEST_F(DZAdPreprocessorService, APageThatNeverFinishesTimesOutThirtySecondsAfterTheStart) {
    const auto gate = fixtures::ResponseGate::make();
    auto held = fixtures::LoopbackResponse::text("<html><body>", 200, "text/html");
    held.hold = gate;
    server.serve("/native/held.html", held);
    useSupportPage("", "/native/held.html");
    start(kAds);
    ASSERT_TRUE(requested("/native/held.html", 1));
    clock.advance(DZAdPreprocessor::kOverallTimeout - 0.1);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(outcomes.empty());
    clock.advance(0.2);
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    ASSERT_TRUE(outcomes[0].error);
    EXPECT_EQ(outcomes[0].error->code, ads::kDZErrorInternalError);
    EXPECT_EQ(outcomes[0].error->message, "Timed out waiting for jsLoaded or nativeAdPreProcess DMSGs.");
    gate->release();
}

TEST_F(DZAdPreprocessorService, ThePageGetsTheParsedJSONWithLineSeparatorsEscaped) {
    // A headline with U+2028 and U+2029, and text that would end a script
    // literal if the JSON went in as it came.
    const std::string headline = "one\xE2\x80\xA8two\xE2\x80\xA9three";
    const core::Value ads(core::Dictionary{
        {"ads", core::Array{core::Dictionary{{"headline", headline}, {"body", "x\"); alert(1); (\""}}}}});
    start(*core::JSON::write(ads));
    ASSERT_TRUE(preprocessor->nativeAdJSON());
    EXPECT_EQ(preprocessor->nativeAdJSON()->find("\xE2\x80\xA8"), std::string::npos);
    EXPECT_NE(preprocessor->nativeAdJSON()->find("\\u2028"), std::string::npos);
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    ASSERT_FALSE(outcomes[0].error);
    EXPECT_EQ(outcomes[0].configuration, ads);
}

}  // namespace
