#include "ads/foundation/DZCSIConfiguration.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "ads/foundation/DZDevice.h"
#include "core/Bundle.h"
#include "core/Random.h"
#include "core/UserDefaults.h"
#include "ui/DeviceProfile.h"

namespace ads {

namespace {

std::string replacingAll(std::string text, char from, char to) {
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

// The number of draws out of 1000 that report.
std::uint32_t reportingThreshold(float probability) {
    const float product = probability * 1000.0f;
    if (!(product > 0.0f)) return 0;
    if (product >= 1000.0f) return 1000;
    return static_cast<std::uint32_t>(product);
}

}  // namespace

std::shared_ptr<DZCSIConfiguration> DZCSIConfiguration::defaultConfiguration() {
    auto configuration = std::make_shared<DZCSIConfiguration>(std::string(kDefaultServiceName));
    const auto defaults = core::UserDefaults::standard();
    const core::Value server = defaults->objectForKey(kReportingURLKey);
    if (!server.isNull()) {
        // Anything but text cannot name a report URL: nothing is sent then.
        configuration->setServer(server.isString() ? *server.string() : std::string());
    }
    const core::Value probability = defaults->objectForKey(kReportingProbabilityKey);
    configuration->setReportingProbability(probability.isNull()
                                               ? kDefaultReportingProbability
                                               : static_cast<float>(probability.doubleValue()));
    return configuration;
}

DZCSIConfiguration::DZCSIConfiguration(std::string serviceName)
    : serviceName_(std::move(serviceName)) {}

void DZCSIConfiguration::setReportingProbability(float probability) {
    const std::int64_t draw = core::Random::current()->uniformInt(0, 999);
    setReportingEnabled(draw < reportingThreshold(probability));
}

bool DZCSIConfiguration::reportingEnabled() const {
    std::lock_guard lock(mutex_);
    return reportingEnabled_;
}

void DZCSIConfiguration::setReportingEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    reportingEnabled_ = enabled;
}

std::string DZCSIConfiguration::serviceName() const {
    std::lock_guard lock(mutex_);
    return serviceName_;
}

void DZCSIConfiguration::setServiceName(std::string serviceName) {
    std::lock_guard lock(mutex_);
    serviceName_ = std::move(serviceName);
}

std::string DZCSIConfiguration::server() const {
    std::lock_guard lock(mutex_);
    return server_;
}

void DZCSIConfiguration::setServer(std::string server) {
    std::lock_guard lock(mutex_);
    server_ = std::move(server);
}

std::int64_t DZCSIConfiguration::version() const {
    std::lock_guard lock(mutex_);
    return version_;
}

void DZCSIConfiguration::setVersion(std::int64_t version) {
    std::lock_guard lock(mutex_);
    version_ = version;
}

std::string DZCSIConfiguration::userAgent() const {
    std::lock_guard lock(mutex_);
    if (cachedUserAgentString_) return *cachedUserAgentString_;
    const ui::DeviceProfile& profile = ui::DeviceProfile::current();
    const auto bundle = core::Bundle::main();
    std::string agent = "DozuzaCsi/1.0 (";
    agent.append(deviceVersionString())
        .append("; U; CPU ")
        .append(profile.systemName)
        .append(" ")
        .append(replacingAll(profile.systemVersion, '.', '_'))
        .append("; ")
        .append(replacingAll(profile.localeIdentifier, '_', '-'))
        .append(") ")
        .append(bundle->objectForInfoDictionaryKey("CFBundleName").stringValue())
        .append("/")
        .append(bundle->objectForInfoDictionaryKey("CFBundleVersion").stringValue());
    cachedUserAgentString_ = agent;
    return agent;
}

std::string DZCSIConfiguration::deviceVersionString() {
    if (DZDevice::sharedInstance()->isSimulator()) return "Simulator";
    return deviceVersionStringForMachine(ui::DeviceProfile::current().machine);
}

std::string
DZCSIConfiguration::deviceVersionStringForMachine(std::optional<std::string_view> machine) {
    if (!machine || machine->empty()) return "Unknown";
    const size_t digit = machine->find_first_of("0123456789");
    std::string text(machine->substr(0, digit));
    if (digit != std::string_view::npos) text.append("/").append(machine->substr(digit));
    return replacingAll(std::move(text), ',', '.');
}

}  // namespace ads
