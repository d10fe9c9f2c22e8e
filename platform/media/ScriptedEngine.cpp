#include "media/ScriptedEngine.h"

#include <utility>

#include "core/Queue.h"

namespace media {

namespace {

constexpr double kTolerance = 1e-6;
// What "everything is loaded" means for media without a duration.
constexpr double kEndlessLoaded = 1e6;

std::vector<TimeRange> rangesOf(const ScriptedMedia& media) {
    if (media.loadedRanges) return *media.loadedRanges;
    return {TimeRange::fromSeconds(0, media.duration.value_or(kEndlessLoaded))};
}

bool loadedToEnd(const ScriptedMedia& media, const std::vector<TimeRange>& ranges) {
    return media.duration && !ranges.empty() &&
           ranges.back().endSeconds() >= *media.duration - kTolerance;
}

AssetInfo infoOf(const ScriptedMedia& media) {
    return AssetInfo{media.tracks,
                     media.duration ? Time::seconds(*media.duration) : Time::indefinite()};
}

// Everything an item learns when it becomes ready; ranges and flags come
// first, so that the player never sees a ready item with nothing loaded.
void report(const ScriptedMedia& media, EngineItemSink& sink) {
    const auto ranges = rangesOf(media);
    sink.setLoadedRanges(ranges, loadedToEnd(media, ranges));
    sink.setLikelyToKeepUp(media.likelyToKeepUp);
    sink.setBufferFull(media.bufferFull);
    sink.ready(infoOf(media));
    for (const auto& frame : media.frames) sink.deliverFrame(frame.buffer, frame.time);
}

}  // namespace

class ScriptedEngine::Asset final : public EngineAsset {
public:
    Asset(std::shared_ptr<ScriptedEngine> engine, std::string url)
        : engine_(std::move(engine)), url_(std::move(url)) {}

    void load(LoadReply reply) override {
        engine_->recordLoad(url_);
        core::Queue::main()->async([engine = engine_, url = url_, reply = std::move(reply)] {
            reply(engine->loadResult(url));
        });
    }
    void cancelLoading() override {}
    std::unique_ptr<EngineItem> play(std::shared_ptr<EngineItemSink> sink,
                                     std::shared_ptr<ItemTimebase> timebase) override {
        return engine_->startItem(url_, std::move(sink), std::move(timebase));
    }

private:
    const std::shared_ptr<ScriptedEngine> engine_;
    const std::string url_;
};

class ScriptedEngine::Item final : public EngineItem {
public:
    Item(std::shared_ptr<ScriptedEngine> engine, std::string url, std::uint64_t id)
        : engine_(std::move(engine)), url_(std::move(url)), id_(id) {}
    ~Item() override { engine_->stopItem(url_, id_); }

    void seek(double seconds) override { engine_->recordSeek(url_, seconds); }

private:
    const std::shared_ptr<ScriptedEngine> engine_;
    const std::string url_;
    const std::uint64_t id_;
};

std::shared_ptr<ScriptedEngine> ScriptedEngine::create() {
    return std::make_shared<ScriptedEngine>(Private{});
}

void ScriptedEngine::script(const std::string& url, ScriptedMedia media) {
    const std::lock_guard lock(mutex_);
    scripts_[url] = std::move(media);
}

ScriptedMedia ScriptedEngine::scripted(const std::string& url) const {
    const std::lock_guard lock(mutex_);
    const auto found = scripts_.find(url);
    return found == scripts_.end() ? ScriptedMedia{} : found->second;
}

EngineAsset::LoadResult ScriptedEngine::loadResult(const std::string& url) const {
    const std::lock_guard lock(mutex_);
    const auto found = scripts_.find(url);
    if (found == scripts_.end()) {
        return MediaError::make(MediaError::FileFormatNotRecognized,
                                "No scripted media for " + url + ".");
    }
    if (found->second.failure) return *found->second.failure;
    return infoOf(found->second);
}

std::shared_ptr<EngineAsset>
ScriptedEngine::makeAsset(const core::URL& url, std::shared_ptr<AssetResourceLoader> loader) {
    {
        const std::lock_guard lock(mutex_);
        loaders_[url.absoluteString()] = loader;
    }
    return std::make_shared<Asset>(shared_from_this(), url.absoluteString());
}

std::unique_ptr<EngineItem> ScriptedEngine::startItem(const std::string& url,
                                                      std::shared_ptr<EngineItemSink> sink,
                                                      std::shared_ptr<ItemTimebase> timebase) {
    std::uint64_t id = 0;
    {
        const std::lock_guard lock(mutex_);
        id = nextId_++;
        playing_[url].push_back(Playing{id, std::move(sink), std::move(timebase)});
    }
    std::weak_ptr<ScriptedEngine> weak = weak_from_this();
    core::Queue::main()->async([weak, url, id] {
        if (const auto self = weak.lock()) self->start(url, id);
    });
    return std::make_unique<Item>(shared_from_this(), url, id);
}

void ScriptedEngine::start(const std::string& url, std::uint64_t id) {
    std::shared_ptr<EngineItemSink> sink;
    ScriptedMedia media;
    bool known = false;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& playing : playing_[url]) {
            if (playing.id == id) sink = playing.sink;
        }
        const auto found = scripts_.find(url);
        known = found != scripts_.end();
        if (known) media = found->second;
    }
    if (!sink) return;
    if (!known) {
        sink->fail(std::get<MediaError>(loadResult(url)));
    } else if (media.failure) {
        sink->fail(*media.failure);
    } else if (media.readyAtOnce) {
        report(media, *sink);
    }
}

void ScriptedEngine::stopItem(const std::string& url, std::uint64_t id) {
    const std::lock_guard lock(mutex_);
    std::erase_if(playing_[url], [id](const Playing& playing) { return playing.id == id; });
}

std::vector<std::shared_ptr<EngineItemSink>> ScriptedEngine::sinks(const std::string& url) const {
    const std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<EngineItemSink>> sinks;
    if (const auto found = playing_.find(url); found != playing_.end()) {
        for (const auto& playing : found->second) sinks.push_back(playing.sink);
    }
    return sinks;
}

void ScriptedEngine::makeReady(const std::string& url) {
    ScriptedMedia media;
    {
        const std::lock_guard lock(mutex_);
        scripts_[url].readyAtOnce = true;
        media = scripts_[url];
    }
    for (const auto& sink : sinks(url)) report(media, *sink);
}

void ScriptedEngine::fail(const std::string& url, const MediaError& error) {
    {
        const std::lock_guard lock(mutex_);
        scripts_[url].failure = error;
    }
    for (const auto& sink : sinks(url)) sink->fail(error);
}

void ScriptedEngine::setLikelyToKeepUp(const std::string& url, bool likely) {
    {
        const std::lock_guard lock(mutex_);
        scripts_[url].likelyToKeepUp = likely;
    }
    for (const auto& sink : sinks(url)) sink->setLikelyToKeepUp(likely);
}

void ScriptedEngine::setBufferFull(const std::string& url, bool full) {
    {
        const std::lock_guard lock(mutex_);
        scripts_[url].bufferFull = full;
    }
    for (const auto& sink : sinks(url)) sink->setBufferFull(full);
}

void ScriptedEngine::setLoadedRanges(const std::string& url, std::vector<TimeRange> ranges) {
    bool complete = false;
    {
        const std::lock_guard lock(mutex_);
        auto& media = scripts_[url];
        media.loadedRanges = ranges;
        complete = loadedToEnd(media, ranges);
    }
    for (const auto& sink : sinks(url)) sink->setLoadedRanges(ranges, complete);
}

void ScriptedEngine::stall(const std::string& url) {
    std::vector<std::pair<std::shared_ptr<EngineItemSink>, std::vector<TimeRange>>> stalls;
    {
        const std::lock_guard lock(mutex_);
        auto& media = scripts_[url];
        media.likelyToKeepUp = false;
        const auto ranges = rangesOf(media);
        for (const auto& playing : playing_[url]) {
            const double now = playing.timebase->seconds();
            std::vector<TimeRange> cut;
            for (const auto& range : ranges) {
                if (range.startSeconds() > now) break;
                cut.push_back(TimeRange::fromSeconds(range.startSeconds(),
                                                     std::min(range.endSeconds(), now)));
            }
            media.loadedRanges = cut;
            stalls.emplace_back(playing.sink, std::move(cut));
        }
    }
    for (const auto& [sink, ranges] : stalls) {
        sink->setLikelyToKeepUp(false);
        sink->setLoadedRanges(ranges, false);
    }
}

void ScriptedEngine::deliverFrame(const std::string& url, std::shared_ptr<const PixelBuffer> frame,
                                  double time) {
    for (const auto& sink : sinks(url)) sink->deliverFrame(frame, time);
}

std::shared_ptr<AssetResourceLoadingRequest>
ScriptedEngine::sendLoadingRequest(const std::string& url, bool contentInformation,
                                   std::optional<AssetResourceLoadingRequest::DataRange> data) {
    std::shared_ptr<AssetResourceLoader> loader;
    auto request = AssetResourceLoadingRequest::create(
        core::URL::create(url).value_or(core::URL::fileURL("/")), contentInformation, data);
    {
        const std::lock_guard lock(mutex_);
        loader = loaders_[url].lock();
        requests_[url].push_back(request);
    }
    if (loader) {
        loader->send(request);
    } else {
        request->markDeclined();
    }
    return request;
}

void ScriptedEngine::cancelLoadingRequest(
    const std::shared_ptr<AssetResourceLoadingRequest>& request) {
    std::shared_ptr<AssetResourceLoader> loader;
    {
        const std::lock_guard lock(mutex_);
        loader = loaders_[request->url().absoluteString()].lock();
    }
    if (loader) {
        loader->cancel(request);
    } else {
        request->markCancelled();
    }
}

std::vector<std::shared_ptr<AssetResourceLoadingRequest>>
ScriptedEngine::loadingRequests(const std::string& url) const {
    const std::lock_guard lock(mutex_);
    const auto found = requests_.find(url);
    return found == requests_.end() ? std::vector<std::shared_ptr<AssetResourceLoadingRequest>>{}
                                    : found->second;
}

size_t ScriptedEngine::playingCount(const std::string& url) const {
    return sinks(url).size();
}

std::vector<double> ScriptedEngine::seeks(const std::string& url) const {
    const std::lock_guard lock(mutex_);
    const auto found = seeks_.find(url);
    return found == seeks_.end() ? std::vector<double>{} : found->second;
}

size_t ScriptedEngine::loadCount(const std::string& url) const {
    const std::lock_guard lock(mutex_);
    const auto found = loads_.find(url);
    return found == loads_.end() ? 0 : found->second;
}

void ScriptedEngine::recordLoad(const std::string& url) {
    const std::lock_guard lock(mutex_);
    ++loads_[url];
}

void ScriptedEngine::recordSeek(const std::string& url, double seconds) {
    const std::lock_guard lock(mutex_);
    seeks_[url].push_back(seconds);
}

}  // namespace media
