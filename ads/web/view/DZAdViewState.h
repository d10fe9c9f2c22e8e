#pragma once
// Where an ad view was placed before full-screen presentation moved it: its
// frame, superview, autoresizing mask, delegate and presenting controller.
// A value; main thread.

#include <memory>

#include "gfx/Geometry.h"
#include "ui/View.h"
#include "ui/ViewController.h"

namespace ads {

class DZAdViewDelegateProtocol;

struct DZAdViewState {
    std::shared_ptr<ui::View> superview;
    std::weak_ptr<DZAdViewDelegateProtocol> delegate;
    std::weak_ptr<ui::ViewController> viewController;
    unsigned autoresizingMask = 0;
    gfx::Rect frame;
};

}  // namespace ads
