#pragma once
// How a full-screen SDK controller gets on and off the screen: a presenter
// that the controller hands its presentation to. The presenters are not
// built yet; what the SDK needs of them now is their kinds, which the page's
// interstitial properties choose between. Main thread.

namespace ads {

class DZOverlayPresenting {
public:
    virtual ~DZOverlayPresenting() = default;
};

}  // namespace ads
