// The request parameter dictionary of DZRequest and the way back from it.

#include <atomic>
#include <mutex>
#include <set>
#include <type_traits>
#include <unordered_map>

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZDynamicHeightSearchRequest.h"
#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/request/DZSearchRequest.h"
#include "ads/core/request/ZODRequest.h"
#include "ads/foundation/DZClock.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZNetwork.h"
#include "ads/foundation/DZValueHelpers.h"
#include "core/DateFormatter.h"
#include "core/Queue.h"
#include "core/RunLoop.h"

namespace ads {

namespace {

std::atomic<bool> gValidAdSizesUsed{false};
std::atomic<bool> gBannerResizeUsed{false};

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::string, DZRequest::Factory> factories{
        {DZRequest::kClassName, [] { return std::make_shared<DZRequest>(); }},
        {ZODRequest::kClassName, [] { return std::make_shared<ZODRequest>(); }},
        {DZSearchRequest::kClassName, [] { return std::make_shared<DZSearchRequest>(); }},
        {DZDynamicHeightSearchRequest::kClassName,
         [] { return std::make_shared<DZDynamicHeightSearchRequest>(); }},
    };
};

Registry& registry() {
    static Registry* const shared = new Registry;
    return *shared;
}

DZRequest::Factory factoryNamed(const std::string& name) {
    Registry& shared = registry();
    std::lock_guard lock(shared.mutex);
    const auto found = shared.factories.find(name);
    return found == shared.factories.end() ? DZRequest::Factory() : found->second;
}

void setIfPresent(core::Dictionary& dictionary, const char* key,
                  const std::optional<core::Value>& value) {
    if (value) dictionary.set(key, *value);
}

template <typename T>
std::optional<core::Value> present(const std::optional<T>& value) {
    if (!value) return std::nullopt;
    return core::Value(*value);
}

const core::Value* typed(const core::Dictionary* dictionary, std::string_view key,
                         DZValueClass valueClass) {
    return DZObjectOfClassForKey(dictionary, key, valueClass);
}

// A number in the platform's sense: integers, doubles and Booleans.
const core::Value* number(const core::Dictionary* dictionary, std::string_view key) {
    const core::Value* value = typed(dictionary, key, DZValueClass::Number);
    return value ? value : typed(dictionary, key, DZValueClass::Bool);
}

template <typename T>
std::optional<T> copied(const core::Value* value) {
    if (!value) return std::nullopt;
    if constexpr (std::is_same_v<T, std::string>) {
        return *value->string();
    } else if constexpr (std::is_same_v<T, core::Array>) {
        return *value->array();
    } else {
        static_assert(std::is_same_v<T, core::Dictionary>);
        return *value->dictionary();
    }
}

}  // namespace

void DZMarkValidAdSizesUsed() {
    gValidAdSizesUsed = true;
}

void DZMarkBannerResizeUsed() {
    gBannerResizeUsed = true;
}

void DZRequest::registerRequestClass(std::string name, Factory factory) {
    Registry& shared = registry();
    std::lock_guard lock(shared.mutex);
    shared.factories.insert_or_assign(std::move(name), std::move(factory));
}

std::shared_ptr<DZRequest> DZRequest::copy() const {
    const Factory factory = factoryNamed(className());
    auto copied = factory ? factory() : std::make_shared<DZRequest>();
    copyFieldsTo(*copied);
    return copied;
}

core::Dictionary DZRequest::threadSafeParameters() const {
    const auto application = DZApplication::sharedInstance();
    const auto device = DZDevice::sharedInstance();
    core::Dictionary parameters;

    if (const auto adapters = application->availableAdapterNames()) {
        core::Array names(adapters->begin(), adapters->end());
        parameters.set("adapters", std::move(names));
    }
    setIfPresent(parameters, "gct", present(application->inAppPreviewCreativeToken()));
    if (application->debugModeEnabled()) parameters.set("de", "1");
    for (const auto& [key, value] : device->parameters()) parameters.set(key, value);
    for (const auto& [key, value] : DZNetwork::sharedInstance()->requestDictionary())
        parameters.set(key, value);
    parameters.set("js", sdkVersion());
    if (device->isSimulator()) parameters.set("simulator", "1");
    if (isATestDevice()) parameters.set("adtest", "on");
    setIfPresent(parameters, "extras", present(extrasAdditionalParameters()));
    setIfPresent(parameters, "cust_gender", present(genderString()));
    setIfPresent(parameters, "cust_age", present(birthdayString()));
    setIfPresent(parameters, "kw", present(keywords_));
    if (childDirectedTreatment_)
        parameters.set("tag_for_child_directed_treatment",
                       DZStringFromBool(*childDirectedTreatment_));
    setIfPresent(parameters, "url", present(contentURLString()));
    setIfPresent(parameters, "request_agent", present(requestAgent_));
    if (location_) setIfPresent(parameters, "uule", present(location_->dictionaryRepresentation()));
    addFormatParameters(parameters);
    if (customTargeting_ && !customTargeting_->empty())
        parameters.set("custom_targeting", *customTargeting_);
    setIfPresent(parameters, "request_origin", present(origin_));
    parameters.set("_request_object_properties", objectProperties());
    setIfPresent(parameters, "options", present(adConfigurationParameters_));
    if (nativeExpressEnabled_) parameters.set("ene", 1);
    parameters.set("ios_current_boot_timestamp_ms", DZSecondsSinceBoot() * 1000.0);
    if (gValidAdSizesUsed) parameters.set("dcs", "1");
    if (gBannerResizeUsed) parameters.set("dcr", "1");
    return parameters;
}

void DZRequest::addFormatParameters(core::Dictionary& parameters) const {
    if (!formatParameters_) return;
    std::string formats;
    std::set<std::string> allowedResponseTypes;
    for (const core::Value& entry : *formatParameters_) {
        // The native ad classes give their format as a number.
        if (const core::Value& format = entry["format"]; format.isString() || format.isNumber()) {
            formats += (formats.empty() ? "" : ",") + format.stringValue();
        }
        if (const core::Array* templates = entry["custom_template_ids"].array();
            templates && !templates->empty()) {
            std::string joined;
            for (const core::Value& identifier : *templates)
                joined += (joined.empty() ? "" : ",") + identifier.stringValue();
            parameters.set("native_custom_templates", joined);
        }
        if (const core::Array* types = entry["allowed_response_types"].array()) {
            for (const core::Value& type : *types) {
                if (const std::string* text = type.string()) allowedResponseTypes.insert(*text);
            }
        }
    }
    if (!formats.empty() && responseType_ != 0) {
        parameters.set("native_templates", formats);
        parameters.set("native_version", responseType_);
    }
    for (const std::string& type : allowedResponseTypes) parameters.set(type, true);
}

core::Dictionary DZRequest::objectProperties() const {
    core::Dictionary properties;
    setIfPresent(properties, "testDevices", present(testDevices_));
    setIfPresent(properties, "formatParameters", present(formatParameters_));
    setIfPresent(properties, "privateMediationExtras", present(privateMediationExtras_));
    properties.set("class", className());
    return properties;
}

core::Dictionary DZRequest::parameters() const {
    core::Dictionary parameters = threadSafeParameters();
    std::optional<core::Dictionary> signal;
    if (core::RunLoop::isMainThread()) {
        signal = DZRdiimSignalParameter();
    } else {
        core::Queue::main()->sync([&signal] { signal = DZRdiimSignalParameter(); });
    }
    if (signal) {
        for (const auto& [key, value] : *signal) parameters.set(key, value);
    }
    return parameters;
}

std::shared_ptr<DZRequest> DZRequest::rebuild(std::string_view receiverClass,
                                              const core::Value& parameters) {
    const core::Dictionary* dictionary = parameters.dictionary();
    const core::Value* properties =
        typed(dictionary, "_request_object_properties", DZValueClass::Dictionary);
    const core::Value* named =
        properties ? typed(properties->dictionary(), "class", DZValueClass::String) : nullptr;
    std::shared_ptr<DZRequest> request;
    if (named && *named->string() != receiverClass) {
        if (const Factory factory = factoryNamed(*named->string())) request = factory();
    }
    if (!request) {
        const Factory receiver = factoryNamed(std::string(receiverClass));
        request = receiver ? receiver() : std::make_shared<DZRequest>();
    }
    if (dictionary) request->readParameters(*dictionary);
    return request;
}

void DZRequest::readParameters(const core::Dictionary& parameters) {
    const core::Value* properties =
        typed(&parameters, "_request_object_properties", DZValueClass::Dictionary);
    const core::Dictionary* object = properties ? properties->dictionary() : nullptr;
    testDevices_ = copied<core::Array>(typed(object, "testDevices", DZValueClass::Array));
    formatParameters_ = copied<core::Array>(typed(object, "formatParameters", DZValueClass::Array));
    privateMediationExtras_ =
        copied<core::Dictionary>(typed(object, "privateMediationExtras", DZValueClass::Dictionary));

    if (const core::Value* gender = typed(&parameters, "cust_gender", DZValueClass::String)) {
        if (*gender->string() == "1") gender_ = 1;
        if (*gender->string() == "2") gender_ = 2;
    }
    if (const core::Value* age = typed(&parameters, "cust_age", DZValueClass::String)) {
        if (const auto formatter = core::DateFormatter::create("yyyyMMdd"))
            birthday_ = formatter->date(*age->string());
    }
    if (const core::Value* uule = typed(&parameters, "uule", DZValueClass::Dictionary))
        location_ = DZLocation::fromDictionary(*uule);
    keywords_ = copied<core::Array>(typed(&parameters, "kw", DZValueClass::Array));
    if (const core::Value* tag =
            typed(&parameters, "tag_for_child_directed_treatment", DZValueClass::String))
        childDirectedTreatment_ = tag->boolValue();
    adConfigurationParameters_ =
        copied<core::Dictionary>(typed(&parameters, "options", DZValueClass::Dictionary));
    contentURL_ = copied<std::string>(typed(&parameters, "url", DZValueClass::String));
    if (const core::Value* version = number(&parameters, "native_version"))
        responseType_ = version->intValue();
    requestAgent_ = copied<std::string>(typed(&parameters, "request_agent", DZValueClass::String));
    customTargeting_ =
        copied<core::Dictionary>(typed(&parameters, "custom_targeting", DZValueClass::Dictionary));
    if (const core::Value* enabled = number(&parameters, "ene"))
        nativeExpressEnabled_ = enabled->boolValue();
    if (const core::Value* extras = typed(&parameters, "extras", DZValueClass::Dictionary))
        registerAdNetworkExtras(std::make_shared<DZExtras>(*extras->dictionary()));
}

}  // namespace ads
