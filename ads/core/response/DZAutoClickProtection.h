#pragma once
// The server's switch that blocks an ad's attempt to open a page without a
// user touch (an automatic click), with the report URL templates that come
// with it. Immutable; any thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Value.h"

namespace ads {

class DZAutoClickProtection {
public:
    // No report templates.
    explicit DZAutoClickProtection(bool enabled) : enabled_(enabled) {}
    // "enable_protection" (truth value) and "reporting_urls" (its texts);
    // nullptr unless the value is a dictionary.
    [[nodiscard]] static std::shared_ptr<DZAutoClickProtection>
    create(const core::Value& dictionary);

    [[nodiscard]] bool enabled() const { return enabled_; }
    // nullopt when none were given.
    [[nodiscard]] const std::optional<std::vector<std::string>>&
    reportingURLStringTemplates() const {
        return reportingURLStringTemplates_;
    }

private:
    bool enabled_;
    std::optional<std::vector<std::string>> reportingURLStringTemplates_;
};

}  // namespace ads
