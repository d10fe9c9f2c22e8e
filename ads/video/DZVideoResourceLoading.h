#pragma once
// What the video loaders tell the media engine about the bytes they serve
// through custom URL schemes: the type identifier of a MIME type, the
// content information of a download, and SDK errors in the engine's form.
// Pure apart from reading the cache; any thread.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/core/request/DZError.h"
#include "media/AssetResourceLoadingRequest.h"
#include "media/MediaError.h"

namespace ads {

class DZResourceCache;

// The uniform type identifier of a MIME type ("video/mp4" is
// "public.mpeg-4"), read without case and parameters; other video and audio
// types give "public.movie" and "public.audio", anything else nullopt.
[[nodiscard]] std::optional<std::string>
DZUniformTypeIdentifierForMIMEType(std::string_view mimeType);

// Fills in a request's content information from the download: the type
// identifier of its MIME type (empty without one), its content length and
// byte-range access. Nothing for a request without that part.
void DZFillContentInformation(media::AssetResourceLoadingRequest& request,
                              const DZResourceCache& cache);

// An SDK error as the engine keeps it: same domain, code and message.
[[nodiscard]] media::MediaError DZMediaErrorFromError(const Error& error);

}  // namespace ads
