#include "app/services/UnsplashService.h"

#include <cctype>

#include "app/services/AlamofireService.h"
#include "app/services/AppConfiguration.h"
#include "core/Console.h"
#include "core/JSON.h"
#include "core/URL.h"

namespace app {

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int effectivePort(const core::URL& url) {
    return url.port().value_or(lower(url.scheme()) == "https" ? 443 : 80);
}

// Same scheme, host and port as the configured photo API.
bool isPhotoServiceHost(const std::string& urlText) {
    const auto url = core::URL::create(urlText);
    const auto api = core::URL::create(AppConfiguration::current().photoAPIBase);
    if (!url || !api) return false;
    return lower(url->scheme()) == lower(api->scheme()) && lower(url->host()) == lower(api->host()) &&
           effectivePort(*url) == effectivePort(*api);
}

}  // namespace

core::HTTPHeaderList photoServiceHeaders() {
    const std::string configured = AppConfiguration::photoAccessTokenFromEnvironment();
    std::string authorization = "Bearer ";
    authorization.append(configured.empty() ? kPhotoServiceAccessToken : configured);
    return {{"Authorization", std::move(authorization)},
            {"Accept", "application/json"}};
}

UnsplashService& UnsplashService::shared() {
    static UnsplashService* service = new UnsplashService();
    return *service;
}

UnsplashService::UnsplashService() : headers_(photoServiceHeaders()) {}

void UnsplashService::reqDownloadLocation(const std::string& url) {
    core::HTTPHeaderList headers = headers_;
    if (!isPhotoServiceHost(url))
        std::erase_if(headers, [](const auto& header) { return header.first == "Authorization"; });
    core::HTTPClient::requestJSON(
        AlamofireService::defaultSession(), url, {}, headers, [](const core::HTTPResult<core::Value>& result) {
            if (!result.value) {
                // A status error with a readable JSON body is still reported.
                if (!result.error || !result.error->statusCode) return;
                core::JSONReadOptions options;
                options.allowFragments = true;
                const std::string_view body(reinterpret_cast<const char*>(result.body.data()),
                                            result.body.size());
                if (auto value = core::JSON::parse(body, options))
                    core::Console::log("reqDownloadLocation fail: " +
                                       core::JSON::write(*value).value_or(""));
                return;
            }
            core::Console::log("reqDownloadLocation success: " +
                               core::JSON::write(*result.value).value_or(""));
        });
}

}  // namespace app
