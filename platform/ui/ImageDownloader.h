#pragma once
// Downloads and decodes remote images through one URLSession whose request
// time-out is the download time-out. A download has no deadline: it goes on
// as long as bytes come at kLowSpeedLimit bytes a second or more on average
// over each kLowSpeedTime seconds, and fails once they come slower or once
// the body passes the maximum download size. Requests for a URL already being
// downloaded join that download: one request goes out and every caller gets
// its result, decoded once for each pixel size the callers asked for (see
// ImageOptions::targetPixelSize). A status of 400 or more, a network error,
// or a body that does not decode within kMaxPixels ends a download with an
// error.
//
// Main thread only: progress and completions arrive on the main queue;
// decoding runs on core::Queue::global().

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/URL.h"
#include "core/URLSession.h"
#include "core/Value.h"
#include "gfx/Image.h"
#include "ui/ImageError.h"
#include "ui/ImageOptions.h"

namespace ui {

class ImageDownloader : public std::enable_shared_from_this<ImageDownloader> {
    struct Private {};

public:
    static constexpr double kDefaultDownloadTimeout = 15;
    static constexpr std::int64_t kMaxPixels = 50'000'000;
    static constexpr std::int64_t kLowSpeedLimit = 1024;
    static constexpr double kLowSpeedTime = 60;

    // The image with the bytes it was decoded from, or an error.
    using Completion =
        std::function<void(gfx::ImagePtr image, core::Data bytes, std::optional<ImageError> error)>;

    // One caller of one download.
    struct Handle {
        std::string url;
        std::uint64_t caller = 0;
    };

    [[nodiscard]] static std::shared_ptr<ImageDownloader> create();
    explicit ImageDownloader(Private);
    ~ImageDownloader();
    ImageDownloader(const ImageDownloader&) = delete;
    ImageDownloader& operator=(const ImageDownloader&) = delete;

    [[nodiscard]] double downloadTimeout() const { return downloadTimeout_; }
    // Applies to downloads that start afterwards.
    void setDownloadTimeout(double seconds);
    // The most bytes one image may have; the URL session's default until
    // set. Applies to downloads that start afterwards.
    [[nodiscard]] std::int64_t maximumDownloadBytes() const { return maximumDownloadBytes_; }
    void setMaximumDownloadBytes(std::int64_t bytes);

    // pixelSize: the size to decode for; empty for the full size.
    [[nodiscard]] Handle download(const core::URL& url, ImageProgressBlock progress,
                                  Completion completion, gfx::Size pixelSize = {});
    // The caller gets nothing more; the request is cancelled when it was the
    // last caller.
    void cancel(const Handle& handle);
    // URLs being downloaded or decoded.
    [[nodiscard]] size_t activeDownloadCount() const { return downloads_.size(); }

    // How downloaded and cached bytes are decoded for a pixel size.
    [[nodiscard]] static gfx::ImageDecodeOptions decodeOptions(gfx::Size pixelSize);

private:
    struct Caller {
        std::uint64_t id = 0;
        ImageProgressBlock progress;
        Completion completion;
        gfx::Size pixelSize;
    };
    // The decoded images of one body by the sizes asked, in asking order,
    // and the reason of a failed decode.
    struct Decoded {
        std::vector<std::pair<gfx::Size, gfx::ImagePtr>> images;
        std::string reason;
    };
    struct Download {
        std::shared_ptr<core::URLSessionDataTask> task;
        std::vector<Caller> callers;
    };

    [[nodiscard]] std::shared_ptr<core::URLSession> session();
    void start(const core::URL& url, const std::shared_ptr<Download>& download);
    void received(const std::string& url, const std::weak_ptr<Download>& download, core::Data body,
                  const std::optional<core::HTTPURLResponse>& response,
                  const std::optional<core::NetworkError>& error);
    void progressed(const std::weak_ptr<Download>& download, std::int64_t received,
                    std::int64_t expected);
    // Ends the download, if it is still the one for url, with its result.
    void finish(const std::string& url, const std::weak_ptr<Download>& download,
                const Decoded& decoded, core::Data bytes, std::optional<ImageError> error);
    [[nodiscard]] static Decoded decode(const core::Data& body,
                                        const std::vector<gfx::Size>& sizes);

    // Ends the session: later downloads get one with the current settings.
    void dropSession();

    double downloadTimeout_ = kDefaultDownloadTimeout;
    std::int64_t maximumDownloadBytes_ =
        core::URLSessionConfiguration::kDefaultMaximumResponseBytes;
    std::shared_ptr<core::URLSession> session_;
    std::map<std::string, std::shared_ptr<Download>> downloads_;
    std::uint64_t nextCaller_ = 1;
};

}  // namespace ui
