#include "ads/foundation/DZServerHosts.h"

#include <mutex>

namespace ads {

namespace {

struct Hosts {
    std::mutex mutex;
    std::optional<std::string> adServer;
    std::optional<std::string> staticHost;
    std::optional<std::string> mediation;
    std::optional<std::string> reporting;
};

Hosts& hosts() {
    static auto* const shared = new Hosts;
    return *shared;
}

}  // namespace

std::string DZServerHosts::adServerHost() {
    std::lock_guard lock(hosts().mutex);
    return hosts().adServer.value_or(std::string(kDefaultAdServerHost));
}

void DZServerHosts::setAdServerHost(std::optional<std::string> host) {
    std::lock_guard lock(hosts().mutex);
    hosts().adServer = std::move(host);
}

std::string DZServerHosts::staticHost() {
    std::lock_guard lock(hosts().mutex);
    return hosts().staticHost.value_or(std::string(kDefaultStaticHost));
}

void DZServerHosts::setStaticHost(std::optional<std::string> host) {
    std::lock_guard lock(hosts().mutex);
    hosts().staticHost = std::move(host);
}

std::string DZServerHosts::mediationHost() {
    std::lock_guard lock(hosts().mutex);
    return hosts().mediation.value_or(std::string(kDefaultMediationHost));
}

void DZServerHosts::setMediationHost(std::optional<std::string> host) {
    std::lock_guard lock(hosts().mutex);
    hosts().mediation = std::move(host);
}

std::string DZServerHosts::reportingHost() {
    std::lock_guard lock(hosts().mutex);
    return hosts().reporting.value_or(std::string(kDefaultReportingHost));
}

void DZServerHosts::setReportingHost(std::optional<std::string> host) {
    std::lock_guard lock(hosts().mutex);
    hosts().reporting = std::move(host);
}

std::string DZServerHosts::adServerURLString(std::string_view path) {
    return "https://" + adServerHost() + std::string(path);
}

std::string DZServerHosts::staticURLString(std::string_view path) {
    return "https://" + staticHost() + std::string(path);
}

std::string DZServerHosts::mediationURLString(std::string_view path) {
    return "https://" + mediationHost() + std::string(path);
}

std::string DZServerHosts::reportingURLString(std::string_view path) {
    return "https://" + reportingHost() + std::string(path);
}

}  // namespace ads
