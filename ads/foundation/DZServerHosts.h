#pragma once
// The hosts the SDK reaches over https: the ad server (the core page, ad
// requests), the static host (the SDK's own scripts), the mediation
// tracking host (the default mediation pings) and the reporting host (crash
// reports). Each is a host with an optional ":port"; tests and the app's
// embedded default point them at loopback servers. Any thread.

#include <optional>
#include <string>
#include <string_view>

namespace ads {

class DZServerHosts {
public:
    static constexpr std::string_view kDefaultAdServerHost = "ads.dozuza.com";
    static constexpr std::string_view kDefaultStaticHost = "static.dozuza.com";
    static constexpr std::string_view kDefaultMediationHost = "mediation.dozuza.com";
    static constexpr std::string_view kDefaultReportingHost = "reports.dozuza.com";

    [[nodiscard]] static std::string adServerHost();
    // nullopt restores the default.
    static void setAdServerHost(std::optional<std::string> host);
    [[nodiscard]] static std::string staticHost();
    static void setStaticHost(std::optional<std::string> host);
    [[nodiscard]] static std::string mediationHost();
    static void setMediationHost(std::optional<std::string> host);
    [[nodiscard]] static std::string reportingHost();
    static void setReportingHost(std::optional<std::string> host);

    // "https://" + host + path.
    [[nodiscard]] static std::string adServerURLString(std::string_view path);
    [[nodiscard]] static std::string staticURLString(std::string_view path);
    [[nodiscard]] static std::string mediationURLString(std::string_view path);
    [[nodiscard]] static std::string reportingURLString(std::string_view path);
};

}  // namespace ads
