#include "ads/mediation/core/DZMConfig.h"

#include <cmath>

#include "ads/foundation/DZLogger.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "core/JSON.h"
#include "core/StringFormat.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

// The readers of settings values: numbers, bools and texts answer them,
// as the response's numbers may come as texts ("60").
bool isScalar(const core::Value& value) {
    return value.isNumber() || value.isBool() || value.isString();
}

std::optional<double> doubleSetting(const core::Dictionary& settings, std::string_view key) {
    const core::Value* value = settings.find(key);
    if (!value || !isScalar(*value)) return std::nullopt;
    return value->doubleValue();
}

// A timeout in seconds the timers can be armed with.
bool usableTimeout(double seconds) {
    return std::isfinite(seconds) && seconds >= 0;
}

double timeoutConstant(std::string_view key) {
    const core::Value stored = core::UserDefaults::standard()->objectForKey(key);
    if (!isScalar(stored)) return DZMConfig::kDefaultAdNetworkTimeout;
    const double seconds = stored.doubleValue();
    return usableTimeout(seconds) ? seconds : DZMConfig::kDefaultAdNetworkTimeout;
}

}  // namespace

std::optional<std::string> DZMValueText(const core::Value& value) {
    if (value.isNull()) return std::nullopt;
    if (const std::string* text = value.string()) return *text;
    if (value.isNumber()) return value.stringValue();
    return core::JSON::write(value);
}

DZMConfig::DZMConfig(std::string appKey)
    : appKey_(std::move(appKey)), adNetworkTimeout_(timeoutConstant(kAdNetworkTimeoutKey)),
      finalAdNetworkTimeout_(timeoutConstant(kFinalAdNetworkTimeoutKey)) {}

std::shared_ptr<DZMConfig> DZMConfig::initWithAppKey(std::string appKey,
                                                     const core::Value& configDict, Error* error) {
    auto config = std::shared_ptr<DZMConfig>(new DZMConfig(std::move(appKey)));
    static const core::Dictionary kNone;
    const core::Dictionary* entries = configDict.dictionary();
    if (!entries) entries = &kNone;
    if (const core::Dictionary* settings = (*entries)["settings"].dictionary())
        config->applySettings(*settings);
    if (const core::Value* qdata = entries->find("qdata")) config->qdata_ = *qdata;
    const core::Array* networks = (*entries)["ad_networks"].array();
    if (!networks) {
        if (error) *error = DZErrorWithCode(kDZErrorMediationDataError);
        return nullptr;
    }
    if (!config->readNetworks(*networks, error)) return nullptr;
    if (const core::Value* size = entries->find("default_ad_sz")) config->defaultAdSize_ = *size;
    if (const core::Value* size = entries->find("default_slot_sz"))
        config->defaultSlotSize_ = *size;
    return config;
}

void DZMConfig::applySettings(const core::Dictionary& settings) {
    if (const auto refresh = doubleSetting(settings, "refresh"))
        refreshInterval_ = (std::isnan(*refresh) || *refresh >= kRefreshBound) ? 0 : *refresh;
    // A timeout that is no number of seconds could not arm a timer; the
    // defaults stand then.
    if (const auto millis = doubleSetting(settings, "ad_network_timeout_millis")) {
        const double seconds = *millis / 1000.0;
        if (usableTimeout(seconds)) adNetworkTimeout_ = finalAdNetworkTimeout_ = seconds;
    }
    if (const core::Value* animation = settings.find("ad_transition_anim");
        animation && isScalar(*animation)) {
        const auto type = static_cast<std::uint64_t>(animation->intValue());
        if (type <= 8) bannerAnimationType_ = static_cast<std::int64_t>(type);
    }
    if (const core::Array* urls = settings["imp_urls"].array()) impressionURLs_ = *urls;
    if (const core::Array* urls = settings["click_urls"].array()) clickURLs_ = *urls;
    if (const core::Array* urls = settings["nofill_urls"].array()) noFillURLs_ = *urls;
    if (const core::Array* rewards = settings["rewards"].array()) rewards_ = *rewards;
    if (const core::Value* displayed = settings.find("use_displayed_impression");
        displayed && isScalar(*displayed))
        impressionDefinition_ = displayed->boolValue() ? 1 : 0;
    if (const core::Value* attribution = settings.find("allow_pub_rendered_attribution");
        attribution && isScalar(*attribution))
        allowPublisherRenderedAttribution_ = attribution->boolValue();
}

bool DZMConfig::readNetworks(const core::Array& networks, Error* error) {
    for (const core::Value& element : networks) {
        const core::Dictionary* entry = element.dictionary();
        if (!entry) continue;
        // An error is set only on a problem, and always with its domain.
        Error problem;
        auto network = DZMAdNetworkConfig::initWithDictionary(*entry, &problem);
        if (network) adNetworkConfigs_.push_back(std::move(network));
        if (problem.domain.empty()) continue;
        if (problem.code == kDZErrorMediationAdapterError) {
            DZLogger::sharedInstance().logPublicMessage(problem.message);
            continue;
        }
        if (error) *error = problem;
        return false;
    }
    return true;
}

std::optional<std::string> DZMConfig::qdataString() const {
    return qdata_ ? DZMValueText(*qdata_) : std::nullopt;
}

std::string DZMConfig::description() const {
    std::string networks = "(";
    for (size_t i = 0; i < adNetworkConfigs_.size(); ++i) {
        networks.append(i ? ",\n    " : "\n    ");
        networks.append(adNetworkConfigs_[i]->description());
    }
    networks.append(adNetworkConfigs_.empty() ? ")" : "\n)");
    const std::string summary =
        core::format("qdata:%@ refresh:%f transition:%ld", qdataString().value_or("(null)"),
                     refreshInterval_, bannerAnimationType_);
    return core::format("%@:\n%@ ad_networks:%@",
                        core::format("<DZMConfig: %p>", static_cast<const void*>(this)), summary,
                        networks);
}

}  // namespace ads
