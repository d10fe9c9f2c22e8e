#pragma once
// Shared pieces of the media tests: an engine installed for one test, a
// recorder of a player's changes, and a resource-loader delegate that
// serves bytes from memory.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "media/AssetResourceLoader.h"
#include "media/Engine.h"
#include "media/Player.h"

namespace mediatest {

// Installs an engine for the lifetime of a test.
class EngineScope {
public:
    explicit EngineScope(std::shared_ptr<media::Engine> engine)
        : previous_(media::Engine::install(std::move(engine))) {}
    ~EngineScope() { media::Engine::install(previous_); }
    EngineScope(const EngineScope&) = delete;
    EngineScope& operator=(const EngineScope&) = delete;

private:
    std::shared_ptr<media::Engine> previous_;
};

// Records "key=value" for a player's changes and "ended" for its items' end
// notifications, in order.
class ChangeLog {
public:
    explicit ChangeLog(const std::shared_ptr<media::Player>& player) : player_(player) {
        for (const char* key :
             {"status", "rate", "currentItem", "currentItem.duration",
              "currentItem.loadedTimeRanges", "currentItem.playbackLikelyToKeepUp",
              "currentItem.playbackBufferFull"}) {
            player->addObserver(key, [this](const std::string& keyPath) { record(keyPath); });
        }
        endToken_ = core::NotificationCenter::defaultCenter().addObserver(
            media::PlayerItem::kDidPlayToEndTimeNotification, nullptr, nullptr,
            [this](const core::Notification&) { entries_.push_back("ended"); });
    }
    ~ChangeLog() { core::NotificationCenter::defaultCenter().removeObserver(endToken_); }
    ChangeLog(const ChangeLog&) = delete;
    ChangeLog& operator=(const ChangeLog&) = delete;

    [[nodiscard]] const std::vector<std::string>& entries() const { return entries_; }
    [[nodiscard]] size_t count(const std::string& entry) const {
        return static_cast<size_t>(std::count(entries_.begin(), entries_.end(), entry));
    }
    [[nodiscard]] bool ended() const { return count("ended") > 0; }
    void clear() { entries_.clear(); }

private:
    void record(const std::string& keyPath) {
        const auto player = player_.lock();
        if (!player) return;
        if (keyPath == "rate") {
            entries_.push_back("rate=" + std::to_string(static_cast<int>(player->rate())));
        } else if (keyPath == "status") {
            entries_.push_back("status=" + std::to_string(static_cast<int>(player->status())));
        } else {
            entries_.push_back(keyPath);
        }
    }

    std::weak_ptr<media::Player> player_;
    std::vector<std::string> entries_;
    core::NotificationCenter::Token endToken_;
};

// Serves a resource from memory on a serial queue of its own: the content
// information, then each data request's bytes in pieces of chunkSize, then
// finishes it. With servedPerRequest, a data request gets that many bytes
// and is then left open. With holdData, data requests are taken and never
// answered; with decline, every request is declined.
class MemoryResourceDelegate : public media::AssetResourceLoaderDelegate,
                               public std::enable_shared_from_this<MemoryResourceDelegate> {
public:
    explicit MemoryResourceDelegate(std::string bytes, size_t chunkSize = 4096)
        : bytes_(std::move(bytes)), chunkSize_(chunkSize) {}

    bool holdData = false;
    bool decline = false;
    std::int64_t servedPerRequest = -1;

    [[nodiscard]] std::shared_ptr<core::Queue> queue() const { return queue_; }
    void attach(media::AssetResourceLoader& loader) {
        loader.setDelegate(weak_from_this(), queue_);
    }

    bool shouldWaitForLoadingOfRequestedResource(
        media::AssetResourceLoader&,
        const std::shared_ptr<media::AssetResourceLoadingRequest>& request) override {
        {
            const std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        if (decline) return false;
        if (auto* information = request->contentInformationRequest()) {
            information->setContentType("video/mp4");
            information->setContentLength(static_cast<std::int64_t>(bytes_.size()));
            information->setByteRangeAccessSupported(true);
        }
        auto* data = request->dataRequest();
        if (!data) {
            request->finishLoading();
            return true;
        }
        if (!holdData) serve(request, data->requestedOffset());
        return true;
    }

    void didCancelLoadingRequest(
        media::AssetResourceLoader&,
        const std::shared_ptr<media::AssetResourceLoadingRequest>& request) override {
        const std::lock_guard lock(mutex_);
        cancelled_.push_back(request);
    }

    [[nodiscard]] std::vector<std::shared_ptr<media::AssetResourceLoadingRequest>>
    requests() const {
        const std::lock_guard lock(mutex_);
        return requests_;
    }
    [[nodiscard]] size_t cancelledCount() const {
        const std::lock_guard lock(mutex_);
        return cancelled_.size();
    }

private:
    // One piece per task, so that cancels and other requests interleave.
    void serve(const std::shared_ptr<media::AssetResourceLoadingRequest>& request,
               std::int64_t offset) {
        if (request->outcome() != media::AssetResourceLoadingRequest::Outcome::pending) return;
        const auto size = static_cast<std::int64_t>(bytes_.size());
        if (offset >= size) {
            request->finishLoading();
            return;
        }
        if (servedPerRequest >= 0 &&
            offset - request->dataRequest()->requestedOffset() >= servedPerRequest) {
            return;
        }
        const auto count =
            std::min<std::int64_t>(static_cast<std::int64_t>(chunkSize_), size - offset);
        request->dataRequest()->respondWithData(std::string_view(bytes_).substr(offset, count));
        queue_->async([weak = weak_from_this(), request, next = offset + count] {
            if (const auto self = weak.lock()) self->serve(request, next);
        });
    }

    const std::string bytes_;
    const size_t chunkSize_;
    const std::shared_ptr<core::Queue> queue_ = core::Queue::serial("media.test.resources");
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<media::AssetResourceLoadingRequest>> requests_;
    std::vector<std::shared_ptr<media::AssetResourceLoadingRequest>> cancelled_;
};

}  // namespace mediatest
