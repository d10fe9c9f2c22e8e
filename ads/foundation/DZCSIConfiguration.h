#pragma once
// Where and whether a CSI hub reports: the service name, the report URL,
// the protocol version, the sampling decision and the User-Agent of the
// reports. The sampling decision is drawn once, from core::Random, when the
// probability is set; defaultConfiguration() does that with the server's
// "/dozuza/ads/csi_reporting_probability" (0.05 when absent), so each hub
// made with it reports or not for its whole life.
//
// Threading: any thread; the fields are guarded by a lock.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace ads {

class DZCSIConfiguration {
public:
    static constexpr std::string_view kReportingURLKey = "/dozuza/ads/csi_reporting_url";
    static constexpr std::string_view kReportingProbabilityKey =
        "/dozuza/ads/csi_reporting_probability";
    static constexpr float kDefaultReportingProbability = 0.05f;
    static constexpr std::string_view kDefaultServiceName = "dzmob_sdk";
    static constexpr std::string_view kDefaultServer = "https://csi.dozuza.com/csi";
    static constexpr std::int64_t kVersion = 3;

    // The SDK's service with the server settings applied.
    [[nodiscard]] static std::shared_ptr<DZCSIConfiguration> defaultConfiguration();
    // Reporting, to the default server, version 3.
    explicit DZCSIConfiguration(std::string serviceName);
    DZCSIConfiguration(const DZCSIConfiguration&) = delete;
    DZCSIConfiguration& operator=(const DZCSIConfiguration&) = delete;

    // Draws r uniformly in 0..999 and reports when r < trunc(p x 1000) (the
    // product taken in float): 0 never reports, 1 always does.
    void setReportingProbability(float probability);

    [[nodiscard]] bool reportingEnabled() const;
    void setReportingEnabled(bool enabled);
    [[nodiscard]] std::string serviceName() const;
    void setServiceName(std::string serviceName);
    // The report URL without query, as set; reports go only to http or https.
    [[nodiscard]] std::string server() const;
    void setServer(std::string server);
    [[nodiscard]] std::int64_t version() const;
    void setVersion(std::int64_t version);

    // "DozuzaCsi/1.0 (<device>; U; CPU <system> <version>; <locale>) <app>/<build>",
    // built on first use from the device profile and the main bundle.
    [[nodiscard]] std::string userAgent() const;
    // "Simulator" on a simulator, else the machine code with "/" before its
    // first digit and "," turned into ".": "phone9,3" gives "phone/9.3".
    [[nodiscard]] static std::string deviceVersionString();
    // The same for a given machine code; "Unknown" when none or empty.
    [[nodiscard]] static std::string
    deviceVersionStringForMachine(std::optional<std::string_view> machine);

private:
    mutable std::mutex mutex_;
    std::string serviceName_;
    std::string server_{kDefaultServer};
    std::int64_t version_ = kVersion;
    bool reportingEnabled_ = true;
    mutable std::optional<std::string> cachedUserAgentString_;
};

}  // namespace ads
