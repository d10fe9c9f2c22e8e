#pragma once
// Shared by the video loading tests: the SDK core page's gcache answers as
// a script, files in the SDK cache folder, downloads of a local server that
// grow as far as the test opens them, and waits for loading requests.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ads/foundation/DZFileSystem.h"
#include "ads/web/cache/DZGCacheSDKCore.h"
#include "ads/web/cache/DZGCacheURLLoader.h"
#include "ads/web/cache/DZResourceCache.h"
#include "core/FileManager.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "fixtures/LoopbackServer.h"
#include "fixtures/ResponseGate.h"
#include "media/AssetResourceLoadingRequest.h"

namespace videoloading {

using Outcome = media::AssetResourceLoadingRequest::Outcome;

[[nodiscard]] inline bool waitFor(const std::function<bool()>& predicate, double limit = 10) {
    return core::RunLoop::main().runUntil(predicate, limit);
}

// Waits until the request is no longer pending; its outcome.
inline Outcome endOf(const std::shared_ptr<media::AssetResourceLoadingRequest>& request,
                     double limit = 10) {
    (void)waitFor([&] { return request->outcome() != Outcome::pending; }, limit);
    return request->outcome();
}

// Answers "DUZO_GCache" with the reply set, and shares the running cache
// of the file it names; installed as the shared core while alive.
class ScriptedGCacheCore final : public ads::DZGCacheSDKCore {
public:
    void executeExportedJavaScriptCommand(std::string_view, std::optional<core::Dictionary>,
                                          CommandCompletion completion) override {
        if (completion)
            core::Queue::main()->async([completion, reply = reply] { completion(reply, {}); });
    }
    std::shared_ptr<ads::DZResourceCache>
    resourceCacheForFileURL(const core::URL& fileURL) override {
        return running && running->fileURL() == fileURL ? running : nullptr;
    }

    core::Dictionary reply;
    std::shared_ptr<ads::DZResourceCache> running;
};

class SharedCoreScope {
public:
    SharedCoreScope() { ads::DZGCacheURLLoader::setSharedSDKCore(core); }
    ~SharedCoreScope() { ads::DZGCacheURLLoader::setSharedSDKCore(nullptr); }
    SharedCoreScope(const SharedCoreScope&) = delete;
    SharedCoreScope& operator=(const SharedCoreScope&) = delete;

    // The page's copy of a resource at fileURL.
    void answer(const core::URL& fileURL, std::string_view contentType = "video/mp4",
                std::int64_t length = 0) {
        core->reply = {{"fileurl", fileURL.absoluteString()},
                       {"content-type", std::string(contentType)},
                       {"content-length", std::to_string(length)}};
    }

    std::shared_ptr<ScriptedGCacheCore> core = std::make_shared<ScriptedGCacheCore>();
};

// A file in the SDK cache folder.
inline core::URL cachedFile(const std::string& name, std::string_view bytes) {
    const auto folder = ads::DZCacheDirectoryPath(std::nullopt, nullptr);
    const std::string path = *folder->fileSystemPath() + "/" + name;
    EXPECT_TRUE(core::FileManager::writeAtomically(path, bytes));
    return core::URL::fileURL(path);
}

// Bytes 0, 1, 2, ... 255, 0, ... : every offset is recognisable.
inline std::string countingBytes(size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(i & 0xff);
    return bytes;
}

// A local server answering path over byte ranges, each answer's body let
// out only as far as the gate is open.
class MeteredServer {
public:
    MeteredServer(std::string path, std::string body) : path_(std::move(path)) {
        server.on("GET", path_,
                  [this, body = std::move(body)](const fixtures::LoopbackRequest& request) {
                      return fixtures::LoopbackResponse::ranged(request, body, "video/mp4")
                          .meteredBy(gate);
                  });
    }
    [[nodiscard]] core::URL url() const { return server.url(path_); }
    // Waits until a download has received bytes.
    static bool waitForBytes(const std::shared_ptr<ads::DZResourceCache>& cache,
                             std::int64_t bytes) {
        return waitFor([&] { return cache->cachedContentSize() >= bytes; });
    }

    std::shared_ptr<fixtures::ResponseGate> gate = fixtures::ResponseGate::make();
    fixtures::LoopbackServer server;

private:
    std::string path_;
};

}  // namespace videoloading
