#include "ui/ImageLoading.h"

#include <cmath>
#include <memory>
#include <utility>

#include "ui/DeviceProfile.h"
#include "ui/ImageManager.h"
#include "ui/ImageView.h"

namespace ui {

namespace {

// What an image view keeps of its load; owned by the view alone.
struct ImageLoadState {
    core::URL url;
    std::shared_ptr<ImageRetrieveTask> task;
    std::optional<ImageTransition> shownWith;

    ~ImageLoadState() {
        if (task) task->cancel();
    }
};

ImageLoadState* stateOf(const ImageView& view) {
    return static_cast<ImageLoadState*>(view.imageLoadState().get());
}

void show(ImageView& view, ImageLoadState& state, gfx::ImagePtr image, CacheType cacheType,
          ImageTransition transition) {
    view.setImage(std::move(image));
    if (cacheType != CacheType::none || transition.kind == ImageTransition::Kind::none) return;
    state.shownWith = transition;
    if (transition.kind == ImageTransition::Kind::fade) {
        view.setAlpha(0);
        View::animate(transition.duration, [&view] { view.setAlpha(1); });
    }
}

}  // namespace

void setImage(ImageView& view, std::optional<core::URL> url, gfx::ImagePtr placeholder,
              ImageOptions options, ImageProgressBlock progress,
              ImageCompletionHandler completion) {
    if (!url) {
        view.setImageLoadState(nullptr);
        view.setImage(std::move(placeholder));
        if (completion) completion(nullptr, ImageError::noURL(), CacheType::none, std::nullopt);
        return;
    }
    auto state = std::make_shared<ImageLoadState>(ImageLoadState{*url, nullptr, std::nullopt});
    view.setImageLoadState(state);
    view.setImage(std::move(placeholder));

    const std::weak_ptr<ImageLoadState> weakState = state;
    ImageView* const target = &view;
    auto reportProgress = [weakState, progress = std::move(progress)](std::int64_t received,
                                                                      std::int64_t expected) {
        if (progress && !weakState.expired()) progress(received, expected);
    };
    auto deliver = [weakState, target, transition = options.transition,
                    completion = std::move(completion)](
                       gfx::ImagePtr image, std::optional<ImageError> error, CacheType cacheType,
                       std::optional<core::URL> url) {
        // The state lives exactly as long as the load is the view's current
        // one and the view exists.
        if (const auto current = weakState.lock(); current && stateOf(*target) == current.get()) {
            current->task.reset();
            if (image) show(*target, *current, image, cacheType, transition);
        }
        if (completion) completion(std::move(image), std::move(error), cacheType, std::move(url));
    };
    ImageManager& manager = options.manager ? *options.manager : ImageManager::shared();
    auto task = manager.retrieveImage(*url, options, std::move(reportProgress), std::move(deliver));
    if (!task->isFinished()) state->task = std::move(task);
}

void cancelDownloadTask(ImageView& view) {
    if (ImageLoadState* state = stateOf(view); state && state->task) {
        view.setImageLoadState(nullptr);
    }
}

gfx::Size screenPixelSize(gfx::Size points) {
    const double scale = DeviceProfile::current().scale;
    return {std::ceil(points.width * scale), std::ceil(points.height * scale)};
}

std::optional<core::URL> imageURL(const ImageView& view) {
    const ImageLoadState* state = stateOf(view);
    return state ? std::optional(state->url) : std::nullopt;
}

std::optional<ImageTransition> imageTransition(const ImageView& view) {
    const ImageLoadState* state = stateOf(view);
    return state ? state->shownWith : std::nullopt;
}

}  // namespace ui
