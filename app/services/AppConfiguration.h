#pragma once
// Where the app's services are: the photo service's API and web site and
// the quote service. The bundle's Configuration.json names the real hosts;
// the environment (VANTOR_PHOTO_API, VANTOR_PHOTO_WEB, VANTOR_QUOTE_URL)
// overrides them (and VANTOR_PHOTO_TOKEN the app's access token), and the tool and tests set the local stand-ins directly.

#include <string>

namespace app {

struct AppConfiguration {
    std::string photoAPIBase;  // scheme and host, no trailing "/"
    std::string photoWebBase;
    std::string quoteURL;

    [[nodiscard]] std::string photoListURL() const { return photoAPIBase + "/photos"; }

    // The configuration in force; read from the environment on first use.
    static const AppConfiguration& current();
    // Replaces it (the tool's embedded default, tests).
    static void set(AppConfiguration configuration);
    [[nodiscard]] static AppConfiguration fromEnvironment();
    // VANTOR_PHOTO_TOKEN, read at each call; empty when unset.
    [[nodiscard]] static std::string photoAccessTokenFromEnvironment();
};

}  // namespace app
