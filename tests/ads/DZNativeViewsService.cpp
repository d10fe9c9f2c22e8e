// The overlay over a native ad's page and the native media content, in
// real web views against the local ad server: overlay loads, identifiers
// and messages both ways; video loads with their one outcome, the time
// limit on the manual clock, a load's own time-out check, the server's
// switch that stops the media view scrolling, and the page's video
// messages driving the ad view's player on the scripted engine.

#include "NativeTesting.h"
#include "ads/native/DZMediaContent.h"
#include "ads/native/DZMediaView.h"
#include "ads/native/DZNativeAdImage.h"
#include "ads/native/DZOverlayView.h"
#include "ads/web/view/DZAdView.h"
#include "ads/foundation/DZDevice.h"
#include "ads/video/DZAdViewVideoController.h"
#include "ads/video/DZVideoPlayer.h"
#include "ads/web/dmsg/DZNativeAdVideoClickDMSGHandler.h"
#include "ads/web/view/DZAdViewDelegate.h"
#include "core/NotificationCenter.h"
#include "media/MediaTesting.h"
#include "media/ScriptedEngine.h"

namespace {

using namespace nativetesting;
using ads::DZMediaContent;
using ads::DZOverlayView;

// A page that keeps the messages native code posts to it.
const char* kPageHTML =
    "<html><body><script>window.received = [];"
    "window.DUZO_ReceiveMessage = function (name, argument) {"
    "  window.received.push({name: name, argument: argument}); };</script></body></html>";

class DZOverlayViewService : public NativeTest {
protected:
    void SetUp() override {
        NativeTest::SetUp();
        page = ads::DZAdView::create({0, 0, 320, 50});
        ASSERT_TRUE(page);
        page->setDelegate(pageDelegate);
        bool loaded = false;
        page->loadHTMLString(kPageHTML, core::URL::create("https://page.test/"));
        (void)loaded;
        ASSERT_TRUE(waitFor([&] { return !page->isLoading() && pageReady(); }));
        overlay->setAdView(page);
    }
    [[nodiscard]] bool pageReady() const {
        return adwebtesting::evaluate(*page->webView(), "Array.isArray(window.received)").boolValue();
    }
    // The "sendMessageToNativeJs" arguments the page received, once there are count.
    std::vector<core::Value> pageMessages(size_t count) const {
        core::Value messages;
        (void)waitFor([&] {
            messages = adwebtesting::evaluate(
                *page->webView(),
                "window.received.filter(function (m) { return m.name === 'sendMessageToNativeJs'; })"
                ".map(function (m) { return m.argument; })");
            return messages.size() >= count;
        });
        return messages.array() ? *messages.array() : std::vector<core::Value>{};
    }
    void post(const char* name, core::Dictionary userInfo = {}) {
        core::NotificationCenter::defaultCenter().post(name, page.get(), core::Value(std::move(userInfo)));
    }
    [[nodiscard]] bool overlayLoaded() const {
        return waitFor([&] {
            return overlay->overlayView() && !overlay->overlayView()->isLoading() &&
                   !overlay->loadOverlayUserInfo();
        });
    }

    std::shared_ptr<ads::DZAdViewDelegate> pageDelegate = std::make_shared<ads::DZAdViewDelegate>();
    std::shared_ptr<ads::DZAdView> page;
    std::shared_ptr<DZOverlayView> overlay = DZOverlayView::create({0, 0, 320, 50});
};

TEST_F(DZOverlayViewService, LoadsNeedHTMLAndDefaultTheBaseURL) {
    post("loadHtml", {{"baseUrl", "https://overlay.test/"}});
    EXPECT_FALSE(overlay->overlayView()) << "no HTML, nothing made";
    EXPECT_TRUE(overlay->isHidden());

    post("loadHtml", {{"overlayHtml", fixtures::NativeAds::overlayHTML()}});
    ASSERT_TRUE(overlayLoaded());
    ASSERT_TRUE(overlay->overlayView()->URL());
    EXPECT_EQ(overlay->overlayView()->URL()->absoluteString(), "about:blank");
    const auto loaded = pageMessages(1);
    ASSERT_FALSE(loaded.empty());
    EXPECT_EQ(loaded[0], core::Value(core::Dictionary{{"messageType", "htmlLoaded"}}));
    EXPECT_FALSE(overlay->overlayIdentifier());

    post("showOverlay");
    EXPECT_FALSE(overlay->isHidden());
    post("hideOverlay");
    EXPECT_TRUE(overlay->isHidden());
}

TEST_F(DZOverlayViewService, AnOverlayIsNeverGivenABaseOutsideHTTP) {
    for (const char* base :
         {"file:///etc/", "data:text/html,x", "javascript:alert(1)", "about:blank", "myapp://x/"}) {
        post("loadHtml", {{"overlayHtml", fixtures::NativeAds::overlayHTML()}, {"baseUrl", base}});
        EXPECT_FALSE(overlay->overlayView()) << base;
    }
    post("loadHtml",
         {{"overlayHtml", fixtures::NativeAds::overlayHTML()}, {"baseUrl", server.urlString("/")}});
    ASSERT_TRUE(overlayLoaded());
    ASSERT_TRUE(overlay->overlayView()->URL());
    EXPECT_EQ(overlay->overlayView()->URL()->absoluteString(), server.urlString("/"));
}

TEST_F(DZOverlayViewService, MessagesCarryTheLoadedOverlaysIdentifier) {
    post("loadHtml", {{"overlayHtml", fixtures::NativeAds::overlayHTML()},
                      {"baseUrl", server.urlString("/")},
                      {"id", "A"}});
    ASSERT_TRUE(overlayLoaded());
    EXPECT_EQ(overlay->overlayIdentifier(), "A");
    const auto loaded = pageMessages(1);
    ASSERT_FALSE(loaded.empty());
    EXPECT_EQ(loaded[0], core::Value(core::Dictionary{{"messageType", "htmlLoaded"}, {"id", "A"}}));

    // Overlay to page: stamped with "A" unless it has its own "id".
    auto& overlayPage = *overlay->overlayView()->webView();
    (void)adwebtesting::evaluate(overlayPage, "sendToSdk('k=v'), true");
    (void)adwebtesting::evaluate(overlayPage, "sendToSdk('k=w&id=B'), true");
    const auto messages = pageMessages(3);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1], core::Value(core::Dictionary{{"k", "v"}, {"id", "A"}}));
    EXPECT_EQ(messages[2], core::Value(core::Dictionary{{"k", "w"}, {"id", "B"}}));

    // Page to overlay: passed on unchanged as "sendMessageToSdk".
    post("sendMessageToNativeJs", {{"hello", "overlay"}});
    core::Value received;
    ASSERT_TRUE(waitFor([&] {
        received = adwebtesting::evaluate(overlayPage, "window.received");
        return received.size() == 1;
    }));
    EXPECT_EQ(received[0]["name"], core::Value("sendMessageToSdk"));
    EXPECT_EQ(received[0]["argument"], core::Value(core::Dictionary{{"hello", "overlay"}}));

    // The overlay page hides the overlay.
    post("showOverlay");
    (void)adwebtesting::evaluate(overlayPage, "hide(), true");
    EXPECT_TRUE(waitFor([&] { return overlay->isHidden(); }));

    // A failed load forgets the identifier.
    overlay->didFailLoadWithError(*overlay->overlayView(), ads::DZErrorWithCode(ads::kDZErrorNetworkError));
    EXPECT_FALSE(overlay->overlayIdentifier());
    (void)adwebtesting::evaluate(overlayPage, "sendToSdk('k=x'), true");
    const auto later = pageMessages(4);
    ASSERT_EQ(later.size(), 4u);
    EXPECT_EQ(later[3], core::Value(core::Dictionary{{"k", "x"}}));

    // A new page view drops the overlay and hides it.
    overlay->setAdView(nullptr);
    EXPECT_FALSE(overlay->overlayView());
    EXPECT_TRUE(overlay->isHidden());
}

class DZMediaContentService : public NativeTest {
protected:
    void SetUp() override {
        NativeTest::SetUp();
        useVideoPage("");
    }
    void TearDown() override {
        const auto defaults = core::UserDefaults::standard();
        defaults->removeObjectForKey(std::string(DZMediaContent::kVideoSupportURLKey));
        defaults->removeObjectForKey(std::string(DZMediaContent::kLoadTimeoutKey));
        NativeTest::TearDown();
    }
    void useVideoPage(const std::string& query) {
        core::UserDefaults::standard()->setObject(
            std::string(DZMediaContent::kVideoSupportURLKey),
            server.urlString(std::string(fixtures::NativeAds::kVideoSupportPath) +
                             (query.empty() ? "" : "?" + query)));
    }
    DZMediaContent::Completion record(std::vector<std::string>& heard) {
        return [&heard](const std::optional<ads::Error>& error) {
            heard.push_back(error ? std::to_string(error->code) + " " + error->message : "ok");
        };
    }

    const core::Dictionary video{{"vast", "<VAST/>"}, {"autoplay", true}};
};

TEST_F(DZMediaContentService, LoadsOnceAndHandsTheVideoToThePage) {
    auto placeholder = std::make_shared<ads::DZNativeAdImage>(*core::URL::create("https://a.test/p.png"));
    placeholder->setImage(gfx::Image::create(4, 4, gfx::Image::Pixels(16, 0xff000000u)));
    const auto content = DZMediaContent::create(video, placeholder, nullptr);
    ASSERT_TRUE(content);
    EXPECT_FALSE(content->videoController());
    const auto before = content->mediaView();
    ASSERT_TRUE(before);
    EXPECT_NE(before, std::static_pointer_cast<ui::View>(content->slot()->adView()));

    std::vector<std::string> first, second, third;
    content->loadVideoWithCompletionHandler(record(first));
    content->loadVideoWithCompletionHandler(record(second));
    ASSERT_TRUE(waitFor([&] { return !first.empty() && !second.empty(); }));
    EXPECT_EQ(second, std::vector<std::string>{"11 Video load request already in progress."});
    EXPECT_EQ(first, std::vector<std::string>{"ok"});
    EXPECT_TRUE(content->hasLoaded());
    EXPECT_EQ(content->mediaView(), std::static_pointer_cast<ui::View>(content->slot()->adView()));
    EXPECT_EQ(content->videoController(), content->slot()->adView()->videoController());

    ASSERT_TRUE(requested(fixtures::NativeAds::kReceivedPath, 1));
    const auto rendered = received("renderVideo");
    ASSERT_EQ(rendered.size(), 1u);
    EXPECT_EQ(rendered[0], core::Value(video));

    content->loadVideoWithCompletionHandler(record(third));
    ASSERT_TRUE(waitFor([&] { return !third.empty(); }));
    EXPECT_EQ(third, std::vector<std::string>{"ok"});
    EXPECT_EQ(server.requestsTo(fixtures::NativeAds::kVideoSupportPath).size(), 1u);
}

TEST_F(DZMediaContentService, TheServerCanTurnTheLoadedMediaViewsScrollingOff) {
    adwebtesting::ConstantsScope constants;
    const std::string key(DZMediaContent::kScrollViewDisableKey);
    auto placeholder = std::make_shared<ads::DZNativeAdImage>(*core::URL::create("https://a.test/p.png"));
    placeholder->setImage(gfx::Image::create(4, 4, gfx::Image::Pixels(16, 0xff000000u)));
    const auto content = DZMediaContent::create(video, placeholder, nullptr);
    ASSERT_TRUE(content);
    const auto adView = content->slot()->adView();
    ASSERT_TRUE(adView);
    // Before the page has loaded the view is the placeholder's; the page's
    // scrolling is left alone.
    constants.set(key, true);
    EXPECT_NE(content->mediaView(), std::static_pointer_cast<ui::View>(adView));
    EXPECT_TRUE(adView->scrollView().scrollEnabled);

    std::vector<std::string> heard;
    content->loadVideoWithCompletionHandler(record(heard));
    ASSERT_TRUE(waitFor([&] { return !heard.empty(); }));
    ASSERT_EQ(heard, std::vector<std::string>{"ok"});
    for (const core::Value& off : {core::Value(), core::Value(false), core::Value("0")}) {
        SCOPED_TRACE(core::describe(off));
        if (off.isNull())
            core::UserDefaults::standard()->removeObjectForKey(key);
        else
            constants.set(key, off);
        EXPECT_EQ(content->mediaView(), std::static_pointer_cast<ui::View>(adView));
        EXPECT_TRUE(adView->scrollView().scrollEnabled);
    }
    constants.set(key, true);
    EXPECT_EQ(content->mediaView(), std::static_pointer_cast<ui::View>(adView));
    EXPECT_FALSE(adView->scrollView().scrollEnabled);
}

TEST_F(DZMediaContentService, WithoutAVideoDictionaryLoadingFailsAtOnce) {
    const auto content = DZMediaContent::create(std::nullopt, nullptr, nullptr);
    ASSERT_TRUE(content);
    EXPECT_FALSE(content->mediaView()) << "no placeholder picture";
    std::vector<std::string> heard;
    content->loadVideoWithCompletionHandler(record(heard));
    EXPECT_TRUE(heard.empty());
    ASSERT_TRUE(waitFor([&] { return !heard.empty(); }));
    EXPECT_EQ(heard, std::vector<std::string>{"11 Failed to load video. Empty video configuration."});
}

TEST_F(DZMediaContentService, ASlowPageTimesOutAndItsLaterFinishCallsNoOne) {
    core::UserDefaults::standard()->setObject(std::string(DZMediaContent::kLoadTimeoutKey), 2.5);
    useVideoPage("delay=4000");
    const auto content = DZMediaContent::create(video, nullptr, nullptr);
    std::vector<std::string> heard;
    content->loadVideoWithCompletionHandler(record(heard));
    clock.advance(2.4);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(heard.empty());
    clock.advance(0.1);
    ASSERT_TRUE(waitFor([&] { return !heard.empty(); }));
    EXPECT_EQ(heard, std::vector<std::string>{"5 Video load has timed out."});
    ASSERT_TRUE(waitFor([&] { return content->hasLoaded(); }));
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(heard.size(), 1u);
}

TEST_F(DZMediaContentService, AnOldLoadsTimeOutCannotFailANewerLoad) {
    core::UserDefaults::standard()->setObject(std::string(DZMediaContent::kLoadTimeoutKey), 2.5);
    // The first load fails at once: nothing listens on port 1.
    core::UserDefaults::standard()->setObject(std::string(DZMediaContent::kVideoSupportURLKey),
                                              "http://127.0.0.1:1/video.html");
    const auto content = DZMediaContent::create(video, nullptr, nullptr);
    std::vector<std::string> first, second;
    content->loadVideoWithCompletionHandler(record(first));
    ASSERT_TRUE(waitFor([&] { return !first.empty(); }));
    ASSERT_NE(first[0], "ok");

    clock.advance(1);
    useVideoPage("delay=1500");
    content->loadVideoWithCompletionHandler(record(second));
    clock.advance(1.6);  // the first load's check is due, the second's is not
    ASSERT_TRUE(drainMainQueue());
    ASSERT_TRUE(waitFor([&] { return !second.empty(); }));
    EXPECT_EQ(second, std::vector<std::string>{"ok"});
}

// The video page turns the VAST document's clip into the ad view's player
// and reports the clip and the page's clicks.
class DZMediaContentPlaybackService : public DZMediaContentService {
protected:
    static constexpr const char* kClip = "https://ads.example/native-clip.mp4";

    DZMediaContentPlaybackService() {
        media::ScriptedMedia clip;
        media::AssetTrack track;
        track.mediaType = media::MediaType::video;
        track.trackID = 1;
        track.naturalSize = {640, 360};
        clip.tracks = {track};
        clip.duration = 7.5;
        engine->script(kClip, clip);
    }
    void SetUp() override {
        DZMediaContentService::SetUp();
        ads::DZDevice::sharedInstance()->cacheStaticParameters();
    }

    std::shared_ptr<media::ScriptedEngine> engine = media::ScriptedEngine::create();
    mediatest::EngineScope engineScope{engine};
};

TEST_F(DZMediaContentPlaybackService, TheVASTClipPlaysInTheAdViewAndClicksReachNativeCode) {
    const core::Dictionary vast{
        {"vast", std::string("<VAST version=\"3.0\"><Ad><InLine><Creatives><Creative><Linear>"
                             "<Duration>00:00:07.5</Duration><MediaFiles><MediaFile type=\"video/mp4\">"
                             "<![CDATA[ ") + kClip + " ]]></MediaFile></MediaFiles></Linear>"
                             "</Creative></Creatives></InLine></Ad></VAST>"},
        {"autoplay", true},
        {"muted", true}};
    const auto content = DZMediaContent::create(vast, nullptr, nullptr);
    ASSERT_TRUE(content);
    std::vector<std::string> heard;
    content->loadVideoWithCompletionHandler(record(heard));
    ASSERT_TRUE(waitFor([&] { return !heard.empty(); }));
    ASSERT_EQ(heard, std::vector<std::string>{"ok"});

    const auto adView = content->slot()->adView();
    const auto controller = content->adViewVideoController();
    ASSERT_TRUE(controller);
    // "videoMeta" is the page's last message: the actions before it have run.
    ASSERT_TRUE(waitFor([&] { return controller->hasVideoContent(); }));
    EXPECT_DOUBLE_EQ(controller->videoDuration(), 7.5);
    EXPECT_TRUE(controller->videoMuted());

    // "new" came before "src": the source survived, and the clip plays muted.
    const auto& player = adView->videoPlayer();
    ASSERT_TRUE(player);
    EXPECT_EQ(player->sourceURL(), core::URL::create(kClip));
    EXPECT_TRUE(player->isPlaying());
    EXPECT_TRUE(player->muted());
    EXPECT_TRUE(waitFor([&] { return adView->videoPlayerView() != nullptr; }));

    std::vector<core::Value> clicks;
    const auto token = core::NotificationCenter::defaultCenter().addObserver(
        ads::DZNativeAdVideoClickDMSGHandler::kVideoClickNotification, adView.get(), nullptr,
        [&](const core::Notification& notification) { clicks.push_back(notification.userInfo); });
    (void)adwebtesting::evaluate(
        *adView->webView(),
        "document.body.dispatchEvent(new MouseEvent('click', {bubbles: true, clientX: 12, "
        "clientY: 34})), true");
    const bool clicked = waitFor([&] { return !clicks.empty(); });
    core::NotificationCenter::defaultCenter().removeObserver(token);
    ASSERT_TRUE(clicked);
    EXPECT_EQ(clicks[0]["touchX"].stringValue(), "12");
    EXPECT_EQ(clicks[0]["touchY"].stringValue(), "34");
}

TEST_F(DZMediaContentPlaybackService, WithoutAClipThePageOnlyReportsAndStartsNoPlayer) {
    const auto content = DZMediaContent::create(video, nullptr, nullptr);
    std::vector<std::string> heard;
    content->loadVideoWithCompletionHandler(record(heard));
    ASSERT_TRUE(waitFor([&] { return !heard.empty(); }));
    const auto controller = content->adViewVideoController();
    ASSERT_TRUE(controller);
    ASSERT_TRUE(waitFor([&] { return controller->hasVideoContent(); }));
    EXPECT_DOUBLE_EQ(controller->videoDuration(), 15);
    const auto& player = content->slot()->adView()->videoPlayer();
    EXPECT_FALSE(player && player->sourceURL());
}

// A media view sized by what it shows: nothing before the load, the ad
// view's frame until the player knows the clip's size, then that size.
TEST_F(DZMediaContentPlaybackService, AMediaViewTakesTheClipsSizeOnceThePlayerKnowsIt) {
    const core::Dictionary vast{
        {"vast", std::string("<VAST version=\"3.0\"><Ad><InLine><Creatives><Creative><Linear>"
                             "<MediaFiles><MediaFile type=\"video/mp4\"><![CDATA[ ") +
                     kClip + " ]]></MediaFile></MediaFiles></Linear></Creative></Creatives>"
                             "</InLine></Ad></VAST>"},
        {"autoplay", true}};
    const auto content = DZMediaContent::create(vast, nullptr, nullptr);
    ASSERT_TRUE(content);
    const auto media = ads::DZMediaView::create({0, 0, 300, 200});
    media->setMediaContent(content);
    EXPECT_EQ(content->delegate(), media);
    EXPECT_FALSE(media->mediaView()) << "no placeholder picture";
    EXPECT_EQ(media->intrinsicContentSize(), (gfx::Size{-1, -1}));

    const auto invalidations = media->intrinsicContentSizeInvalidations();
    std::vector<std::string> heard;
    content->loadVideoWithCompletionHandler(record(heard));
    ASSERT_TRUE(waitFor([&] { return !heard.empty(); }));
    ASSERT_EQ(heard, std::vector<std::string>{"ok"});
    media->setMediaContent(content);
    const auto adView = content->slot()->adView();
    EXPECT_EQ(media->mediaView(), std::static_pointer_cast<ui::View>(adView));
    const auto sized = [&] {
        const auto& player = adView->videoPlayer();
        return player && player->videoSize() != (gfx::Size{-1, -1});
    };
    if (!sized()) {
        EXPECT_EQ(media->intrinsicContentSize(), (gfx::Size{300, 200}));
    }
    // One invalidation for the new view, one for the clip's size.
    ASSERT_TRUE(waitFor(
        [&] { return media->intrinsicContentSizeInvalidations() >= invalidations + 2; }));
    ASSERT_TRUE(sized());
    const gfx::Size clipSize = adView->videoPlayer()->videoSize();
    EXPECT_NE(clipSize, (gfx::Size{300, 200}));
    EXPECT_EQ(media->intrinsicContentSize(), clipSize);
    media->setMediaContent(nullptr);
    EXPECT_FALSE(content->delegate());
}

}  // namespace
