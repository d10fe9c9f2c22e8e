#pragma once
// The options an ad loader was given, kept as copies in the order given
// (missing ones skipped), and the request parameters those options add
// together. Fixed once made; any thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZAdLoaderOptions.h"
#include "core/Value.h"

namespace ads {

class DZAdConfiguration {
public:
    using Options = std::vector<std::shared_ptr<const DZAdLoaderOptions>>;

    explicit DZAdConfiguration(const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options);

    // The kept copies; nullopt when no option was given.
    [[nodiscard]] const std::optional<Options>& options() const { return options_; }
    // Every option's request parameters merged in order (a later option
    // wins a shared key).
    [[nodiscard]] core::Dictionary requestParameters() const;

private:
    std::optional<Options> options_;
};

}  // namespace ads
