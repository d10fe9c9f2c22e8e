#pragma once
// A native ad of another network, as its adapter or custom event hands it
// to the SDK, and the network's delegate that hears what the publisher's
// views did with it. The kind of ad is the interface it adopts: app
// install, content or custom template (a native ad object of the SDK's own
// network adopts the first two through its class). The assets it offers
// are read by the native ad classes that show it and by the native express
// connector, which turns them into the template's JSON.
//
// Optional operations have defaults that stand for "does not answer".
// Main thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Value.h"

namespace ui {
class View;
class ViewController;
}  // namespace ui

namespace ads {

class DZMediatedNativeAdProtocol;
class DZNativeAdImage;

// The network's own handling of its native ad. Every method is optional.
class DZMediatedNativeAdDelegate {
public:
    virtual ~DZMediatedNativeAdDelegate() = default;
    virtual void mediatedNativeAdDidRecordImpression(DZMediatedNativeAdProtocol& ad) { (void)ad; }
    virtual void mediatedNativeAdDidRecordClickOnAssetWithName(
        DZMediatedNativeAdProtocol& ad, const std::optional<std::string>& assetName,
        const std::shared_ptr<ui::View>& view,
        const std::shared_ptr<ui::ViewController>& viewController) {
        (void)ad, (void)assetName, (void)view, (void)viewController;
    }
    virtual void mediatedNativeAdDidRenderInView(
        DZMediatedNativeAdProtocol& ad, const std::shared_ptr<ui::View>& view,
        const std::shared_ptr<ui::ViewController>& viewController) {
        (void)ad, (void)view, (void)viewController;
    }
    virtual void mediatedNativeAdDidUntrackView(DZMediatedNativeAdProtocol& ad,
                                                const std::shared_ptr<ui::View>& view) {
        (void)ad, (void)view;
    }
};

class DZMediatedNativeAdProtocol {
public:
    virtual ~DZMediatedNativeAdProtocol() = default;

    [[nodiscard]] virtual std::shared_ptr<DZMediatedNativeAdDelegate>
    mediatedNativeAdDelegate() const {
        return nullptr;
    }
    [[nodiscard]] virtual std::optional<core::Dictionary> extraAssets() const {
        return std::nullopt;
    }
    // Optional: the network's media view (nullptr: none or not answered).
    [[nodiscard]] virtual std::shared_ptr<ui::View> mediaView() const { return nullptr; }
    // Optional: nullopt when the ad does not say.
    [[nodiscard]] virtual std::optional<bool> hasVideoContent() const { return std::nullopt; }
};

// Images travel as lists of native ad images; a null entry stands for an
// image object of another kind, which has no URL the SDK can read.
using DZMediatedNativeAdImages = std::vector<std::shared_ptr<DZNativeAdImage>>;

class DZMediatedNativeAppInstallAd : public virtual DZMediatedNativeAdProtocol {
public:
    [[nodiscard]] virtual std::optional<std::string> headline() const = 0;
    [[nodiscard]] virtual DZMediatedNativeAdImages images() const = 0;
    [[nodiscard]] virtual std::optional<std::string> body() const = 0;
    [[nodiscard]] virtual std::shared_ptr<DZNativeAdImage> icon() const = 0;
    [[nodiscard]] virtual std::optional<std::string> callToAction() const = 0;
    // A decimal number, such as 4.5; nullopt for none.
    [[nodiscard]] virtual std::optional<double> starRating() const = 0;
    [[nodiscard]] virtual std::optional<std::string> store() const = 0;
    [[nodiscard]] virtual std::optional<std::string> price() const = 0;
    // Optional.
    [[nodiscard]] virtual std::shared_ptr<ui::View> adChoicesView() const { return nullptr; }
};

class DZMediatedNativeContentAd : public virtual DZMediatedNativeAdProtocol {
public:
    [[nodiscard]] virtual std::optional<std::string> headline() const = 0;
    [[nodiscard]] virtual std::optional<std::string> body() const = 0;
    [[nodiscard]] virtual DZMediatedNativeAdImages images() const = 0;
    [[nodiscard]] virtual std::shared_ptr<DZNativeAdImage> logo() const = 0;
    [[nodiscard]] virtual std::optional<std::string> callToAction() const = 0;
    [[nodiscard]] virtual std::optional<std::string> advertiser() const = 0;
    // Optional.
    [[nodiscard]] virtual std::shared_ptr<ui::View> adChoicesView() const { return nullptr; }
};

class DZMediatedNativeCustomTemplateAd : public virtual DZMediatedNativeAdProtocol {};

}  // namespace ads
