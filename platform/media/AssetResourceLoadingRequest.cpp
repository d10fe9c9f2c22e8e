#include "media/AssetResourceLoadingRequest.h"

#include <chrono>
#include <utility>

namespace media {

std::shared_ptr<AssetResourceLoadingRequest>
AssetResourceLoadingRequest::create(core::URL url, bool contentInformation,
                                    std::optional<DataRange> data) {
    auto request = std::make_shared<AssetResourceLoadingRequest>(Private{}, std::move(url));
    if (contentInformation) {
        request->contentInformation_ =
            std::make_unique<AssetResourceLoadingContentInformationRequest>();
    }
    if (data) {
        request->data_ = std::make_unique<AssetResourceLoadingDataRequest>(
            *request, data->offset, data->length, data->toEnd);
    }
    return request;
}

AssetResourceLoadingRequest::AssetResourceLoadingRequest(Private, core::URL url)
    : url_(std::move(url)) {}

void AssetResourceLoadingRequest::respond(std::string_view bytes,
                                          std::atomic<std::int64_t>& currentOffset) {
    if (bytes.empty()) return;
    {
        const std::lock_guard lock(mutex_);
        if (outcome_ != Outcome::pending) return;
        waiting_.append(bytes);
        responded_ += static_cast<std::int64_t>(bytes.size());
        currentOffset += static_cast<std::int64_t>(bytes.size());
    }
    changed_.notify_all();
}

bool AssetResourceLoadingRequest::end(Outcome outcome, std::optional<MediaError> error) {
    {
        const std::lock_guard lock(mutex_);
        if (outcome_ != Outcome::pending) return false;
        outcome_ = outcome;
        error_ = std::move(error);
    }
    changed_.notify_all();
    return true;
}

void AssetResourceLoadingRequest::finishLoading() {
    (void)end(Outcome::finished, std::nullopt);
}

void AssetResourceLoadingRequest::finishLoadingWithError(MediaError error) {
    (void)end(Outcome::failed, std::move(error));
}

bool AssetResourceLoadingRequest::markCancelled() {
    return end(Outcome::cancelled, std::nullopt);
}

bool AssetResourceLoadingRequest::markDeclined() {
    return end(Outcome::declined, std::nullopt);
}

bool AssetResourceLoadingRequest::isFinished() const {
    const std::lock_guard lock(mutex_);
    return outcome_ == Outcome::finished || outcome_ == Outcome::failed;
}

bool AssetResourceLoadingRequest::isCancelled() const {
    const std::lock_guard lock(mutex_);
    return outcome_ == Outcome::cancelled;
}

AssetResourceLoadingRequest::Outcome AssetResourceLoadingRequest::outcome() const {
    const std::lock_guard lock(mutex_);
    return outcome_;
}

std::optional<MediaError> AssetResourceLoadingRequest::error() const {
    const std::lock_guard lock(mutex_);
    return error_;
}

std::int64_t AssetResourceLoadingRequest::respondedLength() const {
    const std::lock_guard lock(mutex_);
    return responded_;
}

std::string AssetResourceLoadingRequest::takeData() {
    const std::lock_guard lock(mutex_);
    return std::exchange(waiting_, {});
}

void AssetResourceLoadingRequest::waitForDataOrEnd(double maxSeconds) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::duration<double>(maxSeconds),
                      [this] { return !waiting_.empty() || outcome_ != Outcome::pending; });
}

}  // namespace media
