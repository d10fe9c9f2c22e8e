// View::snapshotViewAfterScreenUpdates: an image view holding what the
// view drew.

#include "gfx/Image.h"
#include "ui/DeviceProfile.h"
#include "ui/ImageView.h"
#include "ui/Renderer.h"
#include "ui/View.h"

namespace ui {

std::shared_ptr<View> View::snapshotViewAfterScreenUpdates(bool /*afterUpdates*/) {
    const gfx::Size size = bounds_.size;
    if (size.isEmpty()) return nullptr;
    const auto image =
        gfx::Image::draw(size, DeviceProfile::current().scale, [&](gfx::Canvas& canvas) {
            Renderer::drawViewHierarchy(*this, canvas, gfx::Rect({}, size));
        });
    if (!image) return nullptr;
    auto snapshot = std::make_shared<ImageView>(gfx::Rect({}, size));
    snapshot->setImage(image);
    return snapshot;
}

}  // namespace ui
