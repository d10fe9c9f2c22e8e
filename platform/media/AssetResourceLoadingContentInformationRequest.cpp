#include "media/AssetResourceLoadingContentInformationRequest.h"

#include <utility>

namespace media {

void AssetResourceLoadingContentInformationRequest::setContentType(std::string type) {
    const std::lock_guard lock(mutex_);
    contentType_ = std::move(type);
}

std::string AssetResourceLoadingContentInformationRequest::contentType() const {
    const std::lock_guard lock(mutex_);
    return contentType_;
}

void AssetResourceLoadingContentInformationRequest::setContentLength(std::int64_t length) {
    const std::lock_guard lock(mutex_);
    contentLength_ = length;
}

std::int64_t AssetResourceLoadingContentInformationRequest::contentLength() const {
    const std::lock_guard lock(mutex_);
    return contentLength_;
}

void AssetResourceLoadingContentInformationRequest::setByteRangeAccessSupported(bool supported) {
    const std::lock_guard lock(mutex_);
    byteRangeAccessSupported_ = supported;
}

bool AssetResourceLoadingContentInformationRequest::isByteRangeAccessSupported() const {
    const std::lock_guard lock(mutex_);
    return byteRangeAccessSupported_;
}

}  // namespace media
