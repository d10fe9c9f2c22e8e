#pragma once
// The second page of a two-part MRAID expand (an expand with a URL or
// HTML): it tells its own page that it is ready and expanded, and keeps the
// banner's page's MRAID state in step ("expanded" while shown, "default"
// after). Made by the click opener with the plain constructor. Main thread.

#include "ads/presentation/fullscreen/DZAdAppViewController.h"

namespace ads {

class DZSupplementalAdAppViewController : public DZAdAppViewController {
public:
    DZSupplementalAdAppViewController() = default;

    void finishAppearing() override;
    void finishDismissal() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
};

}  // namespace ads
