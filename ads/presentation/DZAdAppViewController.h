#pragma once
// The full-screen controller of an HTML ad. Full-screen presentation is not
// built yet; what the SDK keeps of it now are the settings an ad's page
// asks for: the interface orientations the ad forces (a mask, 0 for none),
// whether they win over an orientation the app has locked, how long a
// forced rotation takes, whether the ad draws its own close control, and
// the interface orientation a forced update imposed (0 for none). Main
// thread.

#include <cstdint>
#include <optional>
#include <string>

#include "core/URL.h"

#include "ads/presentation/DZViewController.h"

namespace ads {

class DZAdAppViewController : public DZViewController {
public:
    [[nodiscard]] std::uint64_t adOrientations() const { return adOrientations_; }
    void setAdOrientations(std::uint64_t mask) { adOrientations_ = mask; }
    [[nodiscard]] bool adOrientationsOverridesLockedOrientation() const {
        return adOrientationsOverridesLockedOrientation_;
    }
    void setAdOrientationsOverridesLockedOrientation(bool overrides) {
        adOrientationsOverridesLockedOrientation_ = overrides;
    }
    [[nodiscard]] double orientationUpdateAnimationDuration() const {
        return orientationUpdateAnimationDuration_;
    }
    void setOrientationUpdateAnimationDuration(double seconds) {
        orientationUpdateAnimationDuration_ = seconds;
    }
    [[nodiscard]] bool useCustomClose() const { return useCustomClose_; }
    void setUseCustomClose(bool use) { useCustomClose_ = use; }

    // 0 for none.
    [[nodiscard]] virtual long forcedAdOrientation() const { return forcedAdOrientation_; }
    void setForcedAdOrientation(long orientation) { forcedAdOrientation_ = orientation; }

    // Where the ad's close region sits (0 to 6).
    [[nodiscard]] std::int64_t customClosePosition() const { return customClosePosition_; }
    void setCustomClosePosition(std::int64_t position) { customClosePosition_ = position; }
    // A page for the controller's ad view to show, kept until it has one.
    void load(const core::URL& url) { URLToLoad_ = url; }
    void loadHTML(const std::string& html, const std::optional<core::URL>& baseURL) {
        HTMLToLoad_ = html;
        HTMLBaseURLToLoad_ = baseURL;
    }
    [[nodiscard]] const std::optional<core::URL>& URLToLoad() const { return URLToLoad_; }
    [[nodiscard]] const std::optional<std::string>& HTMLToLoad() const { return HTMLToLoad_; }
    [[nodiscard]] const std::optional<core::URL>& HTMLBaseURLToLoad() const {
        return HTMLBaseURLToLoad_;
    }

private:
    std::int64_t customClosePosition_ = 0;
    std::optional<core::URL> URLToLoad_;
    std::optional<std::string> HTMLToLoad_;
    std::optional<core::URL> HTMLBaseURLToLoad_;
    std::uint64_t adOrientations_ = 0;
    bool adOrientationsOverridesLockedOrientation_ = false;
    double orientationUpdateAnimationDuration_ = 0;
    bool useCustomClose_ = false;
    long forcedAdOrientation_ = 0;
};

}  // namespace ads
