#pragma once
// The options an ad loader was given, one copy per option class (the first
// of a class wins; later ones and missing ones are logged and ignored), and
// the request parameters those options add together. Fixed once made; any
// thread.

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

    // The kept copies in the order given; nullopt when no option was kept.
    [[nodiscard]] const std::optional<Options>& options() const { return options_; }
    // The copy of the option of that class; nullptr without one.
    [[nodiscard]] std::shared_ptr<const DZAdLoaderOptions>
    optionOfClass(std::string_view className) const;
    // Every kept option's request parameters merged in order (a later option
    // wins a shared key).
    [[nodiscard]] core::Dictionary requestParameters() const;

private:
    std::optional<Options> options_;
};

}  // namespace ads
