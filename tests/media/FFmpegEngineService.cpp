// The FFmpeg engine on the fixture videos, served by the local ad server,
// from files and through resource-loader delegates. The clock is manual:
// tests step it and wait for the engine's threads with runUntil.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "MediaTesting.h"
#include "core/RunLoop.h"
#include "fixtures/AdServer.h"
#include "fixtures/FixtureVideos.h"
#include "fixtures/ResponseGate.h"
#include "fixtures/TestCertificates.h"
#include "media/FFmpegEngine.h"
#include "support/ManualClockScope.h"

namespace {

using fixtures::FixtureVideos;
using media::Player;
using media::PlayerItem;

media::FFmpegOptions testOptions() {
    media::FFmpegOptions options;
    options.trustedCertificatesFile = fixtures::TestCertificates::shared().authorityFile();
    return options;
}

bool waitFor(const std::function<bool()>& predicate, double limit = 10) {
    return core::RunLoop::main().runUntil(predicate, limit);
}

class FFmpegEngineService : public testing::Test {
protected:
    struct Playing {
        std::shared_ptr<PlayerItem> item;
        std::shared_ptr<Player> player;
        std::shared_ptr<media::VideoOutput> output = media::VideoOutput::create();
        std::unique_ptr<mediatest::ChangeLog> log;
    };

    Playing start(const core::URL& url,
                  const std::shared_ptr<mediatest::MemoryResourceDelegate>& delegate = nullptr) {
        Playing playing;
        auto asset = media::URLAsset::create(url);
        if (delegate) delegate->attach(*asset->resourceLoader());
        playing.item = PlayerItem::create(asset);
        playing.item->addOutput(playing.output);
        playing.player = Player::create();
        playing.log = std::make_unique<mediatest::ChangeLog>(playing.player);
        playing.player->replaceCurrentItem(playing.item);
        return playing;
    }

    static bool settled(const Playing& playing) {
        return playing.player->status() != Player::Status::unknown;
    }

    // The newest frame due by the next display refresh, if any.
    std::shared_ptr<const media::PixelBuffer> pull(const Playing& playing) {
        const auto due = playing.output->itemTimeForHostTime(clock_->monotonicSeconds() + kRefresh);
        return playing.output->copyPixelBufferForItemTime(due);
    }
    bool frameDue(const Playing& playing) {
        const auto due = playing.output->itemTimeForHostTime(clock_->monotonicSeconds() + kRefresh);
        return playing.output->hasNewPixelBufferForItemTime(due);
    }

    // Plays to the end or a failure, stepping the clock whenever time can
    // move and waiting for each step's frame; after an under-run that
    // stopped the rate it plays again once likely to keep up, as a client
    // would. Answers the frames pulled on the way (waiting for each step's
    // frame unless told not to).
    int playToEnd(const Playing& playing, double step = 0.1, bool waitForFrames = true) {
        const auto& player = playing.player;
        const auto over = [&] {
            return playing.log->ended() || player->status() == Player::Status::failed;
        };
        int frames = 0;
        player->play();
        for (int steps = 0; steps < 1000 && !over(); ++steps) {
            if (player->rate() == 0) {
                if (!waitFor([&] { return over() || playing.item->isPlaybackLikelyToKeepUp(); }))
                    break;
                player->play();
            }
            if (!waitFor([&] {
                    return over() || player->rate() == 0 ||
                           player->timeControlStatus() == Player::TimeControlStatus::playing;
                })) {
                break;
            }
            if (over() || player->rate() == 0) continue;
            clock_.advance(step);
            if (!waitForFrames) continue;
            if (waitFor([&] { return over() || frameDue(playing); }, 0.5) && pull(playing)) {
                ++frames;
            }
        }
        return frames;
    }

    static constexpr double kRefresh = 0.02;

    testsupport::ManualClockScope clock_;
    fixtures::AdServer server_;
    std::shared_ptr<media::FFmpegEngine> engine_ = media::FFmpegEngine::create(testOptions());
    mediatest::EngineScope scope_{engine_};
};

TEST_F(FFmpegEngineService, ClipsWithTheIndexFirstOrLastPlayToTheEndOverHttpAndHttps) {
    for (const char* name : {FixtureVideos::kMoovFirst, FixtureVideos::kMoovLast}) {
        for (const bool secure : {false, true}) {
            SCOPED_TRACE(std::string(name) + (secure ? " https" : " http"));
            auto playing = start(secure ? server_.secureVideoURL(name) : server_.videoURL(name));
            ASSERT_TRUE(waitFor([&] { return settled(playing); }));
            ASSERT_EQ(playing.player->status(), Player::Status::readyToPlay)
                << (playing.player->error() ? playing.player->error()->message : "");
            EXPECT_NEAR(playing.item->duration().toSeconds(), 4, 0.05);
            const auto tracks = playing.item->asset()->tracks();
            ASSERT_EQ(tracks.size(), 2u);
            EXPECT_EQ(tracks[0].mediaType, media::MediaType::video);
            EXPECT_EQ(tracks[0].trackID, 1);
            EXPECT_EQ(tracks[0].naturalSize, (gfx::Size{160, 96}));
            EXPECT_TRUE(tracks[0].preferredTransform.isIdentity());
            EXPECT_GT(tracks[0].estimatedDataRate, 0);
            EXPECT_EQ(tracks[1].mediaType, media::MediaType::audio);
            EXPECT_EQ(tracks[1].trackID, 2);

            const auto first = pull(playing);
            ASSERT_TRUE(first || waitFor([&] {
                            return playing.output->hasNewPixelBufferForItemTime(
                                media::Time::zero());
                        }));
            const int frames = playToEnd(playing);
            EXPECT_TRUE(playing.log->ended());
            EXPECT_EQ(playing.log->count("ended"), 1u);
            EXPECT_NEAR(playing.player->currentTime().toSeconds(), 4, 0.15);
            EXPECT_GE(frames, 30);
            EXPECT_TRUE(waitFor([&] { return playing.item->isPlaybackLikelyToKeepUp(); }));
        }
    }
}

TEST_F(FFmpegEngineService, TracksReportTheirSizeAndTransformAndFramesComeBeforePlaying) {
    struct Case {
        const char* name;
        gfx::Size size;
        gfx::AffineTransform transform;
    };
    const Case cases[] = {
        {FixtureVideos::kRotated, {160, 96}, {0, 1, -1, 0, 0, 0}},
        {FixtureVideos::kOddSize, {161, 91}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto playing = start(core::URL::fileURL(FixtureVideos::path(c.name)));
        ASSERT_TRUE(waitFor([&] { return settled(playing); }));
        ASSERT_EQ(playing.player->status(), Player::Status::readyToPlay);
        const auto video = playing.item->asset()->tracks(media::MediaType::video);
        ASSERT_EQ(video.size(), 1u);
        EXPECT_EQ(video[0].naturalSize, c.size);
        EXPECT_EQ(video[0].preferredTransform, c.transform);

        std::shared_ptr<const media::PixelBuffer> frame;
        ASSERT_TRUE(waitFor([&] { return (frame = pull(playing)) != nullptr; }));
        EXPECT_EQ(frame->width(), static_cast<int>(c.size.width));
        EXPECT_EQ(frame->height(), static_cast<int>(c.size.height));
    }
}

TEST_F(FFmpegEngineService, FramesAreTaggedByTheirColourSpaceAndConvertBackToTheirColours) {
    for (const auto& [name, matrix] :
         {std::pair{FixtureVideos::kBands601, media::ColorMatrix::itu601},
          std::pair{FixtureVideos::kBands709, media::ColorMatrix::itu709}}) {
        SCOPED_TRACE(name);
        auto playing = start(core::URL::fileURL(FixtureVideos::path(name)));
        std::shared_ptr<const media::PixelBuffer> frame;
        ASSERT_TRUE(waitFor([&] { return (frame = pull(playing)) != nullptr; }));
        EXPECT_EQ(frame->colorMatrix(), matrix);
        for (int band = 0; band < 8; ++band) {
            const unsigned colour = FixtureVideos::kBandColours[band];
            const std::array<int, 3> expected = {int(colour >> 16), int((colour >> 8) & 0xFF),
                                                 int(colour & 0xFF)};
            const auto shown = frame->rgbAt(band * 32 + 16, 64);
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_NEAR(shown[channel], expected[channel], 12)
                    << "band " << band << " channel " << channel;
            }
        }
    }
    // Untagged: the test pattern clips say nothing about their colour space.
    auto playing = start(core::URL::fileURL(FixtureVideos::path(FixtureVideos::kMoovFirst)));
    std::shared_ptr<const media::PixelBuffer> frame;
    ASSERT_TRUE(waitFor([&] { return (frame = pull(playing)) != nullptr; }));
    EXPECT_EQ(frame->colorMatrix(), media::ColorMatrix::untagged);
}

TEST_F(FFmpegEngineService, ACustomSchemeSourcePlaysThroughItsResourceLoaderDelegate) {
    using Request = media::AssetResourceLoadingRequest;
    for (const char* name : {FixtureVideos::kMoovFirst, FixtureVideos::kMoovLast}) {
        SCOPED_TRACE(name);
        const auto bytes = FixtureVideos::bytes(name);
        auto delegate = std::make_shared<mediatest::MemoryResourceDelegate>(bytes, 1000);
        auto playing =
            start(*core::URL::create(std::string("dz-stream:///cache/") + name), delegate);
        ASSERT_TRUE(waitFor([&] { return settled(playing); }));
        ASSERT_EQ(playing.player->status(), Player::Status::readyToPlay)
            << (playing.player->error() ? playing.player->error()->message : "");
        EXPECT_GE(playToEnd(playing), 30);
        EXPECT_TRUE(playing.log->ended());

        // Content information alone first, then data from the read position to the end.
        const auto requests = delegate->requests();
        ASSERT_GE(requests.size(), 2u);
        EXPECT_NE(requests[0]->contentInformationRequest(), nullptr);
        EXPECT_EQ(requests[0]->dataRequest(), nullptr);
        for (size_t index = 1; index < requests.size(); ++index) {
            auto* data = requests[index]->dataRequest();
            ASSERT_NE(data, nullptr);
            EXPECT_EQ(requests[index]->contentInformationRequest(), nullptr);
            EXPECT_TRUE(data->requestsAllDataToEndOfResource());
            EXPECT_EQ(data->requestedOffset() + data->requestedLength(),
                      static_cast<std::int64_t>(bytes.size()));
        }
        EXPECT_EQ(requests.back()->outcome(), Request::Outcome::finished);
    }
}

TEST_F(FFmpegEngineService, AnItemPlaysOnFromTheSourceItsAssetLoadLeftOpen) {
    auto delegate = std::make_shared<mediatest::MemoryResourceDelegate>(
        FixtureVideos::bytes(FixtureVideos::kMoovFirst));
    auto asset = media::URLAsset::create(*core::URL::create("video://ads.example/clip"));
    delegate->attach(*asset->resourceLoader());
    std::atomic<bool> loaded = false;
    asset->loadValuesAsynchronously({"duration"}, [&] { loaded = true; });
    ASSERT_TRUE(waitFor([&] { return loaded.load(); }));
    EXPECT_EQ(asset->statusOfValue("duration"), media::AssetKeyStatus::loaded);
    EXPECT_NEAR(asset->duration().toSeconds(), 4, 0.05);

    auto item = PlayerItem::create(asset);
    auto player = Player::create(item);
    mediatest::ChangeLog log(player);
    ASSERT_TRUE(waitFor([&] { return player->status() != Player::Status::unknown; }));
    player->play();
    ASSERT_TRUE(waitFor(
        [&] {
            clock_.advance(0.1);
            return log.ended();
        },
        20));
    size_t informationRequests = 0;
    for (const auto& request : delegate->requests()) {
        if (request->contentInformationRequest()) ++informationRequests;
    }
    EXPECT_EQ(informationRequests, 1u);
}

TEST_F(FFmpegEngineService, AnAssetLoadCanBeCancelledAndTriedAgain) {
    auto delegate = std::make_shared<mediatest::MemoryResourceDelegate>(
        FixtureVideos::bytes(FixtureVideos::kMoovFirst));
    delegate->holdData = true;
    auto asset = media::URLAsset::create(*core::URL::create("video://ads.example/slow"));
    delegate->attach(*asset->resourceLoader());
    std::atomic<int> completions = 0;
    asset->loadValuesAsynchronously({"duration"}, [&] { ++completions; });
    ASSERT_TRUE(waitFor([&] { return delegate->requests().size() >= 2; }));
    EXPECT_EQ(asset->statusOfValue("duration"), media::AssetKeyStatus::loading);

    asset->cancelLoading();
    ASSERT_TRUE(waitFor([&] { return completions == 1; }));
    std::optional<media::MediaError> error;
    EXPECT_EQ(asset->statusOfValue("duration", &error), media::AssetKeyStatus::cancelled);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, media::MediaError::Cancelled);
    EXPECT_TRUE(waitFor([] { return media::FFmpegEngine::runningThreads() == 0; }));
    EXPECT_TRUE(waitFor([&] { return delegate->cancelledCount() >= 1; }));

    delegate->holdData = false;
    asset->loadValuesAsynchronously({"duration"}, [&] { ++completions; });
    ASSERT_TRUE(waitFor([&] { return completions == 2; }));
    EXPECT_EQ(asset->statusOfValue("duration"), media::AssetKeyStatus::loaded);
    EXPECT_NEAR(asset->duration().toSeconds(), 4, 0.05);
}

TEST_F(FFmpegEngineService, SourcesThatCannotBeReadFailWithTheReason) {
    server_.serve("/junk.mp4",
                  fixtures::LoopbackResponse::bytes(std::string(5000, '\x07'), "video/mp4"));
    server_.serve("/empty.mp4", fixtures::LoopbackResponse::bytes("", "video/mp4"));
    server_.serve("/missing.mp4", fixtures::LoopbackResponse::text("no", 404));
    auto declining = std::make_shared<mediatest::MemoryResourceDelegate>("");
    declining->decline = true;
    struct Case {
        core::URL url;
        std::shared_ptr<mediatest::MemoryResourceDelegate> delegate;
        long code;
        std::string text;
    };
    const Case cases[] = {
        {server_.url("/junk.mp4"), nullptr, media::MediaError::FileFormatNotRecognized,
         "Invalid data found when processing input"},
        {server_.url("/empty.mp4"), nullptr, media::MediaError::FileFormatNotRecognized,
         "Cannot open"},
        {server_.url("/missing.mp4"), nullptr, media::MediaError::Unknown, "404"},
        {core::URL::fileURL("/nonexistent/clip.mp4"), nullptr, media::MediaError::Unknown,
         "No such file or directory"},
        {*core::URL::create("dz-stream:///declined"), declining,
         media::MediaError::ContentUnavailable, "declined"},
        {*core::URL::create("dz-stream:///nobody"), nullptr, media::MediaError::ContentUnavailable,
         "declined"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.absoluteString());
        auto playing = start(c.url, c.delegate);
        ASSERT_TRUE(waitFor([&] { return settled(playing); }));
        ASSERT_EQ(playing.player->status(), Player::Status::failed);
        EXPECT_EQ(playing.item->status(), PlayerItem::Status::failed);
        ASSERT_TRUE(playing.player->error());
        EXPECT_EQ(playing.player->error()->code, c.code) << playing.player->error()->message;
        EXPECT_NE(playing.player->error()->message.find(c.text), std::string::npos)
            << playing.player->error()->message;
    }
}

TEST_F(FFmpegEngineService, TruncatedOrCutOffSourcesFailOrEndWithoutHanging) {
    for (const auto& url : {server_.videoURL(FixtureVideos::kHalf),
                            server_.videoURL(FixtureVideos::kMoovFirst, "failAfter=5000"),
                            core::URL::fileURL(FixtureVideos::path(FixtureVideos::kHalf))}) {
        SCOPED_TRACE(url.absoluteString());
        auto playing = start(url);
        ASSERT_TRUE(waitFor([&] { return settled(playing); }));
        if (playing.player->status() == Player::Status::readyToPlay) (void)playToEnd(playing);
        const bool failed = playing.player->status() == Player::Status::failed;
        EXPECT_TRUE(failed || playing.log->ended());
        if (failed) {
            ASSERT_TRUE(playing.player->error());
            EXPECT_FALSE(playing.player->error()->message.empty());
        } else {
            EXPECT_LT(playing.player->currentTime().toSeconds(), 3.9);
        }
    }
}

TEST_F(FFmpegEngineService, CorruptedClipsFailOrEndWithoutHanging) {
    const std::string clean = FixtureVideos::bytes(FixtureVideos::kMoovFirst);
    ASSERT_FALSE(clean.empty());
    std::uint32_t state = 12345;
    const auto next = [&] { return state = state * 1664525u + 1013904223u; };
    for (int variant = 0; variant < 12; ++variant) {
        SCOPED_TRACE(variant);
        std::string bytes = clean;
        // The first variants hit the index, the later ones the media data.
        const size_t from = variant < 6 ? 32 : clean.size() / 3;
        const size_t span = variant < 6 ? 1500 : clean.size() - from;
        for (int flip = 0; flip < 24; ++flip) {
            bytes[from + next() % span] = static_cast<char>(next() >> 24);
        }
        auto delegate = std::make_shared<mediatest::MemoryResourceDelegate>(bytes);
        auto playing =
            start(*core::URL::create("dz-stream:///corrupt/" + std::to_string(variant)), delegate);
        ASSERT_TRUE(waitFor([&] { return settled(playing); }));
        if (playing.player->status() == Player::Status::readyToPlay)
            (void)playToEnd(playing, 0.5, false);
        EXPECT_TRUE(playing.player->status() == Player::Status::failed || playing.log->ended());
    }
}

TEST_F(FFmpegEngineService, AThrottledSourceStallsAndResumesByTheWaitingFlag) {
    for (const bool waits : {false, true}) {
        SCOPED_TRACE(waits ? "waits" : "does not wait");
        auto playing = start(server_.videoURL(FixtureVideos::kMoovFirst, "rate=12000"));
        playing.player->setAutomaticallyWaitsToMinimizeStalling(waits);
        ASSERT_TRUE(waitFor([&] { return settled(playing); }));
        playing.player->play();
        clock_.advance(3);
        const double stalledAt = playing.player->currentTime().toSeconds();
        EXPECT_LT(stalledAt, 3);
        EXPECT_FALSE(playing.log->ended());
        if (waits) {
            EXPECT_EQ(playing.player->rate(), 1);
            EXPECT_EQ(playing.player->timeControlStatus(),
                      Player::TimeControlStatus::waitingToPlayAtSpecifiedRate);
        } else {
            EXPECT_EQ(playing.player->rate(), 0);
            ASSERT_FALSE(playing.log->entries().empty());
            EXPECT_EQ(playing.log->entries().back(), "rate=0");
        }
        ASSERT_TRUE(waitFor([&] { return playing.item->isPlaybackLikelyToKeepUp(); }));
        if (waits) {
            EXPECT_EQ(playing.player->timeControlStatus(), Player::TimeControlStatus::playing);
        }
        (void)playToEnd(playing);
        EXPECT_TRUE(playing.log->ended());
        EXPECT_GT(playing.player->currentTime().toSeconds(), stalledAt);
    }
}

TEST_F(FFmpegEngineService, TheQueueStopsReadingAtItsCapAndTheBufferReportsFull) {
    media::FFmpegOptions options = testOptions();
    options.maxQueuedSeconds = 1;
    mediatest::EngineScope capped(media::FFmpegEngine::create(options));
    auto playing = start(core::URL::fileURL(FixtureVideos::path(FixtureVideos::kMoovFirst)));
    ASSERT_TRUE(waitFor([&] { return playing.item->isPlaybackBufferFull(); }));
    ASSERT_EQ(playing.item->loadedTimeRanges().size(), 1u);
    const double loaded = playing.item->loadedTimeRanges()[0].endSeconds();
    EXPECT_GE(loaded, 1);
    EXPECT_LT(loaded, 1.5);
    // The cap is below the keep-up margin: a full buffer is as good as it gets.
    EXPECT_TRUE(playing.item->isPlaybackLikelyToKeepUp());
    playing.log->clear();

    // Playing drains the queue below the cap and reading goes on to the end.
    EXPECT_GE(playToEnd(playing), 30);
    EXPECT_TRUE(playing.log->ended());
    EXPECT_GE(playing.log->count("currentItem.playbackBufferFull"), 1u);
}

TEST(FFmpegEngineDefault, TheProcessDefaultIsTheFFmpegEngine) {
    mediatest::EngineScope scope(nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<media::FFmpegEngine>(media::Engine::current()), nullptr);
}

TEST_F(FFmpegEngineService, SeekingPlaysOnFromTheNewPosition) {
    auto playing = start(core::URL::fileURL(FixtureVideos::path(FixtureVideos::kMoovFirst)));
    ASSERT_TRUE(waitFor([&] { return settled(playing); }));
    playing.player->seekToTime(media::Time::seconds(2.5));
    EXPECT_NEAR(playing.player->currentTime().toSeconds(), 2.5, 1e-9);
    media::Time shown;
    ASSERT_TRUE(waitFor([&] {
        const auto now = playing.output->itemTimeForHostTime(clock_->monotonicSeconds());
        return playing.output->copyPixelBufferForItemTime(now, &shown) != nullptr;
    }));
    // A frame of the seek's key frame (every second) or after, up to the position.
    EXPECT_GE(shown.toSeconds(), 1.99);
    EXPECT_LE(shown.toSeconds(), 2.51);
    ASSERT_TRUE(waitFor([&] {
        const auto& ranges = playing.item->loadedTimeRanges();
        return !ranges.empty() && ranges[0].startSeconds() > 2;
    }));
    EXPECT_NEAR(playing.item->loadedTimeRanges()[0].startSeconds(), 2.5, 1e-6);
    const double before = clock_->monotonicSeconds();
    (void)playToEnd(playing);
    EXPECT_TRUE(playing.log->ended());
    EXPECT_NEAR(clock_->monotonicSeconds() - before, 1.5, 0.25);
}

TEST_F(FFmpegEngineService, APlayerReleasedDuringABlockedReadIsGoneWithinASecond) {
    auto gate = std::make_shared<fixtures::ResponseGate>();
    server_.serve("/held.mp4", fixtures::LoopbackResponse::bytes("", "video/mp4").heldBy(gate));
    auto holding = std::make_shared<mediatest::MemoryResourceDelegate>(
        FixtureVideos::bytes(FixtureVideos::kMoovFirst));
    holding->holdData = true;
    // The count is the process's: an earlier test's engine may still be
    // ending its thread.
    ASSERT_TRUE(waitFor([] { return media::FFmpegEngine::runningThreads() == 0; }));
    for (const bool custom : {true, false}) {
        SCOPED_TRACE(custom ? "resource loader" : "http");
        auto playing = start(custom ? *core::URL::create("video://ads.example/held")
                                    : server_.url("/held.mp4"),
                             custom ? holding : nullptr);
        if (custom) {
            ASSERT_TRUE(waitFor([&] { return holding->requests().size() >= 2; }));
        } else {
            ASSERT_TRUE(server_.waitForRequestsTo("/held.mp4", 1, 10));
        }
        EXPECT_EQ(media::FFmpegEngine::runningThreads(), 1u);
        const auto released = std::chrono::steady_clock::now();
        playing = {};
        EXPECT_TRUE(waitFor([] { return media::FFmpegEngine::runningThreads() == 0; }, 1.0));
        EXPECT_LT(std::chrono::steady_clock::now() - released, std::chrono::seconds(1));
        if (custom) {
            EXPECT_TRUE(waitFor([&] { return holding->cancelledCount() >= 1; }));
        }
    }
    gate->release();
}

}  // namespace
