#include "ads/core/request/DZRequest.h"

#include <mutex>

#include "ads/core/app/DZApplication.h"
#include "ads/core/request/DZExtras.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZThreading.h"
#include "core/CharacterSet.h"
#include "core/DateFormatter.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

constexpr const char* kReleaseLabel = "rc.2";
constexpr const char* kBuildLabel = "0";

// The first request of the process starts the SDK, as the first use of the
// request class does.
void startSDKOnFirstRequest() {
    static std::once_flag once;
    std::call_once(once, [] {
        DZRunOnMainThread([] { DZApplication::sharedInstance()->runEarlyActivities(); });
    });
}

}  // namespace

const std::string& DZRequest::sdkVersion() {
    static const std::string* const version = new std::string("duzo-sdk-i-v7.22.0");
    return *version;
}

std::string DZRequest::extendedSDKVersionNumber() {
    std::string version = sdkVersion();
    if (*kReleaseLabel) version += core::format("-%@", kReleaseLabel);
    if (*kBuildLabel) version += core::format("+%@", kBuildLabel);
    return version;
}

std::int64_t DZRequest::requestTypeFromString(std::optional<std::string_view> text) {
    if (text == "vuraz") return 2;
    if (text == "xfp") return 3;
    if (text == "adlens") return 1;
    return 0;
}

std::shared_ptr<DZRequest> DZRequest::request() {
    return std::make_shared<DZRequest>();
}

std::shared_ptr<DZRequest> DZRequest::initWithParameters(const core::Value& parameters) {
    return rebuild(kClassName, parameters);
}

DZRequest::DZRequest() {
    startSDKOnFirstRequest();
}

void DZRequest::copyFieldsTo(DZRequest& copy) const {
    copy.networkExtrasMap_ = networkExtrasMap_;
    copy.setTestDevices(testDevices_);
    copy.setFormatParameters(formatParameters_);
    copy.setPrivateMediationExtras(privateMediationExtras_);
    copy.setGender(gender_);
    copy.setBirthday(birthday_);
    copy.setLocation(location_);
    copy.setKeywords(keywords_);
    copy.setChildDirectedTreatment(childDirectedTreatment_);
    copy.setContentURL(contentURL_);
    copy.setResponseType(responseType_);
    copy.setRequestAgent(requestAgent_);
    copy.setCustomTargeting(customTargeting_);
    copy.setAdConfigurationParameters(adConfigurationParameters_);
    copy.setOrigin(origin_);
    copy.setNativeExpressEnabled(nativeExpressEnabled_);
}

void DZRequest::registerAdNetworkExtras(std::shared_ptr<DZAdNetworkExtras> extras) {
    if (!extras) {
        DZLogger::sharedInstance().logPublicMessage(
            core::format("Must specify extras for %@.", "registerAdNetworkExtras:"));
        return;
    }
    networkExtrasMap_.insert_or_assign(extras->className(), std::move(extras));
}

std::shared_ptr<DZAdNetworkExtras> DZRequest::adNetworkExtrasFor(std::string_view className) const {
    const auto found = networkExtrasMap_.find(className);
    return found == networkExtrasMap_.end() ? nullptr : found->second;
}

void DZRequest::removeAdNetworkExtrasFor(std::string_view className) {
    if (const auto found = networkExtrasMap_.find(className); found != networkExtrasMap_.end())
        networkExtrasMap_.erase(found);
}

std::optional<core::Dictionary> DZRequest::extrasAdditionalParameters() const {
    const auto extras =
        std::dynamic_pointer_cast<DZExtras>(adNetworkExtrasFor(DZExtras::kClassName));
    return extras ? extras->additionalParameters() : std::nullopt;
}

std::optional<core::Dictionary> DZRequest::networkExtrasAdditionalParameters() {
    auto parameters = extrasAdditionalParameters();
    if (parameters) {
        const core::Value& useOnce = (*parameters)["_useOnce"];
        if (useOnce.isBool() && useOnce.boolValue()) removeAdNetworkExtrasFor(DZExtras::kClassName);
    }
    return parameters;
}

bool DZRequest::cacheable() const {
    for (const auto& [name, extras] : networkExtrasMap_) {
        if (name != DZExtras::kClassName) return false;
        const auto parameters = extrasAdditionalParameters();
        if (parameters && parameters->contains("_ad")) return false;
    }
    return true;
}

std::optional<std::string> DZRequest::genderString() const {
    if (gender_ == 1) return "1";
    if (gender_ == 2) return "2";
    return std::nullopt;
}

std::optional<std::string> DZRequest::birthdayString() const {
    if (!birthday_) return std::nullopt;
    const auto formatter = core::DateFormatter::create("yyyyMMdd");
    if (!formatter) return std::nullopt;
    return formatter->string(*birthday_);
}

std::optional<std::string> DZRequest::contentURLString() const {
    if (!contentURL_) return std::nullopt;
    std::string trimmed = core::CharacterSet::whitespaceAndNewline().trim(*contentURL_);
    if (trimmed.empty()) return std::nullopt;
    return trimmed;
}

void DZRequest::setLocationWithLatitude(double latitude, double longitude, double accuracy) {
    location_ = DZLocation(latitude, longitude, accuracy);
}

void DZRequest::setLocationWithDescription(const std::optional<std::string>& description) {
    location_ = DZLocation(description);
}

void DZRequest::setBirthdayWithMonth(long month, long day, long year) {
    birthday_ = core::DateFormatter::gregorianDate(year, month, day);
}

void DZRequest::tagForChildDirectedTreatment(bool childDirected) {
    childDirectedTreatment_ = childDirected;
}

bool DZRequest::isATestDevice() const {
    if (!testDevices_) return false;
    const auto device = DZDevice::sharedInstance();
    const std::string identity = device->isSimulator() ? "Simulator" : device->deviceIdentifier();
    for (const core::Value& entry : *testDevices_) {
        const std::string* text = entry.string();
        if (text && !text->empty() && *text == identity) return true;
    }
    return false;
}

std::string DZRequest::description() const {
    std::string gender;
    if (gender_ == 1) gender = "\ngender:Male";
    if (gender_ == 2) gender = "\ngender:Female";
    const std::string birthday =
        birthday_ ? core::format("\nbirthday:%@", core::Value(*birthday_)) : std::string();
    const std::string location =
        location_ ? core::format("\nlocation:%@", location_->locationDescription()) : std::string();
    const std::string keywords =
        keywords_ ? core::format("\nkeywords:%@", core::Value(*keywords_)) : std::string();
    const auto extras = extrasAdditionalParameters();
    const std::string additional =
        extras ? core::format("\nadditionalParameters:%@", core::Value(*extras)) : std::string();
    return core::format("<%@ %p: %@%@%@%@%@>", className(), static_cast<const void*>(this), gender,
                        birthday, location, keywords, additional);
}

}  // namespace ads
