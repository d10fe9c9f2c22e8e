#pragma once
// What an ad loader was asked for: the ad types (turned into the ad classes
// that may be delivered) and the options with the request parameters they
// add; the loader later records the request parameters of each ad class.
// The mediation layer and the native loader read it.
//
// Threading: any thread. The per-class parameters live on the serial queue
// "com.dozuza.vuraz.adloaderconfiguration" (reads wait, writes are queued,
// so a read after a write sees it); everything else is fixed at creation.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ads/core/request/DZAdLoaderOptions.h"
#include "ads/native/DZAdClass.h"
#include "ads/native/DZAdConfiguration.h"
#include "core/Queue.h"
#include "core/Value.h"

namespace ads {

class DZAdLoaderConfiguration : public std::enable_shared_from_this<DZAdLoaderConfiguration> {
public:
    // nullptr when adTypes is empty or one of them has no ad class.
    [[nodiscard]] static std::shared_ptr<DZAdLoaderConfiguration>
    create(const std::vector<std::string>& adTypes,
           const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options);

    [[nodiscard]] const std::set<std::string>& adTypes() const { return adTypes_; }
    [[nodiscard]] const std::set<DZAdClass>& adTypeClasses() const { return adTypeClasses_; }
    [[nodiscard]] const DZAdConfiguration& adConfiguration() const { return adConfiguration_; }
    [[nodiscard]] const std::optional<DZAdConfiguration::Options>& options() const {
        return adConfiguration_.options();
    }
    [[nodiscard]] core::Dictionary requestParameters() const {
        return adConfiguration_.requestParameters();
    }

    // Request parameters by ad class name, set by the native loader.
    [[nodiscard]] core::Dictionary adClassRequestParameters() const;
    void setAdClassRequestParameters(core::Dictionary parameters);

private:
    struct Private {};

public:
    DZAdLoaderConfiguration(Private, std::set<std::string> adTypes, std::set<DZAdClass> classes,
                            const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options);

private:
    const std::set<std::string> adTypes_;
    const std::set<DZAdClass> adTypeClasses_;
    const DZAdConfiguration adConfiguration_;
    const std::shared_ptr<core::Queue> lockQueue_;
    core::Dictionary adClassRequestParameters_;  // lock queue only
};

}  // namespace ads
