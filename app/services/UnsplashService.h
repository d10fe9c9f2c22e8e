#pragma once
// What every call to the photo service shares: its two headers and the
// download-tracking call made for each photo the app has shown.

#include <string>

#include "core/HTTPClient.h"

namespace app {

// The app's access token for the photo service: 64 lowercase hex digits.
inline constexpr const char* kPhotoServiceAccessToken =
    "5f1c9e07a2d84b36c0e9f71a48b25d6e93c07fa1e6b4d28c5a90f3e7b1d46c28";

// "Authorization" (bearer token) and "Accept" ("application/json").
[[nodiscard]] core::HTTPHeaderList photoServiceHeaders();

class UnsplashService {
public:
    static UnsplashService& shared();

    // Tells the photo service that a photo was shown. Answers nothing;
    // callers skip empty texts. The token goes only to the photo service's
    // own API host: a URL on any other host is pinged without it.
    void reqDownloadLocation(const std::string& url);

    [[nodiscard]] const core::HTTPHeaderList& headers() const { return headers_; }

private:
    UnsplashService();
    core::HTTPHeaderList headers_;
};

}  // namespace app
