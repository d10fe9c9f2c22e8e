#pragma once
// What a media view shows of an ad's media: the view to put on screen and
// the video state behind it. The SDK's own ads play their video through a
// DZMediaContent; mediated ads bring their own implementation. Main thread.

#include <functional>
#include <memory>
#include <optional>

#include "ads/core/request/DZError.h"

namespace ui {
class View;
}

namespace ads {

class DZVideoControlling;

class DZMediaContentDisplaying {
public:
    using Completion = std::function<void(const std::optional<Error>& error)>;

    virtual ~DZMediaContentDisplaying() = default;
    virtual void loadVideoWithCompletionHandler(Completion handler) = 0;
    // The view to show; nullptr when there is nothing to show yet.
    [[nodiscard]] virtual std::shared_ptr<ui::View> mediaView() = 0;
    // nullptr while there is no video state.
    [[nodiscard]] virtual std::shared_ptr<DZVideoControlling> videoController() const = 0;
};

}  // namespace ads
