#include "ads/video/DZVideoPlayerGLView.h"

namespace ads {

std::shared_ptr<DZVideoPlayerGLView> DZVideoPlayerGLView::create(gfx::Rect) {
    return nullptr;
}

}  // namespace ads
