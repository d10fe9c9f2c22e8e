#include <gtest/gtest.h>

#include <cmath>

#include "ads/core/request/DZDynamicHeightSearchRequest.h"
#include "ads/core/request/DZSearchRequest.h"
#include "ads/core/request/DZSignalModule.h"
#include "core/UserDefaults.h"
#include "support/ValuePrinting.h"

using namespace ads;

namespace {

class NoSignal final : public DZSignalModule {
public:
    void start(std::string_view) override {}
    bool querySignal(std::string& signal, bool) override {
        if (!pair) return false;
        signal += *pair;
        return true;
    }
    std::optional<std::string> pair;
};

class SignalScope {
public:
    SignalScope() { DZSignalModule::install(module); }
    ~SignalScope() { DZSignalModule::install(nullptr); }
    std::shared_ptr<NoSignal> module = std::make_shared<NoSignal>();
};

const std::string kFixedKeys = "OSType=iOS&SDKVersion=" + DZRequest::sdkVersion();

}  // namespace

TEST(DZSearchRequest, OnlyAQueryWritesTheUnsignedDefaults) {
    DZSearchRequest request;
    request.search().query = "shoes";
    EXPECT_EQ(request.threadSafeParameters()["search"],
              core::Value(core::Dictionary{{"q", "shoes"},
                                           {"headersize", "0"},
                                           {"btype", "none"},
                                           {"bthick", "0"},
                                           {"callbuttoncolor", "light"}}));
    EXPECT_FALSE(request.cacheable());
}

TEST(DZSearchRequest, ColoursAreTruncatedRGBText) {
    struct Case {
        gfx::Color color;
        std::string text;
    };
    const Case cases[] = {
        {{1, 0, 0, 1}, "#ff0000"},
        {{0.5, 0.5, 0.5, 1}, "#7f7f7f"},
        {{0, 0.2, 1, 0}, "#0033ff"},  // alpha plays no part
        {{2, -1, NAN, 1}, "#ff0000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DZSearchColorString(c.color), c.text);
    }
}

TEST(DZSearchRequest, EveryPropertySurvivesTheParametersAndACopy) {
    DZSearchRequest request;
    auto& p = request.search();
    p.query = "q";
    p.headerColor = gfx::Color{0, 0, 1, 1};
    p.descriptionTextColor = gfx::Color{0, 1, 0, 1};
    p.anchorTextColor = gfx::Color{1, 1, 1, 1};
    p.borderColor = gfx::Color{0, 0, 0, 1};
    p.fontFamily = "serif";
    p.headerTextSize = 18;
    p.borderType = DZSearchRequest::kBorderDotted;
    p.borderThickness = 2;
    p.customChannels = "c1+c2";
    p.callButtonColor = DZSearchRequest::kCallButtonDark;
    request.setBackgroundGradientFrom(gfx::Color{1, 0, 0, 1}, gfx::Color{0, 0, 1, 1});
    const auto search = request.threadSafeParameters()["search"];
    ASSERT_TRUE(search.dictionary());
    EXPECT_EQ(search.dictionary()->keys(),
              (std::vector<std::string>{"q", "gradientfrom", "gradientto", "hcolor", "dcolor",
                                        "acolor", "font", "headersize", "bcolor", "btype", "bthick",
                                        "channel", "callbuttoncolor"}));

    const auto rebuilt = std::dynamic_pointer_cast<DZSearchRequest>(
        DZRequest::initWithParameters(request.threadSafeParameters()));
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(rebuilt->threadSafeParameters()["search"], search);
    const auto copied = std::dynamic_pointer_cast<DZSearchRequest>(request.copy());
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->threadSafeParameters()["search"], search);
}

TEST(DZSearchRequest, ReadingBackIgnoresWrongKindsAndUnknownNames) {
    const auto request =
        std::dynamic_pointer_cast<DZSearchRequest>(DZSearchRequest::initWithParameters(
            core::Dictionary{{"search", core::Dictionary{{"q", 5},
                                                         {"bgcolor", 0xff0000},
                                                         {"hcolor", "#00ff00"},
                                                         {"headersize", 12},
                                                         {"bthick", "3"},
                                                         {"btype", "wavy"},
                                                         {"callbuttoncolor", "medium"}}}}));
    ASSERT_TRUE(request);
    const auto& p = request->search();
    EXPECT_FALSE(p.query);
    EXPECT_FALSE(p.backgroundColor);
    ASSERT_TRUE(p.headerColor);
    EXPECT_EQ(DZSearchColorString(*p.headerColor), "#00ff00");
    EXPECT_EQ(p.headerTextSize, 0u);
    EXPECT_EQ(p.borderThickness, 3u);
    EXPECT_EQ(p.borderType, DZSearchRequest::kBorderNone);
    EXPECT_EQ(p.callButtonColor, DZSearchRequest::kCallButtonMedium);
}

TEST(DZSearchRequest, SolidAndGradientBackgroundsReplaceEachOther) {
    DZSearchRequest request;
    const gfx::Color red{1, 0, 0, 1};
    const gfx::Color blue{0, 0, 1, 1};
    request.setBackgroundGradientFrom(red, blue);
    request.setBackgroundGradientFrom(blue, std::nullopt);  // changes nothing
    EXPECT_EQ(request.search().gradientFrom, red);
    EXPECT_FALSE(request.search().backgroundColor);
    request.setBackgroundSolid(blue);
    EXPECT_EQ(request.search().backgroundColor, blue);
    EXPECT_FALSE(request.search().gradientFrom || request.search().gradientTo);
}

TEST(DZDynamicHeightSearchRequest, FragmentIsSortedEscapedAndEndsWithTheFixedKeys) {
    SignalScope signal;
    DZDynamicHeightSearchRequest request;
    request.setQuery("red shoes");
    request.setAdTestEnabled(true);
    request.setNumberOfAds(3);
    request.setTitleFontSize(12.5);
    request.setBoldTitleEnabled(true);
    request.setAdvancedOptionValue("v/1", "my key");
    request.setAdvancedOptionValue(core::Array{}, "ignored");
    request.setAdvancedOptionValue("x", "pubId");  // the ad unit id wins
    EXPECT_EQ(request.dynamicHeightAdURLFragmentsWithAdUnitID("pub-1/search"),
              kFixedKeys +
                  "&adTest=on&fontSizeTitle=12.5&my%20key=v%2F1&number=3&pubId=pub-1%2Fsearch"
                  "&query=red%20shoes&titleBold=1");

    // Setting nothing keeps the earlier entry.
    request.setQuery(std::nullopt);
    request.setBoldTitleEnabled(false);
    signal.module->pair = "sig=abc";
    EXPECT_EQ(request.dynamicHeightAdURLFragmentsWithAdUnitID("p"),
              kFixedKeys + "&adTest=on&fontSizeTitle=12.5&my%20key=v%2F1&number=3&pubId=p"
                           "&query=red%20shoes&sig=abc&titleBold=0");
}

TEST(DZDynamicHeightSearchRequest, HostIsTheCustomDomainOrTheConfiguredOne) {
    SignalScope signal;
    DZDynamicHeightSearchRequest request;
    request.setChannel("c");
    const std::string tail = "/afs/ads/i/webview.html#" + kFixedKeys + "&channel=c&pubId=p";
    EXPECT_EQ(request.CSADynamicHeightSearchRequestURLWithAdUnitID("p")->absoluteString(),
              "https://" + std::string(DZDynamicHeightSearchRequest::kDefaultSearchHost) + tail);

    core::UserDefaults::standard()->setObject(
        std::string(DZDynamicHeightSearchRequest::kSearchHostKey), "search.test");
    request.setAdvancedOptionValue("", "customDomain");
    EXPECT_EQ(request.CSADynamicHeightSearchRequestURLWithAdUnitID("p")->absoluteString(),
              "https://search.test" + tail);
    core::UserDefaults::standard()->removeObjectForKey(
        std::string(DZDynamicHeightSearchRequest::kSearchHostKey));

    request.setAdvancedOptionValue("ads.example.test", "customDomain");
    const auto url = request.CSADynamicHeightSearchRequestURLWithAdUnitID("p");
    EXPECT_EQ(url->absoluteString(), "https://ads.example.test" + tail);

    const auto copy = std::dynamic_pointer_cast<DZDynamicHeightSearchRequest>(request.copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->CSADynamicHeightSearchRequestURLWithAdUnitID("p"), url);
    EXPECT_EQ(copy->channel(), "c");
}
