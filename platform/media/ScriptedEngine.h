#pragma once
// An engine that decodes nothing: tests script per asset URL what the media
// is and then drive it. Items of a scripted URL become ready (or fail) one
// run-loop pass after they start playing, with the scripted loaded ranges,
// keep-up and buffer-full flags and frames; commands change the script and
// apply at once to the items of that URL that are playing. Time itself is
// the player's: it moves with core::Clock.
//
// A URL without a script fails with "No scripted media for <url>.".
// Loading requests reach the resource-loader delegate of the latest asset
// made for a URL on command; each request keeps how it ended.
//
// Main thread, except makeAsset().

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/AssetResourceLoadingRequest.h"
#include "media/Engine.h"
#include "media/EngineItemSink.h"
#include "media/ScriptedMedia.h"

namespace media {

class ScriptedEngine final : public Engine, public std::enable_shared_from_this<ScriptedEngine> {
public:
    [[nodiscard]] static std::shared_ptr<ScriptedEngine> create();

    void script(const std::string& url, ScriptedMedia media);
    [[nodiscard]] ScriptedMedia scripted(const std::string& url) const;

    // Commands to the items of url.
    void makeReady(const std::string& url);
    void fail(const std::string& url, const MediaError& error);
    void setLikelyToKeepUp(const std::string& url, bool likely);
    void setBufferFull(const std::string& url, bool full);
    void setLoadedRanges(const std::string& url, std::vector<TimeRange> ranges);
    // Loading stops where each item stands now: the loaded ranges end there
    // and playback is no longer likely to keep up.
    void stall(const std::string& url);
    void deliverFrame(const std::string& url, std::shared_ptr<const PixelBuffer> frame,
                      double time);

    // Sends a loading request to the resource loader of the latest asset
    // made for url (declined at once when there is none).
    std::shared_ptr<AssetResourceLoadingRequest>
    sendLoadingRequest(const std::string& url, bool contentInformation,
                       std::optional<AssetResourceLoadingRequest::DataRange> data);
    void cancelLoadingRequest(const std::shared_ptr<AssetResourceLoadingRequest>& request);
    // Every request sent for url, oldest first.
    [[nodiscard]] std::vector<std::shared_ptr<AssetResourceLoadingRequest>>
    loadingRequests(const std::string& url) const;

    // Items of url playing now; the seeks they were asked for; asset loads.
    [[nodiscard]] size_t playingCount(const std::string& url) const;
    [[nodiscard]] std::vector<double> seeks(const std::string& url) const;
    [[nodiscard]] size_t loadCount(const std::string& url) const;

    [[nodiscard]] std::shared_ptr<EngineAsset>
    makeAsset(const core::URL& url, std::shared_ptr<AssetResourceLoader> loader) override;

private:
    class Asset;
    class Item;
    struct Playing {
        std::uint64_t id = 0;
        std::shared_ptr<EngineItemSink> sink;
        std::shared_ptr<ItemTimebase> timebase;
    };
    struct Private {};

public:
    explicit ScriptedEngine(Private) {}

private:
    [[nodiscard]] EngineAsset::LoadResult loadResult(const std::string& url) const;
    std::unique_ptr<EngineItem> startItem(const std::string& url,
                                          std::shared_ptr<EngineItemSink> sink,
                                          std::shared_ptr<ItemTimebase> timebase);
    void stopItem(const std::string& url, std::uint64_t id);
    void start(const std::string& url, std::uint64_t id);
    // The sinks of url's items, taken under the lock.
    [[nodiscard]] std::vector<std::shared_ptr<EngineItemSink>> sinks(const std::string& url) const;
    void recordLoad(const std::string& url);
    void recordSeek(const std::string& url, double seconds);

    mutable std::mutex mutex_;
    std::map<std::string, ScriptedMedia> scripts_;
    std::map<std::string, std::vector<Playing>> playing_;
    std::map<std::string, std::weak_ptr<AssetResourceLoader>> loaders_;
    std::map<std::string, std::vector<std::shared_ptr<AssetResourceLoadingRequest>>> requests_;
    std::map<std::string, std::vector<double>> seeks_;
    std::map<std::string, size_t> loads_;
    std::uint64_t nextId_ = 1;
};

}  // namespace media
