#pragma once
// The part of a loading request that asks what the resource is: the
// delegate fills it in before finishing the request. Safe from any thread.

#include <cstdint>
#include <mutex>
#include <string>

namespace media {

class AssetResourceLoadingContentInformationRequest {
public:
    // A MIME type or a type identifier such as "public.mpeg-4".
    void setContentType(std::string type);
    [[nodiscard]] std::string contentType() const;
    // Bytes in the whole resource; -1 until set.
    void setContentLength(std::int64_t length);
    [[nodiscard]] std::int64_t contentLength() const;
    void setByteRangeAccessSupported(bool supported);
    [[nodiscard]] bool isByteRangeAccessSupported() const;

private:
    mutable std::mutex mutex_;
    std::string contentType_;
    std::int64_t contentLength_ = -1;
    bool byteRangeAccessSupported_ = false;
};

}  // namespace media
