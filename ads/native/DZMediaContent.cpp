#include "ads/native/DZMediaContent.h"

#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZGeometry.h"
#include "ads/foundation/DZServerHosts.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/native/DZNativeAdImage.h"
#include "ads/video/DZAdViewVideoController.h"
#include "ads/video/DZVideoOptions.h"
#include "ads/web/view/DZAdView.h"
#include "core/JSON.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/UserDefaults.h"
#include "ui/ImageView.h"
#include "ui/Window.h"

namespace ads {

core::URL DZMediaContent::videoSupportURL() {
    if (const auto text = core::UserDefaults::standard()->stringForKey(kVideoSupportURLKey)) {
        if (auto url = core::URL::create(*text)) return *url;
    }
    return *core::URL::create(DZServerHosts::staticURLString(kVideoSupportPath));
}

std::shared_ptr<DZMediaContent> DZMediaContent::create(
    std::optional<core::Dictionary> videoDictionary,
    std::shared_ptr<DZNativeAdImage> placeholderImage,
    std::shared_ptr<const DZVideoOptions> videoOptions) {
    auto content = std::make_shared<DZMediaContent>(Token{});
    content->configuration_ = std::move(videoDictionary);
    content->placeholderImage_ = std::move(placeholderImage);
    if (videoOptions)
        content->videoOptions_ = std::static_pointer_cast<const DZVideoOptions>(videoOptions->copy());
    content->slot_ = DZSlot::create();
    if (!content->slot_) return nullptr;
    const auto& slot = content->slot_;
    slot->setAdLoadDelegate(std::static_pointer_cast<DZSlotAdLoadDelegate>(content));
    slot->setSlotDelegate(std::static_pointer_cast<DZSlotDelegate>(content));
    slot->setAdEventDelegate(std::static_pointer_cast<DZSlotAdEventDelegate>(content));
    slot->setReloadable(false);
    if (slot->adView()) slot->adView()->configureAsBannerAdView();
    const std::weak_ptr<DZMediaContent> weak = content;
    core::NotificationCenter::defaultCenter().addObserver(
        weak, "jsLoaded", slot->adView().get(), [weak](const core::Notification&) {
            if (const auto self = weak.lock()) self->handleJavaScriptLoaded();
        });
    return content;
}

DZMediaContent::~DZMediaContent() {
    if (slot_) slot_->finishLiveViewReporting();
    core::NotificationCenter::defaultCenter().removeObserver(this);
}

void DZMediaContent::loadVideoWithCompletionHandler(Completion handler) {
    if (completionHandler_) {
        if (!handler) return;
        const Error error = DZErrorWithCodeDescription(kDZErrorInternalError,
                                                       "Video load request already in progress.");
        core::Queue::main()->async([handler = std::move(handler), error] { handler(error); });
        return;
    }
    completionHandler_ = std::move(handler);
    if (!configuration_) {
        notifyVideoLoadCompletedWithError(DZErrorWithCodeDescription(
            kDZErrorInternalError, "Failed to load video. Empty video configuration."));
        return;
    }
    if (hasLoaded_) {
        notifyVideoLoadCompletedWithError(std::nullopt);
        return;
    }
    double timeout = kDefaultLoadTimeout;
    if (const auto seconds =
            DZNumericValue(core::UserDefaults::standard()->objectForKey(kLoadTimeoutKey)))
        timeout = *seconds;
    const std::uint64_t generation = ++loadGeneration_;
    core::Queue::main()->after(timeout, [weak = weak_from_this(), generation] {
        const auto self = weak.lock();
        if (!self || self->loadGeneration_ != generation || self->hasLoaded_) return;
        self->notifyVideoLoadCompletedWithError(
            DZErrorWithCodeDescription(kDZErrorTimeout, "Video load has timed out."));
    });
    const auto request = std::make_shared<DZRequest>();
    request->registerAdNetworkExtras(std::make_shared<DZExtras>(
        core::Dictionary{{"_requestUrl", videoSupportURL().absoluteString()}}));
    slot_->loadRequest(request);
}

void DZMediaContent::handleJavaScriptLoaded() {
    const auto json =
        configuration_ ? dz_JSONStringPretty(*configuration_, true, nullptr) : std::nullopt;
    if (!json) {
        const std::string text =
            configuration_ ? core::JSON::write(core::Value(*configuration_)).value_or("?") : "(null)";
        notifyVideoLoadCompletedWithError(DZErrorWithCodeDescription(
            kDZErrorInternalError, "Vast video response (" + text + ") can't be JSON encoded."));
        return;
    }
    core::Queue::main()->async([weak = weak_from_this(), script = "dozuza.duzo.nativeAds.renderVideo(" + *json + ");"] {
        const auto self = weak.lock();
        if (self && self->slot_->adView())
            self->slot_->adView()->executeJavaScriptAsynchronouslyFromString(script);
    });
}

void DZMediaContent::slotFinishedLoadingAdContent(DZSlot& slot) {
    hasLoaded_ = true;
    if (videoOptions_) {
        if (const auto controller = adViewVideoController())
            controller->setInitialStateWithVideoOptions(videoOptions_.get());
    }
    notifyVideoLoadCompletedWithError(std::nullopt);
    slot.MRAIDAdDidLoad();
    slot.startLiveViewReportingIfEnabled();
}

void DZMediaContent::didFailToLoadAdContentWithError(DZSlot&, const Error& error) {
    notifyVideoLoadCompletedWithError(error);
}

void DZMediaContent::notifyVideoLoadCompletedWithError(const std::optional<Error>& error) {
    Completion handler = std::move(completionHandler_);
    completionHandler_ = nullptr;
    if (handler) core::Queue::main()->async([handler, error] { handler(error); });
}

std::shared_ptr<ui::View> DZMediaContent::mediaView() {
    if (hasLoaded_) {
        if (core::UserDefaults::standard()->boolForKey(kScrollViewDisableKey) && slot_->adView())
            slot_->adView()->scrollView().scrollEnabled = false;
        return slot_->adView();
    }
    if (!placeholderImageView_ && placeholderImage_ && placeholderImage_->image()) {
        placeholderImageView_ = std::make_shared<ui::ImageView>(placeholderImage_->image());
        placeholderImageView_->setContentMode(gfx::ContentMode::ScaleAspectFit);
    }
    return placeholderImageView_;
}

std::shared_ptr<DZAdViewVideoController> DZMediaContent::adViewVideoController() const {
    if (!hasLoaded_ || !slot_->adView()) return nullptr;
    return slot_->adView()->videoController();
}

std::shared_ptr<DZVideoControlling> DZMediaContent::videoController() const {
    return adViewVideoController();
}

std::optional<gfx::Rect> DZMediaContent::frameInInterface() const {
    const auto view = hasLoaded_ ? std::static_pointer_cast<ui::View>(slot_->adView())
                                 : std::static_pointer_cast<ui::View>(placeholderImageView_);
    const auto window = view ? view->window() : nullptr;
    if (!window) return gfx::Rect{};
    return DZOrientedScreenBounds(view->convertRectTo(view->bounds(), window.get()));
}

void DZMediaContent::didLoadVideoWithSize(DZSlot&, gfx::Size size) {
    if (const auto delegate = delegate_.lock())
        delegate->mediaContentDidLoadVideoWithSize(*this, size);
}

}  // namespace ads
