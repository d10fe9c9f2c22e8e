#pragma once
// The public object through which an app asks for native ads. Given an ad
// unit, a root view controller, ad types ("1" content, "2" app install, "3"
// custom template) and options, each loadRequest() runs one request
// through the loader's own slot: the native response goes through a
// DZAdPreprocessor (the support page), one ad is made per entry of the
// preprocessed "ads" array, each loads its assets, and the results reach
// the delegate in entry order, the last one final; adLoaderDidFinishLoading
// follows the final one. One request at a time: a second loadRequest()
// while one runs is logged and ignored.
//
// Threading: main thread; every delegate call comes through the main queue.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/request/DZAdLoaderConfiguration.h"
#include "ads/core/slot/DZSlotAdLoadDelegate.h"
#include "ads/core/slot/DZSlotAdResponseDelegate.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/mediation/DZAdMediationDelegate.h"
#include "ads/native/DZAdLoaderDelegate.h"
#include "ads/native/DZLoadable.h"

namespace ui {
class ViewController;
}

namespace ads {

class DZAdLoadResults;
class DZAdPreprocessor;
class DZNativeAd;
class DZRequest;
class DZSlot;

class DZAdLoader : public DZSlotDelegate,
                   public DZSlotAdLoadDelegate,
                   public DZSlotAdResponseDelegate,
                   public DZAdMediationDelegate,
                   public std::enable_shared_from_this<DZAdLoader> {
public:
    static constexpr const char* kAlreadyLoadingMessage =
        "Another request already in progress. Ignoring new request.";

    // nullptr when the slot cannot be made.
    [[nodiscard]] static std::shared_ptr<DZAdLoader>
    create(std::optional<std::string> adUnitID, std::weak_ptr<ui::ViewController> rootViewController,
           const std::vector<std::string>& adTypes,
           const std::vector<std::shared_ptr<DZAdLoaderOptions>>& options);
    ~DZAdLoader() override;

    // Kept weakly. A delegate that lacks the protocol of one of the ad
    // classes is refused with a logged SDK error 12; the old one stays.
    void setDelegate(const std::shared_ptr<DZAdLoaderDelegate>& delegate);
    [[nodiscard]] std::shared_ptr<DZAdLoaderDelegate> delegate() const { return delegate_.lock(); }
    // nullptr stands for a fresh request.
    void loadRequest(const std::shared_ptr<DZRequest>& request);

    [[nodiscard]] bool isLoading() const { return loading_; }
    [[nodiscard]] const std::optional<std::string>& adUnitID() const { return adUnitID_; }
    [[nodiscard]] std::shared_ptr<ui::ViewController> rootViewController() const override;
    [[nodiscard]] const std::shared_ptr<DZAdLoaderConfiguration>& adLoaderConfiguration() const {
        return adLoaderConfiguration_;
    }
    void setAdLoaderConfiguration(std::shared_ptr<DZAdLoaderConfiguration> configuration) {
        adLoaderConfiguration_ = std::move(configuration);
    }
    [[nodiscard]] const std::shared_ptr<DZSlot>& slot() const { return slot_; }
    [[nodiscard]] size_t runningPreprocessorCount() const { return adPreprocessors_.size(); }
    [[nodiscard]] size_t loadingAdCount() const { return nativeAds_.size(); }

    // Called by the results object on the main queue.
    void handleFailedRequestWithRequestError(const std::optional<Error>& error, bool isFinalResult);
    void adDidFinishLoadingAssets(const std::shared_ptr<DZLoadable>& ad, bool isFinalResult);
    void finishLoading();

    // DZSlotDelegate.
    [[nodiscard]] std::optional<std::vector<DZBoxedValue>> validAdSizes() const override;
    [[nodiscard]] std::optional<gfx::Rect> bounds() const override;
    [[nodiscard]] std::optional<gfx::Rect> frame() const override { return bounds(); }
    // DZSlotAdLoadDelegate.
    void slotFinishedLoadingAdContent(DZSlot& slot) override { (void)slot; }
    void didFailToLoadAdContentWithError(DZSlot& slot, const Error& error) override;
    // DZSlotAdResponseDelegate: the response is taken over (never rendered).
    [[nodiscard]] bool shouldProcessAdResponse(DZSlot& slot, const std::shared_ptr<DZAd>& ad,
                                               std::optional<Error>* error) override;
    void willProcessMediatedAdResponse(DZSlot& slot, const std::shared_ptr<DZAd>& ad) override;
    // DZAdMediationDelegate.
    [[nodiscard]] std::optional<std::shared_ptr<DZAdLoaderConfiguration>>
    adLoaderConfigurationForAd(const std::shared_ptr<DZAd>& ad,
                               const std::shared_ptr<DZMAdNetworkConfig>& network) override;
    // (DZAdLoaderMediation.cpp) A native ad connector for a network without
    // "response_type"; else the first ad class's connector; else nullptr.
    [[nodiscard]] std::shared_ptr<DZMAdNetworkConnector>
    mediationConnectorForConfiguration(const std::shared_ptr<DZMConfig>& configuration,
                                       const std::shared_ptr<DZMAdNetworkConfig>& network) override;
    [[nodiscard]] bool processesMediatedAds() const override { return true; }
    // The mediated ad's loadable ad, checked against the delegate and with
    // its assets loaded, goes to the delegate as the final result, after
    // the completion has run without an error.
    void processMediatedAd(const std::shared_ptr<DZAd>& ad,
                           const std::shared_ptr<DZMediatedAd>& mediatedAd,
                           ProcessCompletion completion) override;

private:
    struct Token {};

public:
    DZAdLoader(Token, std::optional<std::string> adUnitID,
               std::weak_ptr<ui::ViewController> rootViewController,
               std::shared_ptr<DZAdLoaderConfiguration> configuration);

private:
    [[nodiscard]] std::vector<const DZLoadableClass*> adClasses() const;
    void failSoon(Error error);
    void preprocessorDidComplete(const std::shared_ptr<DZAdPreprocessor>& preprocessor,
                                 const std::optional<core::Value>& configuration,
                                 const std::shared_ptr<DZSlot>& slot);
    void createSingleNativeAd(const core::Dictionary& entry, const std::shared_ptr<DZSlot>& slot,
                              std::int64_t index);

    std::shared_ptr<DZSlot> slot_;
    std::shared_ptr<DZAdLoadResults> adLoadResults_;
    bool loading_ = false;
    std::weak_ptr<DZAdLoaderDelegate> delegate_;
    std::optional<std::string> adUnitID_;
    std::weak_ptr<ui::ViewController> rootViewController_;
    std::shared_ptr<DZAdLoaderConfiguration> adLoaderConfiguration_;
    std::vector<std::shared_ptr<DZAdPreprocessor>> adPreprocessors_;
    std::vector<std::shared_ptr<DZNativeAd>> nativeAds_;
};

}  // namespace ads
