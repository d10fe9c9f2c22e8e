#include "media/AssetResourceLoadingDataRequest.h"

#include "media/AssetResourceLoadingRequest.h"

namespace media {

void AssetResourceLoadingDataRequest::respondWithData(std::string_view bytes) {
    owner_.respond(bytes, currentOffset_);
}

}  // namespace media
