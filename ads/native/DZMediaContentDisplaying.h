#pragma once
// What a media view shows of a native ad's media, whoever provides it: the
// SDK's own media content or a mediated network's. Main thread.

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
    [[nodiscard]] virtual std::shared_ptr<ui::View> mediaView() = 0;
    [[nodiscard]] virtual std::shared_ptr<DZVideoControlling> videoControlling() const = 0;
};

}  // namespace ads
