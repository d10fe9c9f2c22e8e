#pragma once
// The photo cell of the waterfall grids (explore feed and search screen):
// fills a dequeued collection-view cell with a photo's thumbnail, loaded
// through the image library over the photo's placeholder with a 3-second
// flip from the left, and takes a loaded thumbnail into every listed photo of
// that URL before pinging the photo's download location. Main thread only.

#include <cstddef>
#include <memory>
#include <optional>

#include "app/services/PhotosObject.h"
#include "ui/CollectionView.h"
#include "ui/ImageOptions.h"

namespace app {

class PhotoGridCell {
public:
    static constexpr double kFlipSeconds = 3.0;

    // The options of a thumbnail load: the flip from the left.
    [[nodiscard]] static ui::ImageOptions thumbnailOptions();

    // Gives the cell a new background view holding an aspect-fit image view
    // of the item's size and starts the thumbnail load into it; completion
    // gets the load's outcome.
    static void fill(ui::CollectionView& view, ui::CollectionViewCell& cell,
                     const ui::IndexPath& indexPath, const PhotosObject& photo,
                     ui::ImageCompletionHandler completion);

    // What a feed does with a finished load of row's photo: on success the
    // thumbnail replaces the placeholder of every photo in `photos` with the
    // loaded URL, and the photo's download location (when it has one) is
    // pinged.
    static void thumbnailLoaded(const PhotoList& photos, const gfx::ImagePtr& image,
                                const std::optional<ui::ImageError>& error, ui::CacheType cacheType,
                                const std::optional<core::URL>& url, size_t row,
                                const PhotosObject& photo);
};

}  // namespace app
