#include "ads/native/DZNativeCustomTemplateAd.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "ads/core/request/DZNativeAdImageAdLoaderOptions.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZLogger.h"
#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/native/DZAdLoader.h"
#include "ads/native/DZAdLoaderDelegate.h"
#include "ads/native/DZMediaContent.h"
#include "ads/native/DZMediaView.h"
#include "ads/native/DZNativeAdvancedAd.h"
#include "ads/video/DZVideoController.h"
#include "ads/video/DZVideoOptions.h"
#include "ads/web/dmsg/DZNativeAdVideoClickDMSGHandler.h"
#include "ads/web/view/DZAdView.h"
#include "core/JSON.h"
#include "core/Unicode.h"

namespace ads {

namespace {

// The template id as text: a text as it is, a number as its decimal text.
std::optional<std::string> templateIDText(const core::Value& value) {
    if (const std::string* text = value.string()) return *text;
    if (value.isInteger()) return std::to_string(value.intValue());
    if (value.isDouble()) return DZCompactDecimalString(value.doubleValue());
    return std::nullopt;
}

bool isNumeric(const std::string& text) {
    if (text.empty()) return false;
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

class CustomTemplateAdClass final : public DZLoadableClass {
public:
    std::string className() const override { return DZNativeCustomTemplateAd::kClassName; }
    const DZDelegateProtocol& requiredDelegateProtocol() const override {
        static const DZDelegateProtocol protocol{
            "DZNativeCustomTemplateAdLoaderDelegate", [](const DZAdLoaderDelegate& delegate) {
                return dynamic_cast<const DZNativeCustomTemplateAdLoaderDelegate*>(&delegate) !=
                       nullptr;
            }};
        return protocol;
    }
    core::Dictionary requestParametersForAdLoader(DZAdLoader& loader) const override {
        core::Array kept;
        const auto delegate =
            std::dynamic_pointer_cast<DZNativeCustomTemplateAdLoaderDelegate>(loader.delegate());
        const auto identifiers =
            delegate ? delegate->nativeCustomTemplateIDsForAdLoader(loader) : std::nullopt;
        for (const core::Value& identifier : identifiers.value_or(core::Array{})) {
            if (const std::string* text = identifier.string()) {
                if (!isNumeric(*text))
                    DZLogger::sharedInstance().logPublicMessage(
                        "Received non-numeric custom template ID. The template ID may be "
                        "invalid: " +
                        *text);
                kept.push_back(*text);
            } else if (identifier.isNumber()) {
                kept.push_back(*templateIDText(identifier));
            } else {
                DZLogger::sharedInstance().logPublicMessage(
                    "Received non-string custom template ID: " +
                    core::JSON::write(identifier).value_or("(null)"));
            }
        }
        return {{"format", 3},
                {"custom_template_ids", std::move(kept)},
                {"allowed_response_types", core::Array{"ina"}}};
    }
    bool canInitWithAdLoader(DZAdLoader&, std::optional<Error>*) const override { return true; }
    std::shared_ptr<DZNativeAd> initWithDictionary(const core::Dictionary& dictionary,
                                                   const Options& options) const override {
        return DZNativeCustomTemplateAd::create(dictionary, options);
    }
};

}  // namespace

const DZLoadableClass& DZNativeCustomTemplateAd::adClass() {
    static const CustomTemplateAdClass adClass;
    return adClass;
}

std::shared_ptr<DZNativeCustomTemplateAd>
DZNativeCustomTemplateAd::create(const core::Dictionary& dictionary, const Options& options) {
    auto templateID = templateIDText(dictionary["custom_template_id"]);
    if (!templateID) return nullptr;
    return std::shared_ptr<DZNativeCustomTemplateAd>(
        new DZNativeCustomTemplateAd(dictionary, options, std::move(*templateID)));
}

DZNativeCustomTemplateAd::DZNativeCustomTemplateAd(const core::Dictionary& dictionary,
                                                   const Options& options, std::string templateID)
    : DZNativeAd(dictionary, options), templateID_(std::move(templateID)) {
    const auto imageOptions = DZNativeAdOption<DZNativeAdImageAdLoaderOptions>(options);
    disableImageLoading_ = imageOptions && imageOptions->disableImageLoading();
    if (const core::Array* assets = dictionary["custom_assets"].array()) {
        for (const core::Value& asset : *assets) {
            if (!asset.isDictionary()) continue;
            const std::string* name = asset["name"].string();
            const std::string* type = asset["type"].string();
            if (!name || name->empty() || !type || type->empty()) continue;
            if (*type == "string") {
                // Listed in either case; only a text is kept.
                if (const std::string* value = asset["string_value"].string())
                    stringAssets_[*name] = *value;
                availableAssetKeys_.insert(*name);
            } else if (*type == "image") {
                if (auto image = DZNativeAdImage::initWithDictionary(asset["image_value"]))
                    (image->required() ? requiredImages_ : optionalImages_)[*name] =
                        std::move(image);
            }
        }
    }
    std::optional<core::Dictionary> video;
    if (const core::Dictionary* found = dictionary["video"].dictionary()) video = *found;
    mediaContent_ =
        DZMediaContent::create(std::move(video), nullptr, DZNativeAdOption<DZVideoOptions>(options));
    videoController_ = std::make_shared<DZVideoController>();
    lockQueue_ = DZCreateQueueWithQoS(DZQueueLabel("custom-template"), DZQoSDefault);
}

DZNativeCustomTemplateAd::~DZNativeCustomTemplateAd() {
    auto& center = core::NotificationCenter::defaultCenter();
    if (customClickToken_) center.removeObserver(customClickToken_);
    if (videoClickToken_) center.removeObserver(videoClickToken_);
}

bool DZNativeCustomTemplateAd::hasValidConfigurationForRequestParameters(
    const core::Dictionary& parameters) const {
    if (!DZNativeAd::hasValidConfigurationForRequestParameters(parameters)) return false;
    const core::Array* identifiers = parameters["custom_template_ids"].array();
    if (!identifiers) return false;
    for (const core::Value& identifier : *identifiers)
        if (const std::string* text = identifier.string(); text && *text == templateID_)
            return true;
    return false;
}

void DZNativeCustomTemplateAd::adLoaderDidReceiveAd(DZAdLoader& loader) {
    const auto delegate =
        std::dynamic_pointer_cast<DZNativeCustomTemplateAdLoaderDelegate>(loader.delegate());
    if (delegate)
        delegate->adLoaderDidReceiveNativeCustomTemplateAd(
            loader, std::static_pointer_cast<DZNativeCustomTemplateAd>(shared_from_this()));
}

// Assets.

std::vector<std::string> DZNativeCustomTemplateAd::availableAssetKeys() const {
    std::vector<std::string> keys(availableAssetKeys_.begin(), availableAssetKeys_.end());
    std::stable_sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
        return core::Unicode::compareCaseInsensitive(a, b) < 0;
    });
    return keys;
}

std::optional<std::string> DZNativeCustomTemplateAd::stringForKey(const std::string& key) const {
    const auto found = stringAssets_.find(key);
    if (found == stringAssets_.end()) return std::nullopt;
    return found->second;
}

std::shared_ptr<DZNativeAdImage> DZNativeCustomTemplateAd::imageForKey(const std::string& key) const {
    const auto found = imageAssets_.find(key);
    return found == imageAssets_.end() ? nullptr : found->second;
}

std::shared_ptr<DZMediaContentDisplaying> DZNativeCustomTemplateAd::mediaContent() const {
    return mediaContent_;
}

std::shared_ptr<ui::View> DZNativeCustomTemplateAd::mediaView() const {
    return videoController_->hasVideoContent() ? mediaView_ : nullptr;
}

void DZNativeCustomTemplateAd::makeImageAvailable(const std::string& name,
                                                  const std::shared_ptr<DZNativeAdImage>& image) {
    imageAssets_[name] = image;
    availableAssetKeys_.insert(name);
}

void DZNativeCustomTemplateAd::loadImage(const std::string& name,
                                         const std::shared_ptr<DZNativeAdImage>& image) {
    addAssetWithNameToRequestedAssets(name);
    const std::weak_ptr<DZNativeAd> weak = weak_from_this();
    image->loadImageWithCompletionHandler([weak, name, image](const std::optional<Error>& error) {
        const auto self = std::static_pointer_cast<DZNativeCustomTemplateAd>(weak.lock());
        if (!self) return;
        if (error) {
            self->failedToLoadAssetWithName(name);
            return;
        }
        self->makeImageAvailable(name, image);
        self->finishedLoadingAssetWithName(name);
    });
}

void DZNativeCustomTemplateAd::loadAssetsWithCompletionHandler(AssetCompletion handler) {
    DZNativeAd::loadAssetsWithCompletionHandler(std::move(handler));
    if (!shouldLoadAssets()) return;
    for (const auto* images : {&optionalImages_, &requiredImages_}) {
        for (const auto& [name, image] : *images) {
            if (disableImageLoading_)
                makeImageAvailable(name, image);
            else
                loadImage(name, image);
        }
    }
    if (mediaContent_) loadVideo();
}

void DZNativeCustomTemplateAd::loadVideo() {
    addAssetWithNameToRequestedAssets(kMediaAssetName);
    const std::weak_ptr<DZNativeAd> weak = weak_from_this();
    mediaContent_->loadVideoWithCompletionHandler([weak](const std::optional<Error>& error) {
        const auto self = std::static_pointer_cast<DZNativeCustomTemplateAd>(weak.lock());
        if (!self) return;
        if (error) {
            self->failedToLoadAssetWithName(kMediaAssetName);
            return;
        }
        self->mediaView_ = DZMediaView::create();
        self->mediaView_->setMediaContent(self->mediaContent_);
        self->videoController_->setInternalVideoController(self->mediaContent_->videoController());
        self->availableAssetKeys_.insert(kVideoMediaViewAssetName);
        self->observeVideoClicks();
        self->finishedLoadingAssetWithName(std::string(kMediaAssetName));
    });
}

void DZNativeCustomTemplateAd::observeVideoClicks() {
    auto& center = core::NotificationCenter::defaultCenter();
    if (videoClickToken_) center.removeObserver(videoClickToken_);
    const auto view = mediaContent_->mediaView();
    if (!view) return;
    const std::weak_ptr<DZNativeAd> weak = weak_from_this();
    videoClickToken_ = center.addObserver(
        DZNativeAdVideoClickDMSGHandler::kVideoClickNotification, view.get(), nullptr,
        [weak](const core::Notification&) {
            if (const auto self = std::static_pointer_cast<DZNativeCustomTemplateAd>(weak.lock()))
                self->performClickOnAssetWithKey(kVideoMediaViewAssetName);
        });
}

// Clicks.

DZNativeCustomTemplateAd::CustomClickHandler DZNativeCustomTemplateAd::customClickHandler() const {
    CustomClickHandler handler;
    lockQueue_->sync([&] { handler = clickHandlers_->custom; });
    return handler;
}

void DZNativeCustomTemplateAd::setCustomClickHandler(CustomClickHandler handler) {
    lockQueue_->async([handlers = clickHandlers_, handler = std::move(handler)] {
        handlers->custom = handler;
    });
}

void DZNativeCustomTemplateAd::performClickOnAssetWithKey(const std::string& key) {
    if (!availableAssetKeys_.contains(key)) {
        lockQueue_->sync([&] { clickHandlers_->deprecated = nullptr; });
        DZLogger::sharedInstance().logPublicMessage("Asset is unavailable. Cannot perform click on \"" +
                                                    key + "\".");
        return;
    }
    core::Dictionary environment;
    lockQueue_->sync([&] {
        if (clickHandlers_->custom || clickHandlers_->deprecated)
            environment.set("has_custom_click_handler", true);
    });
    performClickOnView(nullptr, key, environment);
}

void DZNativeCustomTemplateAd::performClickOnAssetWithKey(const std::string& key,
                                                          DeprecatedClickHandler handler) {
    if (handler) {
        bool waiting = false;
        lockQueue_->sync([&] {
            waiting = static_cast<bool>(clickHandlers_->deprecated);
            if (!waiting) clickHandlers_->deprecated = std::move(handler);
        });
        if (waiting) {
            DZLogger::sharedInstance().logPublicMessage(
                "Still processing prior click event. This click event will be ignored.");
            return;
        }
    }
    performClickOnAssetWithKey(key);
}

void DZNativeCustomTemplateAd::setSlot(std::shared_ptr<DZSlot> slot) {
    auto& center = core::NotificationCenter::defaultCenter();
    if (customClickToken_) {
        center.removeObserver(customClickToken_);
        customClickToken_ = {};
    }
    DZNativeAd::setSlot(slot);
    if (!slot || !slot->adView()) return;
    const std::weak_ptr<DZNativeAd> weak = weak_from_this();
    customClickToken_ = center.addObserver(
        kCustomClickMessage, slot->adView().get(), nullptr, [weak](const core::Notification& note) {
            if (const auto self = std::static_pointer_cast<DZNativeCustomTemplateAd>(weak.lock()))
                self->handleCustomClick(note);
        });
}

void DZNativeCustomTemplateAd::handleCustomClick(const core::Notification& notification) {
    const core::Value asset = notification.userInfo["asset"];
    lockQueue_->async([handlers = clickHandlers_, asset] {
        const auto main = core::Queue::main();
        if (auto older = std::exchange(handlers->deprecated, nullptr)) main->async(std::move(older));
        if (!asset.isNull() && handlers->custom)
            main->async([handler = handlers->custom, asset] {
                handler(asset.string() ? *asset.string() : asset.stringValue());
            });
    });
}

void DZNativeCustomTemplateAd::recordImpression() { recordImpressionWithEnvironment({}); }

std::string DZNativeCustomTemplateAd::description() const {
    char head[64];
    std::snprintf(head, sizeof head, "<%s: %p, availableAssetKeys:[", kClassName,
                  static_cast<const void*>(this));
    std::string text = head;
    const auto keys = availableAssetKeys();
    for (size_t i = 0; i < keys.size(); ++i) text += (i ? ", " : "") + keys[i];
    return text + "]>";
}

}  // namespace ads
