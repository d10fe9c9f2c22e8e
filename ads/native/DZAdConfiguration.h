#pragma once
// The options an ad loader was given: one copy per option class, the
// first of each class winning (later ones of the same class are logged and
// ignored, as are entries that are no option at all), kept in the order
// given; and the request parameters those options add together. Fixed once
// made; any thread.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZAdLoaderOptions.h"
#include "core/Value.h"

namespace ads {

class DZAdLoaderConfiguration;
class DZMAdNetworkConfig;

class DZAdConfiguration {
public:
    using Options = std::vector<std::shared_ptr<const DZAdLoaderOptions>>;
    using OptionsByClass = std::map<std::string, std::shared_ptr<const DZAdLoaderOptions>>;

    explicit DZAdConfiguration(const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options);

    // The kept copies; nullopt when no valid option was given.
    [[nodiscard]] const std::optional<Options>& options() const { return options_; }
    // The kept copies by option class name (empty when none).
    [[nodiscard]] OptionsByClass optionsByClass() const;
    // Every option's request parameters merged in order (a later option
    // wins a shared key).
    [[nodiscard]] core::Dictionary requestParameters() const;

private:
    std::optional<Options> options_;
};

// What a mediated network's native ad must satisfy to fill a native express
// template: the network's template ids as ad types, and one image option
// with image loading off, multiple images as "multiple_images" says, and
// the orientation "native_image_orientation" names ("portrait" 2,
// "horizonal" 3; any other value leaves it unset). nullptr when the
// network names no usable template id.
[[nodiscard]] std::shared_ptr<DZAdLoaderConfiguration>
DZNativeExpressAdLoaderConfiguration(const DZMAdNetworkConfig& network);

}  // namespace ads
