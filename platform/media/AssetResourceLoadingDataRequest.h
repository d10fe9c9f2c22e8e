#pragma once
// The part of a loading request that asks for bytes: from requestedOffset,
// requestedLength of them (or all to the end of the resource). The
// delegate answers with respondWithData() as bytes become available, in
// order; currentOffset() is where the next answered byte belongs. Safe from
// any thread.

#include <atomic>
#include <cstdint>
#include <string_view>

namespace media {

class AssetResourceLoadingRequest;

class AssetResourceLoadingDataRequest {
public:
    AssetResourceLoadingDataRequest(AssetResourceLoadingRequest& owner, std::int64_t offset,
                                    std::int64_t length, bool toEnd)
        : owner_(owner), requestedOffset_(offset), requestedLength_(length), toEnd_(toEnd),
          currentOffset_(offset) {}
    AssetResourceLoadingDataRequest(const AssetResourceLoadingDataRequest&) = delete;
    AssetResourceLoadingDataRequest& operator=(const AssetResourceLoadingDataRequest&) = delete;

    [[nodiscard]] std::int64_t requestedOffset() const { return requestedOffset_; }
    [[nodiscard]] std::int64_t requestedLength() const { return requestedLength_; }
    [[nodiscard]] bool requestsAllDataToEndOfResource() const { return toEnd_; }
    [[nodiscard]] std::int64_t currentOffset() const { return currentOffset_.load(); }

    // Bytes that follow the ones answered so far. Ignored once the request
    // has ended (finished, failed, cancelled).
    void respondWithData(std::string_view bytes);

private:
    friend class AssetResourceLoadingRequest;

    AssetResourceLoadingRequest& owner_;
    const std::int64_t requestedOffset_;
    const std::int64_t requestedLength_;
    const bool toEnd_;
    std::atomic<std::int64_t> currentOffset_;
};

}  // namespace media
