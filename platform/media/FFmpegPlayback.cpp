#include "media/FFmpegPlayback.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "media/AudioOutput.h"
#include "media/FFmpegThreads.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace media {

namespace {

// Packets are decoded this far ahead of the play position, plus the frames
// the video decoder holds back for reordering.
constexpr double kLead = 0.1;
// Sound is decoded this far ahead (more than a sound device asks ahead),
// in bursts: once less than half of it is left.
constexpr double kSoundLead = 1.0;
// What is read before the item reports ready, unless the input ends first.
constexpr double kReadyAhead = 0.5;
// The buffer stops being full once below this share of the cap.
constexpr double kRefill = 0.9;
// Video packets in a row that may fail to decode before the item fails.
constexpr int kMaxDecodeFailures = 50;
constexpr auto kIdleWait = std::chrono::milliseconds(10);

class Handle final : public EngineItem {
public:
    Handle(std::shared_ptr<FFmpegPlayback> playback, std::shared_ptr<AudioStream> stream)
        : playback_(std::move(playback)), stream_(std::move(stream)) {}
    ~Handle() override {
        playback_->stop();
        if (stream_) AudioOutput::shared().removeStream(stream_);
    }
    void seek(double seconds) override { playback_->seek(seconds); }

private:
    const std::shared_ptr<FFmpegPlayback> playback_;
    const std::shared_ptr<AudioStream> stream_;
};

double seconds(std::int64_t timestamp, AVRational base) {
    return static_cast<double>(timestamp) * base.num / base.den;
}

}  // namespace

std::unique_ptr<EngineItem> FFmpegPlayback::start(std::shared_ptr<FFmpegAsset> asset,
                                                  std::shared_ptr<EngineItemSink> sink,
                                                  std::shared_ptr<ItemTimebase> timebase) {
    auto stream = AudioOutput::shared().addStream(timebase, sink->audioSettings());
    auto playback = std::make_shared<FFmpegPlayback>(std::move(asset), std::move(sink),
                                                     std::move(timebase), stream);
    FFmpegThreads::spawn([playback] { playback->run(); });
    return std::make_unique<Handle>(playback, std::move(stream));
}

FFmpegPlayback::FFmpegPlayback(std::shared_ptr<FFmpegAsset> asset,
                               std::shared_ptr<EngineItemSink> sink,
                               std::shared_ptr<ItemTimebase> timebase,
                               std::shared_ptr<AudioStream> stream)
    : asset_(std::move(asset)),
      sink_(std::move(sink)),
      timebase_(std::move(timebase)),
      stream_(std::move(stream)) {}

FFmpegPlayback::~FFmpegPlayback() {
    clearQueue();
    av_packet_free(&packet_);
    video_.reset();
    sound_.reset();
    audio_.reset();
    source_.reset();
}

void FFmpegPlayback::stop() {
    interrupt_->stop();
    wake_.notify_all();
}

void FFmpegPlayback::seek(double seconds) {
    // Sound queued for the old position is not heard past this point.
    const std::uint64_t soundEpoch = stream_ ? stream_->flush() : 0;
    {
        const std::lock_guard lock(mutex_);
        pendingSeek_ = Seek{seconds, sink_->frameEpoch(), soundEpoch};
    }
    wake_.notify_all();
}

std::optional<FFmpegPlayback::Seek> FFmpegPlayback::takeSeek() {
    const std::lock_guard lock(mutex_);
    return std::exchange(pendingSeek_, std::nullopt);
}

void FFmpegPlayback::waitForWork() {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, kIdleWait,
                   [this] { return pendingSeek_.has_value() || interrupt_->isStopped(); });
}

void FFmpegPlayback::run() {
    if (!open()) return;
    packet_ = av_packet_alloc();
    if (!packet_) return;
    needFrame_ = video_ != nullptr;
    epoch_ = sink_->frameEpoch();
    soundEpoch_ = stream_ ? stream_->epoch() : 0;
    lead_ = kLead;
    if (video_) {
        const AVRational rate = source_->context()->streams[source_->videoStream()]->avg_frame_rate;
        const double frame =
            rate.num > 0 && rate.den > 0 ? static_cast<double>(rate.den) / rate.num : 0.04;
        lead_ += (video_->reorderDelay() + 1) * std::min(frame, 0.1);
    }
    const double start = timebase_->seconds();
    if (start > 0) {
        applySeek(start, epoch_, soundEpoch_);
    } else {
        segmentStart_ = loadedEnd_ = 0;
    }
    while (!stopped() && !inputEnded_ && !full_ && loadedEnd_ - start < kReadyAhead) {
        if (!readPacket()) break;
        updateFull(start);
    }
    if (stopped()) return;
    publish();
    sink_->ready(source_->info());
    while (!stopped()) {
        if (const auto target = takeSeek())
            applySeek(target->seconds, target->epoch, target->soundEpoch);
        bool worked = false;
        if (!inputEnded_ && !full_) worked = readPacket();
        worked = decodeDue() || worked;
        updateFull(timebase_->seconds());
        if (stopped()) break;
        publish();
        if (sound_ && timebase_->rate() > 0) AudioOutput::shared().soundWanted();
        if (!worked) waitForWork();
    }
}

bool FFmpegPlayback::open() {
    source_ = asset_->takeProbedSource(*interrupt_);
    if (source_) {
        interrupt_->onStop([other = source_->interrupt()] { other->stop(); });
    } else {
        if (interrupt_->isStopped()) return false;
        auto opened =
            FFmpegSource::open(asset_->url(), asset_->loader(), asset_->options(), interrupt_);
        if (auto* error = std::get_if<MediaError>(&opened)) {
            fail(*error);
            return false;
        }
        source_ = std::move(std::get<std::unique_ptr<FFmpegSource>>(opened));
    }
    if (!openDecoder(source_->videoStream(), video_)) return false;
    // Without a stream to hand it to, the sound stays undecoded.
    if (!stream_) {
        if (source_->audioStream() >= 0) AudioOutput::shared().soundWithoutDevice();
        return true;
    }
    if (!openDecoder(source_->audioStream(), audio_) || !audio_) return true;
    const int index = source_->audioStream();
    const AVStream& stream = *source_->context()->streams[index];
    sound_ = std::make_unique<FFmpegAudio>(stream_, stream.time_base, source_->origin());
    stream_->setTrack(source_->info().tracks[static_cast<std::size_t>(index)].trackID);
    return true;
}

bool FFmpegPlayback::openDecoder(int stream, std::unique_ptr<FFmpegDecoder>& decoder) {
    if (stream < 0) return true;
    auto opened =
        FFmpegDecoder::open(*source_->context()->streams[stream], asset_->options().decoderThreads);
    if (auto* error = std::get_if<MediaError>(&opened)) {
        // Audio that cannot be decoded is dropped undecoded; video cannot be.
        if (stream == source_->audioStream()) return true;
        fail(*error);
        return false;
    }
    decoder = std::move(std::get<std::unique_ptr<FFmpegDecoder>>(opened));
    return true;
}

void FFmpegPlayback::fail(const MediaError& error) {
    if (failed_ || interrupt_->isStopped()) return;
    failed_ = true;
    sink_->fail(error);
}

bool FFmpegPlayback::readPacket() {
    const int result = av_read_frame(source_->context(), packet_);
    if (result == AVERROR(EAGAIN)) return false;
    if (result == AVERROR_EOF) {
        inputEnded_ = true;
        return true;
    }
    if (result < 0) {
        fail(source_->readError(result));
        return false;
    }
    const int stream = packet_->stream_index;
    const bool video = stream == source_->videoStream();
    if (!video && stream != source_->audioStream()) {
        av_packet_unref(packet_);
        return true;
    }
    const AVRational base = source_->context()->streams[stream]->time_base;
    const std::int64_t presented = packet_->pts != AV_NOPTS_VALUE ? packet_->pts : packet_->dts;
    const std::int64_t decoded = packet_->dts != AV_NOPTS_VALUE ? packet_->dts : presented;
    if (presented != AV_NOPTS_VALUE) {
        const double end = seconds(presented + std::max<std::int64_t>(packet_->duration, 0), base) -
                           source_->origin();
        loadedEnd_ = std::max(loadedEnd_, end);
    }
    Packet queued;
    queued.video = video;
    queued.due =
        decoded != AV_NOPTS_VALUE ? seconds(decoded, base) - source_->origin() : loadedEnd_;
    queued.packet = av_packet_alloc();
    if (!queued.packet) {
        av_packet_unref(packet_);
        return true;
    }
    av_packet_move_ref(queued.packet, packet_);
    queuedBytes_ += static_cast<std::size_t>(queued.packet->size);
    if (video) {
        ++queuedVideo_;
    } else {
        ++queuedSound_;
    }
    queue_.push_back(queued);
    return true;
}

bool FFmpegPlayback::decodeDue() {
    const double now = timebase_->seconds();
    const double horizon = now + lead_;
    bool worked = false;
    // Sound runs further ahead than pictures: its due packets are taken
    // from wherever they are in the queue.
    if (sound_ && soundDecodedUntil_ < now + kSoundLead / 2) {
        const double soundHorizon = now + kSoundLead;
        for (auto at = queue_.begin(); at != queue_.end() && !stopped();) {
            if (at->due > soundHorizon) break;
            if (at->video) {
                ++at;
                continue;
            }
            const Packet packet = *at;
            at = queue_.erase(at);
            consume(packet);
            worked = true;
        }
    }
    while (!queue_.empty() && !stopped()) {
        const Packet packet = queue_.front();
        // Until the first frame (after the start or a seek) everything is
        // decoded at once, so that there is a picture before playing.
        if (!needFrame_ && packet.due > horizon) break;
        queue_.pop_front();
        consume(packet);
        worked = true;
    }
    if (inputEnded_ && queuedVideo_ == 0 && !drained_) {
        drain();
        worked = true;
    }
    if (inputEnded_ && queuedSound_ == 0 && sound_ && !soundDrained_) {
        drainSound();
        worked = true;
    }
    return worked;
}

void FFmpegPlayback::consume(Packet packet) {
    queuedBytes_ -= static_cast<std::size_t>(packet.packet->size);
    if (packet.video) {
        --queuedVideo_;
    } else {
        --queuedSound_;
        soundDecodedUntil_ = std::max(soundDecodedUntil_, packet.due);
    }
    decode(packet);
    av_packet_free(&packet.packet);
}

void FFmpegPlayback::decode(const Packet& packet) {
    if (!packet.video) {
        if (audio_ && sound_) {
            audio_->decode(packet.packet,
                           [this](const AVFrame& frame) { sound_->deliver(frame, soundEpoch_); });
        }
        return;
    }
    if (!video_) return;
    if (video_->decode(packet.packet, [this](const AVFrame& frame) { deliver(frame); })) {
        decodeFailures_ = 0;
    } else if (++decodeFailures_ >= kMaxDecodeFailures) {
        fail(MediaError::make(MediaError::DecodeFailed, "Cannot decode the video of " +
                                                            asset_->url().absoluteString() + "."));
    }
}

void FFmpegPlayback::deliver(const AVFrame& frame) {
    const AVRational base = source_->context()->streams[source_->videoStream()]->time_base;
    if (frame.best_effort_timestamp != AV_NOPTS_VALUE) {
        lastFrameTime_ = seconds(frame.best_effort_timestamp, base) - source_->origin();
    }
    if (auto buffer = converter_.convert(frame)) {
        sink_->deliverFrame(std::move(buffer), lastFrameTime_, epoch_);
        needFrame_ = false;
    }
}

void FFmpegPlayback::drain() {
    drained_ = true;
    if (video_) video_->decode(nullptr, [this](const AVFrame& frame) { deliver(frame); });
}

void FFmpegPlayback::drainSound() {
    soundDrained_ = true;
    audio_->decode(nullptr, [this](const AVFrame& frame) { sound_->deliver(frame, soundEpoch_); });
    sound_->drain(soundEpoch_);
}

void FFmpegPlayback::applySeek(double target, std::uint64_t epoch, std::uint64_t soundEpoch) {
    epoch_ = epoch;
    soundEpoch_ = soundEpoch;
    if (sound_) sound_->reset();
    const auto timestamp = static_cast<std::int64_t>((target + source_->origin()) * AV_TIME_BASE);
    av_seek_frame(source_->context(), -1, timestamp, AVSEEK_FLAG_BACKWARD);
    clearQueue();
    if (video_) video_->flush();
    if (audio_) audio_->flush();
    inputEnded_ = drained_ = soundDrained_ = full_ = false;
    soundDecodedUntil_ = -1;
    needFrame_ = video_ != nullptr;
    segmentStart_ = loadedEnd_ = target;
}

void FFmpegPlayback::clearQueue() {
    for (auto& packet : queue_) av_packet_free(&packet.packet);
    queue_.clear();
    queuedBytes_ = 0;
    queuedVideo_ = 0;
    queuedSound_ = 0;
}

void FFmpegPlayback::updateFull(double now) {
    const auto& options = asset_->options();
    const double ahead = loadedEnd_ - now;
    if (!full_) {
        full_ = queuedBytes_ >= options.maxQueuedBytes || ahead >= options.maxQueuedSeconds;
    } else {
        full_ = !(static_cast<double>(queuedBytes_) <
                      kRefill * static_cast<double>(options.maxQueuedBytes) &&
                  ahead < kRefill * options.maxQueuedSeconds);
    }
}

void FFmpegPlayback::publish() {
    const double now = timebase_->seconds();
    if (segmentStart_ != published_.start || loadedEnd_ != published_.end ||
        inputEnded_ != published_.complete) {
        published_.start = segmentStart_;
        published_.end = loadedEnd_;
        published_.complete = inputEnded_;
        std::vector<TimeRange> ranges;
        if (loadedEnd_ > segmentStart_)
            ranges.push_back(TimeRange::fromSeconds(segmentStart_, loadedEnd_));
        sink_->setLoadedRanges(std::move(ranges), inputEnded_);
    }
    // A full buffer counts too: with a cap below the keep-up margin, a
    // stalled player would otherwise wait for data that is never read.
    const bool likely =
        inputEnded_ || full_ || loadedEnd_ - now >= asset_->options().likelyToKeepUpSeconds;
    if (published_.likelyToKeepUp != likely) {
        published_.likelyToKeepUp = likely;
        sink_->setLikelyToKeepUp(likely);
    }
    if (published_.full != full_) {
        published_.full = full_;
        sink_->setBufferFull(full_);
    }
}

}  // namespace media
