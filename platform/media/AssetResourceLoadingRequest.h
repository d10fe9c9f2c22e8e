#pragma once
// One request of an engine for part of a custom-scheme resource, handed to
// the asset's resource-loader delegate: a content-information part (what
// the resource is), a data part (which bytes), or both. The delegate
// answers with the parts' setters and respondWithData(), then ends it with
// finishLoading() or finishLoadingWithError(); the engine may cancel it
// first (the delegate hears of that through didCancelLoadingRequest).
//
// The engine's side waits for answered bytes and for the end; outcome()
// keeps how the request ended, for the engine and for tests.
//
// Safe from any thread.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/URL.h"
#include "media/AssetResourceLoadingContentInformationRequest.h"
#include "media/AssetResourceLoadingDataRequest.h"
#include "media/MediaError.h"

namespace media {

class AssetResourceLoadingRequest {
public:
    enum class Outcome { pending, finished, failed, cancelled, declined };

    struct DataRange {
        std::int64_t offset = 0;
        std::int64_t length = 0;
        bool toEnd = false;
    };

    [[nodiscard]] static std::shared_ptr<AssetResourceLoadingRequest>
    create(core::URL url, bool contentInformation, std::optional<DataRange> data);

    AssetResourceLoadingRequest(const AssetResourceLoadingRequest&) = delete;
    AssetResourceLoadingRequest& operator=(const AssetResourceLoadingRequest&) = delete;

    // The asset's URL, with its custom scheme.
    [[nodiscard]] const core::URL& url() const { return url_; }
    // nullptr when that part was not asked for.
    [[nodiscard]] AssetResourceLoadingContentInformationRequest* contentInformationRequest() {
        return contentInformation_.get();
    }
    [[nodiscard]] AssetResourceLoadingDataRequest* dataRequest() { return data_.get(); }

    // Each ends a pending request; later calls change nothing.
    void finishLoading();
    void finishLoadingWithError(MediaError error);
    // Finished or failed.
    [[nodiscard]] bool isFinished() const;
    [[nodiscard]] bool isCancelled() const;

    // The engine's side.
    [[nodiscard]] Outcome outcome() const;
    [[nodiscard]] std::optional<MediaError> error() const;
    // All bytes answered so far, taken or not.
    [[nodiscard]] std::int64_t respondedLength() const;
    // The bytes answered since the last take.
    [[nodiscard]] std::string takeData();
    // Waits up to maxSeconds of real time until bytes wait to be taken or
    // the request is no longer pending.
    void waitForDataOrEnd(double maxSeconds);
    // Ends a pending request as cancelled or declined; false when it had
    // ended already.
    bool markCancelled();
    bool markDeclined();

private:
    friend class AssetResourceLoadingDataRequest;
    struct Private {};

public:
    AssetResourceLoadingRequest(Private, core::URL url);

private:
    void respond(std::string_view bytes, std::atomic<std::int64_t>& currentOffset);
    bool end(Outcome outcome, std::optional<MediaError> error);

    const core::URL url_;
    std::unique_ptr<AssetResourceLoadingContentInformationRequest> contentInformation_;
    std::unique_ptr<AssetResourceLoadingDataRequest> data_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Outcome outcome_ = Outcome::pending;
    std::optional<MediaError> error_;
    std::string waiting_;
    std::int64_t responded_ = 0;
};

}  // namespace media
