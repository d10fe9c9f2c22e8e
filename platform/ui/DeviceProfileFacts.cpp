#include "ui/DeviceProfileFacts.h"

#include "core/UserDefaults.h"

namespace ui::detail {

namespace {

// Each reader leaves target alone when the key is absent and answers false
// when the value has the wrong type.
bool readText(const core::Value& parent, std::string_view key, std::string& target) {
    const core::Value& value = parent[key];
    if (value.isNull()) return true;
    if (!value.isString()) return false;
    target = *value.string();
    return true;
}

bool readBool(const core::Value& parent, std::string_view key, bool& target) {
    const core::Value& value = parent[key];
    if (value.isNull()) return true;
    if (!value.isBool()) return false;
    target = value.boolValue();
    return true;
}

bool readTexts(const core::Value& parent, std::string_view key, std::vector<std::string>& target) {
    const core::Value& value = parent[key];
    if (value.isNull()) return true;
    if (!value.isArray()) return false;
    std::vector<std::string> texts;
    for (const core::Value& item : *value.array()) {
        if (!item.isString()) return false;
        texts.push_back(*item.string());
    }
    target = std::move(texts);
    return true;
}

bool readRoute(const core::Value& value, std::vector<AudioPort>& target) {
    if (value.isNull()) return true;
    if (!value.isArray()) return false;
    std::vector<AudioPort> ports;
    for (const core::Value& item : *value.array()) {
        if (!item.isDictionary() || !item["type"].isString()) return false;
        AudioPort port{*item["type"].string(), std::nullopt};
        const core::Value& name = item["name"];
        if (name.isString()) {
            port.name = *name.string();
        } else if (!name.isNull()) {
            return false;
        }
        ports.push_back(std::move(port));
    }
    target = std::move(ports);
    return true;
}

bool readAudio(const core::Value& audio, AudioFacts& facts) {
    if (audio.isNull()) return true;
    if (!audio.isDictionary()) return false;
    const core::Value& volume = audio["volume"];
    if (!volume.isNull()) {
        if (!volume.isNumber() || volume.doubleValue() < 0 || volume.doubleValue() > 1) {
            return false;
        }
        facts.outputVolume = static_cast<float>(volume.doubleValue());
    }
    const core::Value& options = audio["categoryOptions"];
    if (!options.isNull()) {
        if (!options.isInteger() || options.intValue() < 0) return false;
        facts.categoryOptions = options.uintValue();
    }
    return readRoute(audio["route"], facts.route) && readText(audio, "category", facts.category) &&
           readText(audio, "mode", facts.mode) &&
           readBool(audio, "otherAudioPlaying", facts.otherAudioPlaying) &&
           readBool(audio, "secondaryAudioShouldBeSilenced", facts.secondaryAudioShouldBeSilenced) &&
           readBool(audio, "silentMode", facts.silentMode);
}

bool readCarrier(const core::Value& carrier, CarrierFacts& facts) {
    if (carrier.isNull()) return true;
    if (!carrier.isDictionary()) return false;
    return readText(carrier, "name", facts.name) &&
           readText(carrier, "mobileCountryCode", facts.mobileCountryCode) &&
           readText(carrier, "mobileNetworkCode", facts.mobileNetworkCode) &&
           readText(carrier, "isoCountryCode", facts.isoCountryCode);
}

bool readNetwork(const core::Value& network, DeviceProfile& profile) {
    if (network.isNull()) return true;
    if (!network.isDictionary()) return false;
    return readText(network, "connection", profile.networkConnection) &&
           readText(network, "radioAccessTechnology", profile.radioTechnology) &&
           readCarrier(network["carrier"], profile.carrier);
}

bool readAdvertising(const core::Value& advertising, DeviceProfile& profile) {
    if (advertising.isNull()) return true;
    if (!advertising.isDictionary()) return false;
    return readText(advertising, "identifier", profile.advertisingIdentifier) &&
           readBool(advertising, "trackingEnabled", profile.advertisingTrackingEnabled);
}

bool readOrientation(const core::Value& value, long& target) {
    if (value.isNull()) return true;
    if (!value.isInteger() || value.intValue() < 1 || value.intValue() > 4) return false;
    target = static_cast<long>(value.intValue());
    return true;
}

}  // namespace

bool readSignalFacts(const core::Value& value, DeviceProfile& profile) {
    profile.languages = core::UserDefaults::systemLanguages();
    profile.localeIdentifier = DeviceProfile::environmentLocale();
    return readText(value, "model", profile.model) && readText(value, "machine", profile.machine) &&
           readTexts(value, "languages", profile.languages) &&
           readText(value, "locale", profile.localeIdentifier) &&
           readAdvertising(value["advertising"], profile) &&
           readNetwork(value["network"], profile) && readAudio(value["audio"], profile.audio) &&
           readOrientation(value["interfaceOrientation"], profile.interfaceOrientation) &&
           readTexts(value, "openableSchemes", profile.openableSchemes) &&
           readBool(value, "canSendText", profile.canSendText) &&
           readBool(value, "canMakePayments", profile.canMakePayments);
}

}  // namespace ui::detail
