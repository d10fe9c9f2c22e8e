#include "media/FFmpegSource.h"

#include <mutex>
#include <string>

#include "core/FileManager.h"
#include "media/FFmpegError.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace media {

namespace {

constexpr const char* kFormats = "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,mpegts,mp3,aac,ogg,wav";
constexpr const char* kSystemAuthorities = "/etc/ssl/certs/ca-certificates.crt";

// libavformat's TLS takes one authority file, which replaces the system's:
// the file it gets holds both.
std::string authorityFile(const std::string& extra) {
    static std::mutex mutex;
    static std::string madeFrom;
    static std::string made;
    const std::lock_guard lock(mutex);
    if (extra.empty()) return {};
    if (madeFrom == extra) return made;
    const auto system = core::FileManager::readFile(kSystemAuthorities);
    const auto own = core::FileManager::readFile(extra);
    if (!own) return extra;
    const auto folder = core::FileManager::createFolder(core::Folder::Temporary);
    if (!folder) return extra;
    const std::string path = folder.value() + "/media-authorities.pem";
    std::string both = system ? system.value() : std::string();
    both += "\n";
    both += own.value();
    if (!core::FileManager::writeAtomically(path, both)) return extra;
    madeFrom = extra;
    made = path;
    return made;
}

AssetTrack trackOf(const AVStream& stream) {
    AssetTrack track;
    track.trackID = stream.id > 0 ? stream.id : stream.index + 1;
    track.estimatedDataRate = static_cast<float>(stream.codecpar->bit_rate);
    switch (stream.codecpar->codec_type) {
    case AVMEDIA_TYPE_VIDEO: {
        track.mediaType = MediaType::video;
        track.naturalSize = {static_cast<double>(stream.codecpar->width),
                             static_cast<double>(stream.codecpar->height)};
        const auto* matrix = reinterpret_cast<const std::int32_t*>(
            av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
        if (matrix) {
            // 16.16 fixed point, row-major [a b u; c d v; tx ty w].
            const auto fixed = [&](int index) { return matrix[index] / 65536.0; };
            track.preferredTransform = {fixed(0), fixed(1), fixed(3), fixed(4), fixed(6), fixed(7)};
        }
        break;
    }
    case AVMEDIA_TYPE_AUDIO:
        track.mediaType = MediaType::audio;
        break;
    default:
        track.mediaType = MediaType::other;
        break;
    }
    return track;
}

}  // namespace

FFmpegSource::FFmpegSource(Private, core::URL url, std::shared_ptr<FFmpegInterrupt> interrupt)
    : url_(std::move(url)), interrupt_(std::move(interrupt)) {}

FFmpegSource::~FFmpegSource() {
    if (context_) avformat_close_input(&context_);
    reader_.reset();
}

FFmpegSource::OpenResult FFmpegSource::open(const core::URL& url,
                                            const std::shared_ptr<AssetResourceLoader>& loader,
                                            const FFmpegOptions& options,
                                            std::shared_ptr<FFmpegInterrupt> interrupt) {
    auto source = std::make_unique<FFmpegSource>(Private{}, url, std::move(interrupt));
    if (auto error = source->openInput(loader, options)) return *error;
    if (auto error = source->probe()) return *error;
    return source;
}

std::optional<MediaError>
FFmpegSource::openInput(const std::shared_ptr<AssetResourceLoader>& loader,
                        const FFmpegOptions& options) {
    context_ = avformat_alloc_context();
    if (!context_) return MediaError::make(MediaError::Unknown, "Out of memory.");
    context_->interrupt_callback = {&FFmpegInterrupt::callback, interrupt_.get()};
    AVDictionary* settings = nullptr;
    av_dict_set(&settings, "format_whitelist", kFormats, 0);
    std::string location = url_.absoluteString();
    if (url_.isHTTPorHTTPS()) {
        av_dict_set(&settings, "protocol_whitelist", "http,https,tls,tcp", 0);
        av_dict_set_int(&settings, "rw_timeout",
                        static_cast<std::int64_t>(options.readTimeoutSeconds * 1e6), 0);
        av_dict_set(&settings, "tls_verify", "1", 0);
        const auto authorities = authorityFile(options.trustedCertificatesFile);
        if (!authorities.empty()) av_dict_set(&settings, "ca_file", authorities.c_str(), 0);
    } else if (url_.isFileURL()) {
        const auto path = url_.fileSystemPath();
        if (!path) {
            av_dict_free(&settings);
            return MediaError::make(MediaError::Unknown, "The file URL names no usable path.");
        }
        av_dict_set(&settings, "protocol_whitelist", "file", 0);
        location = "file:" + *path;
    } else {
        av_dict_set(&settings, "protocol_whitelist", "none", 0);
        reader_ = std::make_unique<FFmpegResourceReader>(url_, loader, interrupt_);
        if (auto error = reader_->start()) {
            av_dict_free(&settings);
            avformat_free_context(context_);
            context_ = nullptr;
            return error;
        }
        context_->pb = reader_->context();
        context_->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    const int opened = avformat_open_input(&context_, location.c_str(), nullptr, &settings);
    av_dict_free(&settings);
    if (opened < 0) {
        context_ = nullptr;  // freed by libavformat
        return failure("Cannot open", opened);
    }
    return std::nullopt;
}

std::optional<MediaError> FFmpegSource::probe() {
    const int found = avformat_find_stream_info(context_, nullptr);
    if (found < 0) return failure("Cannot read", found);
    videoStream_ = av_find_best_stream(context_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    audioStream_ = av_find_best_stream(context_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (videoStream_ < 0 && audioStream_ < 0) {
        return MediaError::make(MediaError::FileFormatNotRecognized,
                                "No audio or video in " + url_.absoluteString() + ".");
    }
    if (videoStream_ < 0) videoStream_ = -1;
    if (audioStream_ < 0) audioStream_ = -1;
    origin_ = context_->start_time != AV_NOPTS_VALUE
                  ? static_cast<double>(context_->start_time) / AV_TIME_BASE
                  : 0;
    for (unsigned index = 0; index < context_->nb_streams; ++index) {
        AVStream* stream = context_->streams[index];
        info_.tracks.push_back(trackOf(*stream));
        if (static_cast<int>(index) != videoStream_ && static_cast<int>(index) != audioStream_) {
            stream->discard = AVDISCARD_ALL;
        }
    }
    if (context_->duration != AV_NOPTS_VALUE && context_->duration > 0) {
        info_.duration = Time(context_->duration, AV_TIME_BASE);
    }
    return std::nullopt;
}

MediaError FFmpegSource::failure(const char* what, int averror) const {
    if (interrupt_->isStopped()) {
        return MediaError::make(MediaError::Cancelled,
                                "Loading " + url_.absoluteString() + " was cancelled.");
    }
    if (reader_) {
        if (auto error = reader_->error()) return *error;
    }
    const long code =
        averror == AVERROR_INVALIDDATA ? MediaError::FileFormatNotRecognized : MediaError::Unknown;
    return FFmpegError::make(code, std::string(what) + " " + url_.absoluteString(), averror);
}

MediaError FFmpegSource::readError(int averror) const {
    return failure("Cannot read", averror);
}

}  // namespace media
