#pragma once
// The server's switch that blocks an ad's attempt to open a page without a
// user touch (an automatic click), with the report URL templates that come
// with it, and the report of each blocked attempt: without templates a
// "navigationBlocked" notification to the SDK core page, with them one ping
// per template with "{NAVIGATION_URL}" replaced by the escaped URL.
// Immutable once made (the controller aside); any thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Value.h"

namespace ads {

class DZSDKCoreController;

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

    // Reports a blocked attempt: to the core page ({"debugDialog",
    // "navigationURL"}, each only when given) when there are no templates,
    // else by pinging the templates.
    void reportSpamOpenActionWithAdDebugDialogString(
        const std::optional<std::string>& debugDialog,
        const std::optional<std::string>& navigationURL) const;
    // Pings every template once, in order, through the shared pinger.
    void reportSpamOpenActionWithNavigationURLString(const std::string& navigationURL) const;

    // The core controller that hears the notification: the shared one
    // unless another is set (tests run pages of their own).
    void setSDKCoreController(std::shared_ptr<DZSDKCoreController> controller) {
        SDKCoreController_ = std::move(controller);
    }

private:
    bool enabled_;
    std::optional<std::vector<std::string>> reportingURLStringTemplates_;
    std::shared_ptr<DZSDKCoreController> SDKCoreController_;
};

}  // namespace ads
