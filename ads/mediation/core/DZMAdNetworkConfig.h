#pragma once
// One network entry of a mediation response ("ad_networks"): the network's
// identifier, credentials, extras, tracking templates, sizes and the
// adapter class that will talk to it, chosen from its "adapters" list
// among the registered classes (DZMClassRegistry).
//
// Read-only once made, except that a custom-event entry resolves its
// adapter class to the publisher's class (resolveAdNetworkClassForCustom-
// EventWithError). Main thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZError.h"
#include "core/Value.h"

namespace ads {

class DZMAdNetworkConfig {
public:
    static constexpr const char* kShareLocationKey = "gwhirl_share_location";

    // nullptr with SDK error 7 for a missing or unusable "id". A network
    // without a usable adapter is made all the same, with SDK error 8 set
    // (error, when given, is only written on a problem).
    [[nodiscard]] static std::shared_ptr<DZMAdNetworkConfig>
    initWithDictionary(const core::Dictionary& dictionary, Error* error);

    // "Cannot find an ad network adapter with the name(s): a,b. Remember
    // ..."; empty for no names.
    [[nodiscard]] static std::string
    errorMessageForMissingAdapterClasses(const std::vector<std::string>& names);

    // For an entry served by the custom event adapter: the class named by
    // "class_name" becomes the adapter class. False (and error 8 where the
    // name is missing or names no usable class) otherwise; no error when the
    // entry's adapter is not the custom event adapter.
    [[nodiscard]] bool resolveAdNetworkClassForCustomEventWithError(Error* error);

    // "networkID:<id> adapter:<class> data:<pubid or credentials>".
    [[nodiscard]] std::string description() const;

    [[nodiscard]] const std::string& networkID() const { return networkID_; }
    [[nodiscard]] const std::optional<core::Dictionary>& credentials() const {
        return credentials_;
    }
    // credentials "pubid" as text.
    [[nodiscard]] std::optional<std::string> publisherID() const;
    [[nodiscard]] const std::optional<core::Dictionary>& extras() const { return extras_; }
    [[nodiscard]] const std::optional<core::Dictionary>& ad() const { return ad_; }
    // As the response gave it, of any type.
    [[nodiscard]] const std::optional<core::Value>& allocationID() const { return allocationID_; }
    // The allocation identifier as the pings and statistics carry it: a
    // text as it is, a number as its decimal text, anything else as JSON.
    [[nodiscard]] std::optional<std::string> allocationIDString() const;
    [[nodiscard]] const std::optional<core::Array>& impressionURLs() const {
        return impressionURLs_;
    }
    [[nodiscard]] const std::optional<core::Array>& clickURLs() const { return clickURLs_; }
    [[nodiscard]] const std::optional<core::Array>& fillURLs() const { return fillURLs_; }
    [[nodiscard]] const std::optional<core::Array>& videoStartURLs() const {
        return videoStartURLs_;
    }
    [[nodiscard]] const std::optional<core::Array>& rewardedUserURLs() const {
        return rewardedUserURLs_;
    }
    [[nodiscard]] const std::optional<core::Dictionary>& nativeExpressAdLoaderOptions() const {
        return nativeExpressAdLoaderOptions_;
    }
    [[nodiscard]] const std::optional<std::string>& nativeExpressHTMLTemplate() const {
        return nativeExpressHTMLTemplate_;
    }
    [[nodiscard]] const std::optional<std::string>& nativeExpressAdBaseURL() const {
        return nativeExpressAdBaseURL_;
    }
    [[nodiscard]] const std::optional<core::Array>& nativeExpressTemplateIDs() const {
        return nativeExpressTemplateIDs_;
    }
    [[nodiscard]] const std::optional<core::Dictionary>& nativeExpressAssets() const {
        return nativeExpressAssets_;
    }
    // The class names of "adapters", texts only, in order.
    [[nodiscard]] const std::optional<std::vector<std::string>>& adapterList() const {
        return adapterList_;
    }
    [[nodiscard]] const std::optional<std::string>& responseType() const { return responseType_; }
    [[nodiscard]] const std::optional<core::Array>& slotSizes() const { return slotSizes_; }
    // The chosen adapter class; nullopt when none is usable.
    [[nodiscard]] const std::optional<std::string>& adapterClass() const { return adapterClass_; }

private:
    DZMAdNetworkConfig() = default;
    void readEntries(const core::Dictionary& dictionary);
    // Walks "adapters"; error 8 for old adapters or none found.
    void chooseAdapter(Error* error);

    std::string networkID_;
    std::optional<core::Dictionary> credentials_;
    std::optional<core::Dictionary> extras_;
    std::optional<core::Dictionary> ad_;
    std::optional<core::Value> allocationID_;
    std::optional<core::Array> impressionURLs_;
    std::optional<core::Array> clickURLs_;
    std::optional<core::Array> fillURLs_;
    std::optional<core::Array> videoStartURLs_;
    std::optional<core::Array> rewardedUserURLs_;
    std::optional<core::Dictionary> nativeExpressAdLoaderOptions_;
    std::optional<std::string> nativeExpressHTMLTemplate_;
    std::optional<std::string> nativeExpressAdBaseURL_;
    std::optional<core::Array> nativeExpressTemplateIDs_;
    std::optional<core::Dictionary> nativeExpressAssets_;
    std::optional<std::vector<std::string>> adapterList_;
    std::optional<std::string> responseType_;
    std::optional<core::Array> slotSizes_;
    std::optional<std::string> adapterClass_;
};

}  // namespace ads
