#include "ads/foundation/DZSawmillConfig.h"

#include "core/UserDefaults.h"

namespace ads {

namespace {

std::optional<core::URL> urlForKey(const core::Dictionary& settings, std::string_view key) {
    const core::Value* text = settings.find(key);
    if (!text || !text->string()) return std::nullopt;
    return core::URL::create(*text->string());
}

}  // namespace

std::optional<DZSawmillConfig> DZSawmillConfig::create() {
    return fromValue(core::UserDefaults::standard()->objectForKey(kUserDefaultsKey));
}

std::optional<DZSawmillConfig> DZSawmillConfig::fromValue(const core::Value& stored) {
    const core::Dictionary* settings = stored.dictionary();
    if (!settings) return std::nullopt;
    DZSawmillConfig config;
    config.enabled = (*settings)["enabled"].boolValue();
    if (const core::Value* interval = settings->find("beacon_interval_in_sec")) {
        config.beaconInterval = interval->doubleValue();
    }
    config.useJSCore = (*settings)["use_js_core"].boolValue();
    if (const core::Value* version = settings->find("version");
        version && (version->string() || version->isNumber())) {
        config.version = version->stringValue();
    }
    config.scriptURL = urlForKey(*settings, "script_url");
    config.baseURL = urlForKey(*settings, "base_url");
    if (const core::Value* size = settings->find("max_buffer_size")) {
        config.maxBufferedCommandSize = size->intValue();
    }
    config.JSConfig = (*settings)["js_config"].stringValue();
    return config;
}

}  // namespace ads
