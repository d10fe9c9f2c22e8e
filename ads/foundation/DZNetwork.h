#pragma once
// The network part of every ad request: whether and how the device is
// connected (watched through reachability of the vendor's host), the cellular
// radio technology and provider, and the user agent of the SDK's web view,
// which the SDK's own HTTP requests carry.
//
// Every field is written asynchronously and read synchronously on the serial
// queue "com.dozuza.vuraz.network"; reachability reports arrive on
// "com.dozuza.vuraz.network-enable" and radio changes on the main queue, and
// both only queue a write. Every member is safe from any thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/Value.h"

namespace ui {
class NetworkReachability;
class TelephonyNetworkInfo;
}  // namespace ui

namespace ads {

enum DZNetworkType : unsigned long {
    kDZNetworkTypeUnknown = 0,
    kDZNetworkTypeNotReachable = 1,
    kDZNetworkTypeLocal = 2,
    kDZNetworkTypeCellular = 3,
};

inline constexpr std::string_view kDZNetworkReachabilityHost = "www.dozuza.com";
inline constexpr std::uint32_t kDZReachabilityFlagReachable = 0x2;
inline constexpr std::uint32_t kDZReachabilityFlagIsWWAN = 0x40000;

class DZNetwork : public std::enable_shared_from_this<DZNetwork> {
public:
    // Created, enabled and made the source of DZUserAgent() on first use.
    [[nodiscard]] static std::shared_ptr<DZNetwork> sharedInstance();

    // The code sent for a network type: "wi", "ed", or none.
    [[nodiscard]] static std::optional<std::string> codeForNetworkType(unsigned long type);
    [[nodiscard]] static unsigned long networkTypeFromFlags(std::uint32_t flags);

    // A fresh instance that watches nothing until enabled.
    [[nodiscard]] static std::shared_ptr<DZNetwork> create();
    ~DZNetwork();
    DZNetwork(const DZNetwork&) = delete;
    DZNetwork& operator=(const DZNetwork&) = delete;

    // Starts watching reachability and the radio (systems 7.0 and later).
    void enableRadioAccessTechnologyChecking();

    // "net", "net_last", "cellular_country_code", "cellular_network_code",
    // "ios_radio", "ios_radio_last", each only when known.
    [[nodiscard]] core::Dictionary requestDictionary() const;

    void setNetworkType(unsigned long type);
    void setNetworkTypeFromFlags(std::uint32_t flags);
    void setRadioAccessTechnology(std::optional<std::string> technology);

    [[nodiscard]] std::string userAgentString() const;
    // Keeps the first non-empty agent for the life of the instance.
    void setUserAgentString(const std::optional<std::string>& agent);

private:
    DZNetwork();
    void sync(const std::function<void()>& block) const;

    unsigned long networkType_ = kDZNetworkTypeUnknown;
    unsigned long lastKnownNetworkType_ = kDZNetworkTypeUnknown;
    const std::shared_ptr<core::Queue> lockQueue_;
    std::shared_ptr<core::Queue> enableCheckingQueue_;
    std::shared_ptr<ui::NetworkReachability> networkReachability_;
    core::NotificationCenter::Token radioAccessTechnologyChangeObserver_;
    std::shared_ptr<ui::TelephonyNetworkInfo> telephonyNetworkInfo_;
    std::optional<std::string> radioAccessTechnology_;
    std::optional<std::string> lastKnownRadioAccessTechnology_;
    std::string userAgentString_;
};

}  // namespace ads
