#pragma once
// The slot side of a custom-rendered ad: what the publisher's rendering of
// it records. Main thread.

#include <memory>

namespace ui {
class View;
}

namespace ads {

class ZODCustomRenderedAdEventHandler {
public:
    virtual ~ZODCustomRenderedAdEventHandler() = default;

    virtual void recordClick() = 0;
    virtual void recordCustomAdImpression() = 0;
    virtual void finishedRenderingAdView(const std::shared_ptr<ui::View>& view) = 0;
};

}  // namespace ads
