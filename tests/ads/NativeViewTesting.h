#pragma once
// Shared by the tests of the native ad view policy and the publisher views:
// a native ad that records the clicks and impressions the policy hands it
// and shows whatever AdChoices view, overlay, media content and video the
// test gives it; media content of a plain view; a recognizer that reports
// a fixed window point; and a policy delegate that records what it hears.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZNativeAdViewAdOptions.h"
#include "ads/native/DZMediaContentDisplaying.h"
#include "ads/native/DZNativeAd.h"
#include "ads/native/DZNativeAdViewPolicy.h"
#include "ads/native/DZNativeAdViewPolicyDelegate.h"
#include "ads/native/DZNativeContentAd.h"
#include "ads/native/DZOverlayView.h"
#include "ads/native/DZOverlayViewSource.h"
#include "ads/video/DZAdViewVideoController.h"
#include "ads/video/DZVideoController.h"
#include "ui/GestureRecognizer.h"
#include "ui/View.h"

namespace nativeviewtesting {

struct RecordedClick {
    std::shared_ptr<ui::View> view;
    std::string assetName;
    core::Dictionary environment;
};

class RecordingNativeAd final : public ads::DZNativeAd, public ads::DZOverlayViewSource {
public:
    explicit RecordingNativeAd(const core::Dictionary& dictionary = {}, std::int64_t corner = 0,
                               std::string templateID = "test-views")
        : DZNativeAd(dictionary, optionsWithCorner(corner)), templateID_(std::move(templateID)) {}

    std::vector<RecordedClick> clicks;
    std::vector<core::Dictionary> impressions;
    std::shared_ptr<ui::View> choices;
    std::shared_ptr<ads::DZOverlayView> overlay;
    std::shared_ptr<ads::DZMediaContentDisplaying> media;
    std::shared_ptr<ads::DZVideoController> video;

    void performClickOnView(const std::shared_ptr<ui::View>& view,
                            const std::optional<std::string>& assetName,
                            const core::Dictionary& environment) override {
        clicks.push_back({view, assetName.value_or("(none)"), environment});
    }
    void recordImpressionWithEnvironment(const core::Dictionary& environment) override {
        if (!hasRecordedImpression()) impressions.push_back(environment);
        DZNativeAd::recordImpressionWithEnvironment(environment);
    }
    std::shared_ptr<ui::View> adChoicesContentView() override { return choices; }
    std::shared_ptr<ads::DZOverlayView> overlayView() const override { return overlay; }
    std::shared_ptr<ads::DZMediaContentDisplaying> mediaContent() const override { return media; }
    std::shared_ptr<ads::DZVideoController> videoController() const override { return video; }

    std::string adFormatTemplateID() const override { return templateID_; }
    void adLoaderDidReceiveAd(ads::DZAdLoader&) override {}
    const ads::DZLoadableClass& loadableClass() const override {
        return ads::DZNativeContentAd::adClass();
    }

private:
    static Options optionsWithCorner(std::int64_t corner) {
        auto options = std::make_shared<ads::DZNativeAdViewAdOptions>();
        options->setPreferredAdChoicesPosition(corner);
        return {{ads::DZNativeAdViewAdOptions::kClassName, options}};
    }
    std::string templateID_;
};

class PlainMediaContent final : public ads::DZMediaContentDisplaying {
public:
    std::shared_ptr<ui::View> view;
    std::shared_ptr<ads::DZVideoControlling> controller;
    void loadVideoWithCompletionHandler(Completion) override {}
    std::shared_ptr<ui::View> mediaView() override { return view; }
    std::shared_ptr<ads::DZVideoControlling> videoController() const override { return controller; }
};

// A page's video controller in the given state, behind a public controller.
struct PageVideo {
    std::shared_ptr<ads::DZAdViewVideoController> page =
        std::make_shared<ads::DZAdViewVideoController>(std::weak_ptr<ads::DZAdView>());
    std::shared_ptr<ads::DZVideoController> controller = std::make_shared<ads::DZVideoController>();
    explicit PageVideo(bool hasVideo, std::int64_t state = 1) {
        page->setHasVideoContent(hasVideo);
        page->setVideoPlaybackState(state);
        controller->setInternalVideoController(page);
    }
};

// Reports `where` (window coordinates) as the gesture's location.
class LocatedGesture final : public ui::GestureRecognizer {
public:
    gfx::Point where;
    gfx::Point locationInView(const ui::View* view) const override {
        return view ? view->convertPointFrom(where, nullptr) : where;
    }
};

// "begin", "unload <template>".
class RecordingPolicyDelegate final : public ads::DZNativeAdViewPolicyDelegate {
public:
    std::vector<std::string> events;
    void nativeAdViewPolicyDidBeginTrackingView(ads::DZNativeAdViewPolicy&,
                                                const std::shared_ptr<ui::View>&) override {
        events.push_back("begin");
    }
    void nativeAdViewPolicyDidUnloadNativeAd(ads::DZNativeAdViewPolicy&,
                                             const std::shared_ptr<ads::DZNativeAd>& ad,
                                             const std::shared_ptr<ui::View>&) override {
        events.push_back("unload " + (ad ? ad->adFormatTemplateID() : std::string("none")));
    }
};

}  // namespace nativeviewtesting
