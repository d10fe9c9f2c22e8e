#pragma once
// An ad request: what a publisher fills in for one ad load (targeting, test
// devices, child-directed tagging, network extras, native formats), turned
// into the request parameter dictionary that the core page builds the ad URL
// from, and rebuilt from such a dictionary for stored and pre-loaded
// requests. A rebuilt dictionary names its class under
// "_request_object_properties" and comes back as that class, found in a
// registry of request classes by name (ZODRequest and DZRequest are
// registered; later request kinds add themselves with registerRequestClass).
//
// Making the first request of the process starts the SDK's early
// activities on the main thread.
//
// A request is not guarded: fill it on one thread before it is loaded.
// threadSafeParameters() may then run on any thread; parameters() waits for
// the main thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/core/request/DZAdNetworkExtras.h"
#include "ads/foundation/DZLocation.h"
#include "core/Value.h"

namespace ads {

class DZMediationAdRequest;
class DZMediationAdRequestInternal;

class DZRequest : public std::enable_shared_from_this<DZRequest> {
public:
    static constexpr const char* kClassName = "DZRequest";
    using Factory = std::function<std::shared_ptr<DZRequest>()>;

    // "duzo-sdk-i-v7.22.0", the same object every time.
    [[nodiscard]] static const std::string& sdkVersion();
    // "duzo-sdk-i-v7.22.0-rc.2+0": the version, the release label and the
    // build label.
    [[nodiscard]] static std::string extendedSDKVersionNumber();
    // "vuraz" 2, "xfp" 3, "adlens" 1, anything else 0 (exact case).
    [[nodiscard]] static std::int64_t requestTypeFromString(std::optional<std::string_view> text);

    [[nodiscard]] static std::shared_ptr<DZRequest> request();
    // Mediation: a request rebuilt from what an adapter sees of the request
    // it serves (test mode, targeting, the request agent of an internal
    // request), with the network extras and the adapter list below.
    [[nodiscard]] static std::shared_ptr<DZRequest>
    requestWithMediationAdRequest(const DZMediationAdRequest& mediationRequest);
    // Registers DZExtras whose additional parameters add, to those of the
    // mediation request's network extras: "_requestUrl" (from
    // "_mediationRequestUrl"), "mad_hac" (from the credentials), "gw" "1",
    // and, for an internal request, the network's text extras and its
    // inline ad as "_ad". Nothing without a mediation request.
    void configureNetworkExtrasWithMediationAdRequest(const DZMediationAdRequest* mediationRequest);
    // Private mediation extras {"man": every network's adapter names,
    // "mcan": the current adapter} for an internal request that has a
    // current adapter.
    void addAdapterListWithMediationAdRequest(const DZMediationAdRequestInternal* mediationRequest);

    // Rebuilds a request from its parameter dictionary: as the class named
    // under "_request_object_properties"/"class" when that is a registered
    // request class, else as a DZRequest. Values of the wrong kind are
    // ignored field by field.
    [[nodiscard]] static std::shared_ptr<DZRequest>
    initWithParameters(const core::Value& parameters);
    // Makes name known to initWithParameters; a later registration of the
    // same name replaces the earlier one.
    static void registerRequestClass(std::string name, Factory factory);

    DZRequest();
    virtual ~DZRequest() = default;
    DZRequest(const DZRequest&) = delete;
    DZRequest& operator=(const DZRequest&) = delete;

    [[nodiscard]] virtual std::string className() const { return kClassName; }
    // A new request of the same class (made by its registered factory) with
    // the same fields; the extras map is copied, the extras objects in it
    // are shared.
    [[nodiscard]] std::shared_ptr<DZRequest> copy() const;

    // Replaces extras of the same class; nullptr is refused with a public
    // log message.
    void registerAdNetworkExtras(std::shared_ptr<DZAdNetworkExtras> extras);
    [[nodiscard]] std::shared_ptr<DZAdNetworkExtras>
    adNetworkExtrasFor(std::string_view className) const;
    void removeAdNetworkExtrasFor(std::string_view className);
    // The DZExtras entry's additional parameters (nullopt without one); an
    // entry marked "_useOnce" leaves the request. Called once per load.
    std::optional<core::Dictionary> networkExtrasAdditionalParameters();

    // "1", "2", or nullopt for other genders.
    [[nodiscard]] std::optional<std::string> genderString() const;
    // "yyyyMMdd" in the default time zone.
    [[nodiscard]] std::optional<std::string> birthdayString() const;
    // The content URL without surrounding white space; nullopt when empty.
    [[nodiscard]] std::optional<std::string> contentURLString() const;

    void setLocationWithLatitude(double latitude, double longitude, double accuracy);
    void setLocationWithDescription(const std::optional<std::string>& description);
    void setBirthdayWithMonth(long month, long day, long year);
    void tagForChildDirectedTreatment(bool childDirected);
    // Some test device is this device ("Simulator" on a simulator, else the
    // hashed advertising identifier).
    [[nodiscard]] bool isATestDevice() const;

    // The request parameter dictionary, entries in their fixed order.
    [[nodiscard]] virtual core::Dictionary threadSafeParameters() const;
    // threadSafeParameters() and, last, the interaction signal read on the
    // main thread (the caller waits for it off the main thread).
    [[nodiscard]] core::Dictionary parameters() const;
    // False once extras of another network, or DZExtras with "_ad", are
    // registered; always false for some request kinds.
    [[nodiscard]] virtual bool cacheable() const;
    [[nodiscard]] std::string description() const;

    [[nodiscard]] bool isNativeExpressEnabled() const { return nativeExpressEnabled_; }
    void setNativeExpressEnabled(bool enabled) { nativeExpressEnabled_ = enabled; }
    [[nodiscard]] const std::optional<core::Array>& testDevices() const { return testDevices_; }
    void setTestDevices(std::optional<core::Array> devices) { testDevices_ = std::move(devices); }
    // 0 unknown, 1 male, 2 female.
    [[nodiscard]] std::int64_t gender() const { return gender_; }
    void setGender(std::int64_t gender) { gender_ = gender; }
    [[nodiscard]] const std::optional<core::Date>& birthday() const { return birthday_; }
    void setBirthday(std::optional<core::Date> birthday) { birthday_ = birthday; }
    [[nodiscard]] const std::optional<core::Array>& keywords() const { return keywords_; }
    void setKeywords(std::optional<core::Array> keywords) { keywords_ = std::move(keywords); }
    [[nodiscard]] const std::optional<std::string>& contentURL() const { return contentURL_; }
    void setContentURL(std::optional<std::string> url) { contentURL_ = std::move(url); }
    [[nodiscard]] const std::optional<std::string>& requestAgent() const { return requestAgent_; }
    void setRequestAgent(std::optional<std::string> agent) { requestAgent_ = std::move(agent); }
    [[nodiscard]] const std::optional<DZLocation>& location() const { return location_; }
    void setLocation(std::optional<DZLocation> location) { location_ = std::move(location); }
    // nullopt: not tagged.
    [[nodiscard]] std::optional<bool> childDirectedTreatment() const {
        return childDirectedTreatment_;
    }
    void setChildDirectedTreatment(std::optional<bool> tag) { childDirectedTreatment_ = tag; }
    [[nodiscard]] const std::optional<core::Dictionary>& customTargeting() const {
        return customTargeting_;
    }
    void setCustomTargeting(std::optional<core::Dictionary> targeting) {
        customTargeting_ = std::move(targeting);
    }
    [[nodiscard]] const std::optional<core::Dictionary>& privateMediationExtras() const {
        return privateMediationExtras_;
    }
    void setPrivateMediationExtras(std::optional<core::Dictionary> extras) {
        privateMediationExtras_ = std::move(extras);
    }
    // One dictionary per native format: "format", "custom_template_ids",
    // "allowed_response_types".
    [[nodiscard]] const std::optional<core::Array>& formatParameters() const {
        return formatParameters_;
    }
    void setFormatParameters(std::optional<core::Array> parameters) {
        formatParameters_ = std::move(parameters);
    }
    // Native response version; 0 none.
    [[nodiscard]] std::int64_t responseType() const { return responseType_; }
    void setResponseType(std::int64_t type) { responseType_ = type; }
    [[nodiscard]] const std::optional<core::Dictionary>& adConfigurationParameters() const {
        return adConfigurationParameters_;
    }
    void setAdConfigurationParameters(std::optional<core::Dictionary> parameters) {
        adConfigurationParameters_ = std::move(parameters);
    }
    // "pub" at creation; "cache" on the pre-load cache's copies.
    [[nodiscard]] const std::optional<std::string>& origin() const { return origin_; }
    void setOrigin(std::optional<std::string> origin) { origin_ = std::move(origin); }

protected:
    // Fills this request from a parameter dictionary; subclasses read their
    // own fields after the base ones.
    virtual void readParameters(const core::Dictionary& parameters);
    // Copies the fields into a request of the same class made by copy().
    virtual void copyFieldsTo(DZRequest& copy) const;
    // initWithParameters on behalf of a receiver class.
    [[nodiscard]] static std::shared_ptr<DZRequest> rebuild(std::string_view receiverClass,
                                                            const core::Value& parameters);

private:
    [[nodiscard]] std::optional<core::Dictionary> extrasAdditionalParameters() const;
    void addFormatParameters(core::Dictionary& parameters) const;
    [[nodiscard]] core::Dictionary objectProperties() const;

    std::map<std::string, std::shared_ptr<DZAdNetworkExtras>, std::less<>> networkExtrasMap_;
    bool nativeExpressEnabled_ = false;
    std::optional<core::Array> testDevices_;
    std::int64_t gender_ = 0;
    std::optional<core::Date> birthday_;
    std::optional<core::Array> keywords_;
    std::optional<std::string> contentURL_;
    std::optional<std::string> requestAgent_;
    std::optional<DZLocation> location_;
    std::optional<bool> childDirectedTreatment_;
    std::optional<core::Dictionary> customTargeting_;
    std::optional<core::Dictionary> privateMediationExtras_;
    std::optional<core::Array> formatParameters_;
    std::int64_t responseType_ = 0;
    std::optional<core::Dictionary> adConfigurationParameters_;
    std::optional<std::string> origin_ = "pub";
};

// Raised once, never cleared: the publisher gave a banner valid ad sizes
// ("dcs"), or resized a banner ("dcr").
void DZMarkValidAdSizesUsed();
void DZMarkBannerResizeUsed();

// The interaction signal as {name: value}, or nullopt when the signal
// module gives none (or a malformed pair). Main thread.
[[nodiscard]] std::optional<core::Dictionary> DZRdiimSignalParameter();

}  // namespace ads
