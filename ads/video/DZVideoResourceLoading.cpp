#include "ads/video/DZVideoResourceLoading.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "ads/web/cache/DZResourceCache.h"

namespace ads {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 16> kIdentifiers = {{
    {"video/mp4", "public.mpeg-4"},
    {"video/x-m4v", "public.mpeg-4"},
    {"audio/mp4", "public.mpeg-4-audio"},
    {"audio/m4a", "public.mpeg-4-audio"},
    {"audio/x-m4a", "public.mpeg-4-audio"},
    {"video/mpeg", "public.mpeg"},
    {"video/mp2t", "public.mpeg-2-transport-stream"},
    {"video/3gpp", "public.3gpp"},
    {"video/3gpp2", "public.3gpp2"},
    {"audio/3gpp", "public.3gpp"},
    {"audio/3gpp2", "public.3gpp2"},
    {"video/avi", "public.avi"},
    {"video/x-msvideo", "public.avi"},
    {"audio/mpeg", "public.mp3"},
    {"audio/mp3", "public.mp3"},
    {"audio/aac", "public.aac-audio"},
}};

// "Video/MP4; codecs=avc1" is "video/mp4".
std::string essence(std::string_view mimeType) {
    mimeType = mimeType.substr(0, mimeType.find(';'));
    const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!mimeType.empty() && isSpace(mimeType.front())) mimeType.remove_prefix(1);
    while (!mimeType.empty() && isSpace(mimeType.back())) mimeType.remove_suffix(1);
    std::string lowered(mimeType);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lowered;
}

}  // namespace

std::optional<std::string> DZUniformTypeIdentifierForMIMEType(std::string_view mimeType) {
    const std::string type = essence(mimeType);
    for (const auto& [mime, identifier] : kIdentifiers) {
        if (mime == type) return std::string(identifier);
    }
    const size_t slash = type.find('/');
    if (slash == std::string::npos || slash + 1 == type.size()) return std::nullopt;
    const std::string_view top = std::string_view(type).substr(0, slash);
    if (top == "video") return "public.movie";
    if (top == "audio") return "public.audio";
    return std::nullopt;
}

void DZFillContentInformation(media::AssetResourceLoadingRequest& request,
                              const DZResourceCache& cache) {
    auto* information = request.contentInformationRequest();
    if (!information) return;
    const auto mimeType = cache.contentType();
    information->setContentType(
        mimeType ? DZUniformTypeIdentifierForMIMEType(*mimeType).value_or("") : "");
    information->setContentLength(cache.contentLength());
    information->setByteRangeAccessSupported(true);
}

media::MediaError DZMediaErrorFromError(const Error& error) {
    return media::MediaError{error.domain, error.code, error.message};
}

}  // namespace ads
