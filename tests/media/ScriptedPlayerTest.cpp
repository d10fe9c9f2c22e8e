// The player's rules on the scripted engine, on a manual clock.

#include <gtest/gtest.h>

#include <mutex>

#include "MediaTesting.h"
#include "core/RunLoop.h"
#include "media/ScriptedEngine.h"
#include "support/ManualClockScope.h"

namespace {

using media::Player;
using media::PlayerItem;
using media::ScriptedMedia;
using media::Time;
using media::TimeRange;

constexpr const char* kURL = "https://ads.example/clip.mp4";

media::AssetTrack videoTrack() {
    media::AssetTrack track;
    track.mediaType = media::MediaType::video;
    track.trackID = 1;
    track.naturalSize = {640, 360};
    track.estimatedDataRate = 800'000;
    return track;
}

class ScriptedPlayerTest : public testing::Test {
protected:
    ScriptedPlayerTest() {
        ScriptedMedia media;
        media.tracks = {videoTrack()};
        media.duration = 4;
        engine_->script(kURL, media);
    }

    // A player of a new item of kURL, after the pass that makes it ready.
    std::shared_ptr<Player> makePlayer() {
        item_ = PlayerItem::create(*core::URL::create(kURL));
        auto player = Player::create(item_);
        settle();
        return player;
    }
    static void settle() { core::RunLoop::main().runOnce(); }
    [[nodiscard]] static double seconds(const std::shared_ptr<Player>& player) {
        return player->currentTime().toSeconds();
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<media::ScriptedEngine> engine_ = media::ScriptedEngine::create();
    mediatest::EngineScope scope_{engine_};
    std::shared_ptr<PlayerItem> item_;
};

TEST_F(ScriptedPlayerTest, ItemBecomesReadyAPassAfterAttachingWithTheScriptedTracksAndDuration) {
    item_ = PlayerItem::create(*core::URL::create(kURL));
    auto player = Player::create();
    mediatest::ChangeLog log(player);
    player->replaceCurrentItem(item_);
    EXPECT_EQ(player->status(), Player::Status::unknown);
    EXPECT_TRUE(item_->duration().isIndefinite());
    EXPECT_EQ(item_->duration().timescale(), 0);
    log.clear();

    settle();
    EXPECT_EQ(player->status(), Player::Status::readyToPlay);
    EXPECT_EQ(item_->status(), PlayerItem::Status::readyToPlay);
    EXPECT_DOUBLE_EQ(item_->duration().toSeconds(), 4);
    EXPECT_TRUE(item_->isPlaybackLikelyToKeepUp());
    ASSERT_EQ(item_->loadedTimeRanges().size(), 1u);
    EXPECT_DOUBLE_EQ(item_->loadedTimeRanges()[0].endSeconds(), 4);
    ASSERT_EQ(item_->asset()->tracks(media::MediaType::video).size(), 1u);
    EXPECT_EQ(item_->asset()->tracks()[0].naturalSize, (gfx::Size{640, 360}));
    EXPECT_EQ(item_->asset()->statusOfValue("duration"), media::AssetKeyStatus::loaded);
    // Ranges and flags arrive before readiness; the player's status after the item's.
    const auto& entries = log.entries();
    const auto position = [&](const std::string& entry) {
        return std::find(entries.begin(), entries.end(), entry) - entries.begin();
    };
    EXPECT_LT(position("currentItem.loadedTimeRanges"), position("currentItem.duration"));
    EXPECT_EQ(log.count("status=1"), 1u);
}

TEST_F(ScriptedPlayerTest, TimeMovesWithTheClockOnlyWhileTheRateIsAboveZero) {
    auto player = makePlayer();
    clock_.advance(1);
    EXPECT_DOUBLE_EQ(seconds(player), 0);

    player->play();
    EXPECT_EQ(player->timeControlStatus(), Player::TimeControlStatus::playing);
    clock_.advance(1.5);
    EXPECT_NEAR(seconds(player), 1.5, 1e-9);
    player->setRate(2);
    clock_.advance(0.5);
    EXPECT_NEAR(seconds(player), 2.5, 1e-9);
    player->pause();
    clock_.advance(1);
    EXPECT_NEAR(seconds(player), 2.5, 1e-9);
    EXPECT_EQ(player->timeControlStatus(), Player::TimeControlStatus::paused);
}

TEST_F(ScriptedPlayerTest, PeriodicObserversTickEveryIntervalOfItemTimeWhileMoving) {
    auto player = makePlayer();
    std::vector<Time> ticks;
    const auto token = player->addPeriodicTimeObserver(Time(1, 4), nullptr,
                                                       [&](Time time) { ticks.push_back(time); });
    clock_.advance(1);
    EXPECT_TRUE(ticks.empty());

    player->play();
    clock_.advance(1.1);
    player->pause();
    clock_.advance(1);
    ASSERT_EQ(ticks.size(), 4u);
    for (size_t index = 0; index < ticks.size(); ++index) {
        EXPECT_EQ(ticks[index], Time(static_cast<std::int64_t>(index + 1), 4)) << index;
    }

    // From 1.1 on the next tick is 1.25; a seek reports its time once.
    player->play();
    clock_.advance(0.2);
    EXPECT_EQ(ticks.back(), Time(5, 4));
    player->seekToTime(Time::seconds(0.4));
    EXPECT_NEAR(ticks.back().toSeconds(), 0.4, 1e-9);
    const size_t afterSeek = ticks.size();
    clock_.advance(0.1);
    EXPECT_EQ(ticks.size(), afterSeek + 1);  // 0.5

    player->removeTimeObserver(token);
    clock_.advance(1);
    EXPECT_EQ(ticks.size(), afterSeek + 1);
}

TEST_F(ScriptedPlayerTest, PeriodicObserversOnOtherQueuesGetTheirTicksThere) {
    auto player = makePlayer();
    auto queue = core::Queue::serial("media.test.ticks");
    std::mutex mutex;
    std::vector<double> ticks;
    bool onQueue = true;
    player->addPeriodicTimeObserver(Time(1, 2), queue, [&](Time time) {
        const std::lock_guard lock(mutex);
        onQueue = onQueue && queue->isCurrent();
        ticks.push_back(time.toSeconds());
    });
    player->play();
    clock_.advance(1.2);
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [&] {
            const std::lock_guard lock(mutex);
            return ticks.size() == 2;
        },
        5));
    const std::lock_guard lock(mutex);
    EXPECT_EQ(ticks, (std::vector<double>{0.5, 1}));
    EXPECT_TRUE(onQueue);
}

TEST_F(ScriptedPlayerTest, ReportsForAnItemThatIsGoneAreDropped) {
    item_ = PlayerItem::create(*core::URL::create(kURL));
    auto player = Player::create(item_);
    std::weak_ptr<PlayerItem> weak = item_;
    player.reset();
    item_.reset();
    EXPECT_TRUE(weak.expired());
    settle();  // the engine's first report for the item runs now
    engine_->setLoadedRanges(kURL, {TimeRange::fromSeconds(0, 1)});
    EXPECT_EQ(engine_->playingCount(kURL), 0u);
}

TEST_F(ScriptedPlayerTest, AtItsDurationTheItemEndsOnceAndTheRateDropsToZero) {
    auto player = makePlayer();
    mediatest::ChangeLog log(player);
    std::vector<double> ticks;
    player->addPeriodicTimeObserver(Time(1, 4), nullptr,
                                    [&](Time time) { ticks.push_back(time.toSeconds()); });
    player->play();
    clock_.advance(10);
    EXPECT_DOUBLE_EQ(seconds(player), 4);
    EXPECT_EQ(player->rate(), 0);
    EXPECT_EQ(log.entries(), (std::vector<std::string>{"rate=1", "rate=0", "ended"}));
    EXPECT_EQ(ticks.size(), 16u);
    EXPECT_DOUBLE_EQ(ticks.back(), 4);

    // Playing at the end goes nowhere and ends nothing again; after a seek it plays on.
    player->play();
    clock_.advance(1);
    EXPECT_EQ(log.count("ended"), 1u);
    player->seekToTime(Time::seconds(3));
    clock_.advance(2);
    EXPECT_EQ(log.count("ended"), 2u);
    EXPECT_EQ(engine_->seeks(kURL), (std::vector<double>{3}));
}

TEST_F(ScriptedPlayerTest, AnUnderRunStopsTheRateWithoutWaitingAndHoldsTimeWithWaiting) {
    for (const bool waits : {false, true}) {
        SCOPED_TRACE(waits ? "waits" : "does not wait");
        auto player = makePlayer();
        player->setAutomaticallyWaitsToMinimizeStalling(waits);
        engine_->setLoadedRanges(kURL, {TimeRange::fromSeconds(0, 1)});
        mediatest::ChangeLog log(player);
        player->play();
        clock_.advance(3);
        EXPECT_NEAR(seconds(player), 1, 1e-9);
        EXPECT_EQ(player->rate(), waits ? 1 : 0);
        EXPECT_EQ(player->timeControlStatus(),
                  waits ? Player::TimeControlStatus::waitingToPlayAtSpecifiedRate
                        : Player::TimeControlStatus::paused);
        EXPECT_FALSE(log.ended());

        // More arrives: a waiting player goes on once likely to keep up.
        engine_->setLikelyToKeepUp(kURL, false);
        engine_->setLoadedRanges(kURL, {TimeRange::fromSeconds(0, 3)});
        clock_.advance(1);
        EXPECT_NEAR(seconds(player), 1, 1e-9);
        engine_->setLikelyToKeepUp(kURL, true);
        if (!waits) player->play();
        clock_.advance(1);
        EXPECT_NEAR(seconds(player), 2, 1e-9);
        engine_->setLoadedRanges(kURL, {TimeRange::fromSeconds(0, 4)});
        player.reset();
    }
}

TEST_F(ScriptedPlayerTest, TurningWaitingOffWhileWaitingStopsTheRateAtOnce) {
    auto player = makePlayer();
    engine_->setLoadedRanges(kURL, {TimeRange::fromSeconds(0, 1)});
    player->play();
    clock_.advance(2);
    ASSERT_EQ(player->timeControlStatus(), Player::TimeControlStatus::waitingToPlayAtSpecifiedRate);
    mediatest::ChangeLog log(player);
    player->setAutomaticallyWaitsToMinimizeStalling(false);
    EXPECT_EQ(player->rate(), 0);
    EXPECT_EQ(log.entries(), (std::vector<std::string>{"rate=0"}));
}

TEST_F(ScriptedPlayerTest, SeeksAreClampedToTheItemAndASeekToTheEndEndsAPlayingItem) {
    auto player = makePlayer();
    mediatest::ChangeLog log(player);
    player->seekToTime(Time::seconds(-2));
    EXPECT_DOUBLE_EQ(seconds(player), 0);
    player->seekToTime(Time::seconds(99));
    EXPECT_DOUBLE_EQ(seconds(player), 4);
    EXPECT_FALSE(log.ended());
    player->play();
    EXPECT_TRUE(log.ended());
    EXPECT_EQ(player->rate(), 0);
    EXPECT_EQ(engine_->seeks(kURL), (std::vector<double>{0, 4}));
}

TEST_F(ScriptedPlayerTest, AStallCommandStopsLoadingWhereTheItemStands) {
    auto player = makePlayer();
    player->setAutomaticallyWaitsToMinimizeStalling(false);
    mediatest::ChangeLog log(player);
    player->play();
    clock_.advance(1.5);
    engine_->stall(kURL);
    EXPECT_EQ(player->rate(), 0);
    EXPECT_FALSE(item_->isPlaybackLikelyToKeepUp());
    ASSERT_EQ(item_->loadedTimeRanges().size(), 1u);
    EXPECT_NEAR(item_->loadedTimeRanges()[0].endSeconds(), 1.5, 1e-9);
    ASSERT_FALSE(log.entries().empty());
    EXPECT_EQ(log.entries().back(), "rate=0");
}

TEST_F(ScriptedPlayerTest, ItemsWaitForReadinessOrFailAsScripted) {
    ScriptedMedia later;
    later.readyAtOnce = false;
    engine_->script(kURL, later);
    auto player = makePlayer();
    player->play();
    clock_.advance(1);
    EXPECT_EQ(item_->status(), PlayerItem::Status::unknown);
    EXPECT_DOUBLE_EQ(seconds(player), 0);
    engine_->makeReady(kURL);
    clock_.advance(1);
    EXPECT_DOUBLE_EQ(seconds(player), 1);

    mediatest::ChangeLog log(player);
    const media::MediaError error{"test.domain", 7, "It broke."};
    engine_->fail(kURL, error);
    EXPECT_EQ(player->status(), Player::Status::failed);
    EXPECT_EQ(player->error(), error);
    EXPECT_EQ(item_->error(), error);
    EXPECT_EQ(log.count("status=2"), 1u);

    // A new item that becomes ready makes the player ready again.
    engine_->script(kURL, ScriptedMedia{});
    player->replaceCurrentItem(PlayerItem::create(*core::URL::create(kURL)));
    settle();
    EXPECT_EQ(player->status(), Player::Status::readyToPlay);
    EXPECT_FALSE(player->error().has_value());

    auto unscripted =
        Player::create(PlayerItem::create(*core::URL::create("https://ads.example/none")));
    settle();
    ASSERT_TRUE(unscripted->error().has_value());
    EXPECT_EQ(unscripted->error()->message, "No scripted media for https://ads.example/none.");
}

TEST_F(ScriptedPlayerTest, MediaWithoutADurationPlaysOnAndStaysIndefinite) {
    ScriptedMedia endless;
    endless.duration.reset();
    engine_->script(kURL, endless);
    auto player = makePlayer();
    EXPECT_TRUE(item_->duration().isIndefinite());
    player->play();
    clock_.advance(100);
    EXPECT_DOUBLE_EQ(seconds(player), 100);
}

TEST_F(ScriptedPlayerTest, ReplacingTheItemStopsTheEnginesWorkAndKeepsTheOldItemsTime) {
    auto player = makePlayer();
    mediatest::ChangeLog log(player);
    player->play();
    clock_.advance(1);
    EXPECT_EQ(engine_->playingCount(kURL), 1u);
    const auto first = item_;

    player->replaceCurrentItem(nullptr);
    EXPECT_EQ(engine_->playingCount(kURL), 0u);
    EXPECT_EQ(log.count("currentItem"), 1u);
    EXPECT_EQ(log.count("currentItem.duration"), 1u);
    clock_.advance(1);
    EXPECT_DOUBLE_EQ(first->currentTime().toSeconds(), 1);
    EXPECT_DOUBLE_EQ(seconds(player), 0);

    // Back on the player it starts again where it stood.
    player->replaceCurrentItem(first);
    settle();
    EXPECT_EQ(engine_->playingCount(kURL), 1u);
    clock_.advance(1);
    EXPECT_DOUBLE_EQ(seconds(player), 2);

    // Another player takes the item away.
    auto other = Player::create(first);
    EXPECT_EQ(player->currentItem(), nullptr);
    EXPECT_EQ(first->player(), other);
    other.reset();
    EXPECT_EQ(engine_->playingCount(kURL), 0u);
}

TEST_F(ScriptedPlayerTest, FramesReachVideoOutputsAndALaterOutputStartsWithTheLastOne) {
    ScriptedMedia media;
    media.frames = {{0, media::PixelBuffer::filled(8, 8, {255, 0, 0}, media::ColorMatrix::itu709)}};
    engine_->script(kURL, media);
    auto early = media::VideoOutput::create();
    item_ = PlayerItem::create(*core::URL::create(kURL));
    item_->addOutput(early);
    auto player = Player::create(item_);
    settle();

    const Time now = early->itemTimeForHostTime(clock_->monotonicSeconds());
    EXPECT_EQ(now, Time::zero());
    auto frame = early->copyPixelBufferForItemTime(now);
    ASSERT_NE(frame, nullptr);
    const auto red = frame->rgbAt(4, 4);
    EXPECT_GE(red[0], 253);
    EXPECT_LE(std::max(red[1], red[2]), 2);
    EXPECT_EQ(early->copyPixelBufferForItemTime(now), nullptr);

    auto late = media::VideoOutput::create();
    item_->addOutput(late);
    EXPECT_NE(late->copyPixelBufferForItemTime(now), nullptr);

    // Frames due later wait for their time; the output reads time while playing.
    engine_->deliverFrame(
        kURL, media::PixelBuffer::filled(8, 8, {0, 0, 255}, media::ColorMatrix::itu709), 0.5);
    EXPECT_FALSE(late->hasNewPixelBufferForItemTime(now));
    player->play();
    const Time soon = late->itemTimeForHostTime(clock_->monotonicSeconds() + 0.5);
    EXPECT_NEAR(soon.toSeconds(), 0.5, 1e-9);
    EXPECT_TRUE(late->hasNewPixelBufferForItemTime(soon));
    item_->removeOutput(late);
    EXPECT_FALSE(late->itemTimeForHostTime(clock_->monotonicSeconds()).isValid());
}

// The engine decodes ahead of the play position: an output added later
// gets the frame on screen and those after it, not only the newest.
TEST_F(ScriptedPlayerTest, ALaterOutputStartsWithTheFrameOnScreenAndTheOnesDecodedAfterIt) {
    const auto shade = [](std::uint8_t red) {
        return media::PixelBuffer::filled(8, 8, {red, 0, 0}, media::ColorMatrix::itu709);
    };
    ScriptedMedia media;
    media.frames = {{0, shade(40)}, {0.1, shade(120)}, {0.2, shade(200)}};
    engine_->script(kURL, media);
    item_ = PlayerItem::create(*core::URL::create(kURL));
    auto player = Player::create(item_);
    settle();
    const auto redAt = [](media::VideoOutput& output, double hostTime) {
        const auto frame = output.copyPixelBufferForItemTime(output.itemTimeForHostTime(hostTime));
        return frame ? frame->rgbAt(4, 4)[0] : -1;
    };

    auto paused = media::VideoOutput::create();
    item_->addOutput(paused);
    EXPECT_NEAR(redAt(*paused, clock_->monotonicSeconds()), 40, 2) << "the frame on screen";
    player->play();
    EXPECT_NEAR(redAt(*paused, clock_->monotonicSeconds() + 0.2), 200, 2) << "and the later ones";

    clock_.advance(0.15);
    auto playing = media::VideoOutput::create();
    item_->addOutput(playing);
    EXPECT_NEAR(redAt(*playing, clock_->monotonicSeconds()), 120, 2) << "the frame at 0.1";
    EXPECT_EQ(redAt(*playing, clock_->monotonicSeconds()), -1) << "handed out once";
    EXPECT_NEAR(redAt(*playing, clock_->monotonicSeconds() + 0.05), 200, 2);

    // A seek forgets them.
    player->seekToTime(media::Time::seconds(1));
    settle();
    auto afterSeek = media::VideoOutput::create();
    item_->addOutput(afterSeek);
    EXPECT_EQ(redAt(*afterSeek, clock_->monotonicSeconds() + 1), -1);
}

TEST_F(ScriptedPlayerTest, VolumesMuteAndAudioMixAreKept) {
    auto player = makePlayer();
    player->setVolume(0.25f);
    player->setMuted(true);
    EXPECT_FLOAT_EQ(player->volume(), 0.25f);
    EXPECT_TRUE(player->isMuted());
    item_->setAudioMix(media::AudioMix{{{2, 0.5f}, {3, 0.f}}});
    ASSERT_TRUE(item_->audioMix().has_value());
    EXPECT_FLOAT_EQ(item_->audioMix()->volumeForTrack(2), 0.5f);
    EXPECT_FLOAT_EQ(item_->audioMix()->volumeForTrack(3), 0.f);
    EXPECT_FLOAT_EQ(item_->audioMix()->volumeForTrack(9), 1.f);
    item_->setAudioMix(std::nullopt);
    EXPECT_FALSE(item_->audioMix().has_value());
}

TEST_F(ScriptedPlayerTest, AssetsLoadTheirKeysAsynchronously) {
    auto asset = media::URLAsset::create(*core::URL::create(kURL));
    int completions = 0;
    asset->loadValuesAsynchronously({"duration"}, [&] { ++completions; });
    EXPECT_EQ(asset->statusOfValue("duration"), media::AssetKeyStatus::loading);
    asset->loadValuesAsynchronously({"tracks"}, [&] { ++completions; });
    settle();
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(engine_->loadCount(kURL), 1u);
    EXPECT_EQ(asset->statusOfValue("duration"), media::AssetKeyStatus::loaded);
    EXPECT_DOUBLE_EQ(asset->duration().toSeconds(), 4);
    EXPECT_EQ(asset->statusOfValue("bogus"), media::AssetKeyStatus::failed);

    // Loaded keys answer at once.
    asset->loadValuesAsynchronously({"duration"}, [&] { ++completions; });
    EXPECT_EQ(completions, 3);

    ScriptedMedia failing;
    failing.failure = media::MediaError::make(media::MediaError::DecodeFailed, "Bad.");
    engine_->script("https://ads.example/bad.mp4", failing);
    auto bad = media::URLAsset::create(*core::URL::create("https://ads.example/bad.mp4"));
    bad->loadValuesAsynchronously({"duration"}, [&] { ++completions; });
    settle();
    std::optional<media::MediaError> error;
    EXPECT_EQ(bad->statusOfValue("duration", &error), media::AssetKeyStatus::failed);
    EXPECT_EQ(error, failing.failure);
}

TEST_F(ScriptedPlayerTest, LoadingRequestsReachTheDelegateAndKeepHowTheyEnded) {
    const std::string url = "video://ads.example/clip.mp4";
    auto asset = media::URLAsset::create(*core::URL::create(url));
    auto delegate = std::make_shared<mediatest::MemoryResourceDelegate>(std::string(100, 'x'), 40);
    delegate->attach(*asset->resourceLoader());
    using Request = media::AssetResourceLoadingRequest;

    const auto information = engine_->sendLoadingRequest(url, true, std::nullopt);
    const auto data = engine_->sendLoadingRequest(url, false, Request::DataRange{10, 90, true});
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [&] { return data->outcome() != Request::Outcome::pending; }, 5));
    EXPECT_EQ(information->outcome(), Request::Outcome::finished);
    EXPECT_EQ(information->contentInformationRequest()->contentLength(), 100);
    EXPECT_TRUE(information->contentInformationRequest()->isByteRangeAccessSupported());
    EXPECT_EQ(data->outcome(), Request::Outcome::finished);
    EXPECT_EQ(data->respondedLength(), 90);
    EXPECT_EQ(data->dataRequest()->currentOffset(), 100);
    EXPECT_EQ(data->takeData(), std::string(90, 'x'));

    delegate->holdData = true;
    const auto held = engine_->sendLoadingRequest(url, false, Request::DataRange{0, 100, true});
    ASSERT_TRUE(
        core::RunLoop::main().runUntil([&] { return delegate->requests().size() == 3; }, 5));
    engine_->cancelLoadingRequest(held);
    EXPECT_TRUE(held->isCancelled());
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return delegate->cancelledCount() == 1; }, 5));
    held->dataRequest()->respondWithData("late");
    held->finishLoading();
    EXPECT_EQ(held->outcome(), Request::Outcome::cancelled);
    EXPECT_EQ(held->respondedLength(), 0);

    delegate->decline = true;
    const auto declined = engine_->sendLoadingRequest(url, true, std::nullopt);
    ASSERT_TRUE(core::RunLoop::main().runUntil(
        [&] { return declined->outcome() != Request::Outcome::pending; }, 5));
    EXPECT_EQ(declined->outcome(), Request::Outcome::declined);
    EXPECT_EQ(engine_->loadingRequests(url).size(), 4u);

    // No asset for the URL, or its delegate gone: declined at once.
    delegate.reset();
    EXPECT_EQ(engine_->sendLoadingRequest(url, true, std::nullopt)->outcome(),
              Request::Outcome::declined);
    EXPECT_EQ(engine_->sendLoadingRequest("video://other", true, std::nullopt)->outcome(),
              Request::Outcome::declined);
}

}  // namespace
