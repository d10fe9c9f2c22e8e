#include "ads/foundation/DZServerHosts.h"

#include <mutex>
#include <utility>

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

using Field = std::optional<std::string> Hosts::*;

std::string read(Field field, std::string_view fallback) {
    std::lock_guard lock(hosts().mutex);
    return (hosts().*field).value_or(std::string(fallback));
}

void write(Field field, std::optional<std::string> host) {
    std::lock_guard lock(hosts().mutex);
    hosts().*field = std::move(host);
}

std::string urlString(const std::string& host, std::string_view path) {
    return "https://" + host + std::string(path);
}

}  // namespace

std::string DZServerHosts::adServerHost() {
    return read(&Hosts::adServer, kDefaultAdServerHost);
}

void DZServerHosts::setAdServerHost(std::optional<std::string> host) {
    write(&Hosts::adServer, std::move(host));
}

std::string DZServerHosts::staticHost() {
    return read(&Hosts::staticHost, kDefaultStaticHost);
}

void DZServerHosts::setStaticHost(std::optional<std::string> host) {
    write(&Hosts::staticHost, std::move(host));
}

std::string DZServerHosts::mediationHost() {
    return read(&Hosts::mediation, kDefaultMediationHost);
}

void DZServerHosts::setMediationHost(std::optional<std::string> host) {
    write(&Hosts::mediation, std::move(host));
}

std::string DZServerHosts::reportingHost() {
    return read(&Hosts::reporting, kDefaultReportingHost);
}

void DZServerHosts::setReportingHost(std::optional<std::string> host) {
    write(&Hosts::reporting, std::move(host));
}

std::string DZServerHosts::adServerURLString(std::string_view path) {
    return urlString(adServerHost(), path);
}

std::string DZServerHosts::staticURLString(std::string_view path) {
    return urlString(staticHost(), path);
}

std::string DZServerHosts::mediationURLString(std::string_view path) {
    return urlString(mediationHost(), path);
}

std::string DZServerHosts::reportingURLString(std::string_view path) {
    return urlString(reportingHost(), path);
}

}  // namespace ads
