#pragma once
// Draws a GLView's content: called by GLView::display() on the thread that
// called it, with the view's context current and its drawable bound and
// filling the viewport.

#include "gfx/Geometry.h"

namespace media {

class GLView;

class GLViewDelegate {
public:
    virtual ~GLViewDelegate() = default;
    // rect: the view's bounds in points as of its last layout.
    virtual void glView(GLView& view, const gfx::Rect& rect) = 0;
};

}  // namespace media
