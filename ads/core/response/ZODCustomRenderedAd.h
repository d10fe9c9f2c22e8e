#pragma once
// The markup of a custom-rendering response, handed to the publisher, who
// draws it and reports back through this object: first the rendered view,
// then clicks and impressions, which count only after the view. Main
// thread.

#include <memory>
#include <optional>
#include <string>

#include "ads/core/response/ZODCustomRenderedAdEventHandler.h"
#include "core/URL.h"

namespace ads {

class ZODCustomRenderedAd {
public:
    ZODCustomRenderedAd(std::string adHTML, std::optional<core::URL> adBaseURL,
                        std::shared_ptr<ZODCustomRenderedAdEventHandler> eventHandler)
        : eventHandler_(std::move(eventHandler)), adHTML_(std::move(adHTML)),
          adBaseURL_(std::move(adBaseURL)) {}

    [[nodiscard]] const std::string& adHTML() const { return adHTML_; }
    [[nodiscard]] const std::optional<core::URL>& adBaseURL() const { return adBaseURL_; }
    [[nodiscard]] bool isRendered() const { return isRendered_; }

    // Dropped until the view was reported.
    void recordClick();
    void recordImpression();
    // Hands the view to the event handler; clicks and impressions count
    // from now on.
    void finishedRenderingAdView(const std::shared_ptr<ui::View>& view);

private:
    bool isRendered_ = false;
    const std::shared_ptr<ZODCustomRenderedAdEventHandler> eventHandler_;
    const std::string adHTML_;
    const std::optional<core::URL> adBaseURL_;
};

}  // namespace ads
