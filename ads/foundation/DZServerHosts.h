#pragma once
// The hosts the SDK reaches over https: the ad server (the core page, ad
// requests) and the static host (the SDK's own scripts). Each is a host with
// an optional ":port"; tests point them at loopback servers. Any thread.

#include <optional>
#include <string>
#include <string_view>

namespace ads {

class DZServerHosts {
public:
    static constexpr std::string_view kDefaultAdServerHost = "ads.dozuza.com";
    static constexpr std::string_view kDefaultStaticHost = "static.dozuza.com";

    [[nodiscard]] static std::string adServerHost();
    // nullopt restores the default.
    static void setAdServerHost(std::optional<std::string> host);
    [[nodiscard]] static std::string staticHost();
    static void setStaticHost(std::optional<std::string> host);

    // "https://" + host + path.
    [[nodiscard]] static std::string adServerURLString(std::string_view path);
    [[nodiscard]] static std::string staticURLString(std::string_view path);
};

}  // namespace ads
