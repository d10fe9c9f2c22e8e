#pragma once
// One item's demux/decode thread in the FFmpeg engine. It reads packets
// ahead into a bounded queue (what is queued ahead of the play position is
// the loaded range; the buffer is full at the queue's cap), decodes each
// packet when the item's timebase reaches it (video frames are converted
// to NV12 and handed to the item's outputs; sound is decoded half a second
// ahead and handed to the item's stream of the audio output, unless the
// output has no device to play it on), and reports ranges, keep-up and
// buffer-full changes through the item's sink. Playback is likely to keep
// up with the options' seconds loaded ahead or once the input has ended.
//
// start() runs it on a thread of its own; releasing the EngineItem it
// answers stops the thread, cancelling any blocked read, and takes the
// item's stream off the audio output.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "media/AudioStream.h"
#include "media/EngineItem.h"
#include "media/EngineItemSink.h"
#include "media/FFmpegAsset.h"
#include "media/FFmpegAudio.h"
#include "media/FFmpegDecoder.h"
#include "media/FFmpegFrameConverter.h"
#include "media/FFmpegInterrupt.h"
#include "media/ItemTimebase.h"

struct AVPacket;

namespace media {

class FFmpegPlayback {
public:
    [[nodiscard]] static std::unique_ptr<EngineItem> start(std::shared_ptr<FFmpegAsset> asset,
                                                           std::shared_ptr<EngineItemSink> sink,
                                                           std::shared_ptr<ItemTimebase> timebase);

    // stream: where the sound goes; nullptr to leave it undecoded.
    FFmpegPlayback(std::shared_ptr<FFmpegAsset> asset, std::shared_ptr<EngineItemSink> sink,
                   std::shared_ptr<ItemTimebase> timebase, std::shared_ptr<AudioStream> stream);
    ~FFmpegPlayback();
    FFmpegPlayback(const FFmpegPlayback&) = delete;
    FFmpegPlayback& operator=(const FFmpegPlayback&) = delete;

    void stop();
    void seek(double seconds);

private:
    struct Seek {
        double seconds = 0;
        std::uint64_t epoch = 0;
        std::uint64_t soundEpoch = 0;
    };
    struct Packet {
        AVPacket* packet = nullptr;
        double due = 0;
        bool video = false;
    };
    struct Published {
        double start = -1;
        double end = -1;
        bool complete = false;
        std::optional<bool> likelyToKeepUp;
        std::optional<bool> full;
    };

    void run();
    [[nodiscard]] bool open();
    [[nodiscard]] bool openDecoder(int stream, std::unique_ptr<FFmpegDecoder>& decoder);
    // One packet into the queue; false when there was nothing to do.
    [[nodiscard]] bool readPacket();
    // Decodes the queued packets that are due; false when none was.
    [[nodiscard]] bool decodeDue();
    // Decodes a packet taken off the queue, and frees it.
    void consume(Packet packet);
    void decode(const Packet& packet);
    void deliver(const AVFrame& frame);
    // Takes the frames the video decoder still holds once no video packet
    // is left to come.
    void drain();
    // The same for the sound, once no sound packet is left to come.
    void drainSound();
    void applySeek(double seconds, std::uint64_t epoch, std::uint64_t soundEpoch);
    void clearQueue();
    void updateFull(double now);
    void publish();
    void fail(const MediaError& error);
    [[nodiscard]] std::optional<Seek> takeSeek();
    void waitForWork();
    [[nodiscard]] bool stopped() const { return interrupt_->isStopped() || failed_; }

    const std::shared_ptr<FFmpegAsset> asset_;
    const std::shared_ptr<EngineItemSink> sink_;
    const std::shared_ptr<ItemTimebase> timebase_;
    const std::shared_ptr<AudioStream> stream_;
    const std::shared_ptr<FFmpegInterrupt> interrupt_ = std::make_shared<FFmpegInterrupt>();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Seek> pendingSeek_;

    // The thread's own state.
    std::unique_ptr<FFmpegSource> source_;
    std::unique_ptr<FFmpegDecoder> video_;
    std::unique_ptr<FFmpegDecoder> audio_;
    std::unique_ptr<FFmpegAudio> sound_;
    FFmpegFrameConverter converter_;
    AVPacket* packet_ = nullptr;
    std::deque<Packet> queue_;
    std::size_t queuedBytes_ = 0;
    std::size_t queuedVideo_ = 0;
    std::size_t queuedSound_ = 0;
    // How far ahead of the play position packets are decoded.
    double lead_ = 0;
    double segmentStart_ = 0;
    double loadedEnd_ = 0;
    double lastFrameTime_ = 0;
    std::uint64_t epoch_ = 0;
    std::uint64_t soundEpoch_ = 0;
    // When the last sound packet decoded is due.
    double soundDecodedUntil_ = -1;
    bool inputEnded_ = false;
    bool drained_ = false;
    bool soundDrained_ = false;
    bool full_ = false;
    bool needFrame_ = true;
    bool failed_ = false;
    int decodeFailures_ = 0;
    Published published_;
};

}  // namespace media
