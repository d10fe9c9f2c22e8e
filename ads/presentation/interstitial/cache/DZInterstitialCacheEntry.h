#pragma once
// One interstitial loaded ahead of need: a slot of its own that starts
// loading the pool's request (origin "cache") as soon as the entry is made.
// The entry answers its slot's gates as an interstitial would until an
// interstitial takes the slot over.
//
// Each entry sends exactly one "cache_rq" CSI report: "cache:load" or
// "cache:fail" timed, and "cache:pop" when an interstitial took it
// (slotDidMoveToPlacement) or "cache:discard" when it ends untaken.
//
// Made on the main thread; slot callbacks arrive there.

#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZError.h"
#include "ads/core/slot/DZSlotAdLoadDelegate.h"
#include "ads/core/slot/DZSlotAdResponseDelegate.h"
#include "ads/core/slot/DZSlotDelegate.h"
#include "ads/mediation/DZAdMediationDelegate.h"

namespace ads {

class DZCSITimeRecorder;
class DZRequest;
class DZSlot;

class DZInterstitialCacheEntry : public DZSlotDelegate,
                                 public DZSlotAdLoadDelegate,
                                 public DZSlotAdResponseDelegate,
                                 public DZAdMediationDelegate,
                                 public std::enable_shared_from_this<DZInterstitialCacheEntry> {
public:
    static constexpr const char* kCSIAction = "cache_rq";
    static constexpr const char* kLoadVariable = "cache:load";
    static constexpr const char* kFailVariable = "cache:fail";
    static constexpr const char* kPopVariable = "cache:pop";
    static constexpr const char* kDiscardVariable = "cache:discard";
    static constexpr const char* kOrigin = "cache";

    // nullptr when the slot cannot be made. Main thread.
    [[nodiscard]] static std::shared_ptr<DZInterstitialCacheEntry>
    create(const std::shared_ptr<DZRequest>& request, const std::optional<std::string>& adUnitID);
    ~DZInterstitialCacheEntry() override;
    DZInterstitialCacheEntry(const DZInterstitialCacheEntry&) = delete;
    DZInterstitialCacheEntry& operator=(const DZInterstitialCacheEntry&) = delete;

    [[nodiscard]] const std::shared_ptr<DZSlot>& slot() const { return slot_; }
    [[nodiscard]] bool loaded() const { return loaded_; }
    [[nodiscard]] const std::optional<Error>& error() const { return error_; }
    [[nodiscard]] const std::shared_ptr<DZCSITimeRecorder>& timeRecorder() const {
        return timeRecorder_;
    }

    // An interstitial took the slot: the report goes out with "cache:pop".
    void slotDidMoveToPlacement();
    // Reports through the default CSI configuration; nullptr does nothing.
    static void sendCSIPingForTimeRecorder(const std::shared_ptr<DZCSITimeRecorder>& recorder);

    // DZSlotDelegate.
    DZSlotDelegateKind slotDelegateKind() const override {
        return DZSlotDelegateKind::interstitial;
    }
    std::optional<bool> shouldLoadRequest(DZSlot& slot, const std::shared_ptr<DZRequest>& request,
                                          std::optional<Error>* error) override;
    // DZSlotAdLoadDelegate.
    void slotFinishedLoadingAdContent(DZSlot& slot) override;
    void didFailToLoadAdContentWithError(DZSlot& slot, const Error& error) override;
    // DZSlotAdResponseDelegate.
    bool shouldProcessAdResponse(DZSlot& slot, const std::shared_ptr<DZAd>& ad,
                                 std::optional<Error>* error) override;
    void willProcessMediatedAdResponse(DZSlot& slot, const std::shared_ptr<DZAd>& ad) override;
    // DZAdMediationDelegate.
    std::shared_ptr<DZMAdNetworkConnector>
    mediationConnectorForConfiguration(const std::shared_ptr<DZMConfig>& configuration,
                                       const std::shared_ptr<DZMAdNetworkConfig>& network) override;

private:
    struct Token {};

public:
    explicit DZInterstitialCacheEntry(Token) {}

private:
    std::shared_ptr<DZCSITimeRecorder> timeRecorder_;
    bool loaded_ = false;
    std::shared_ptr<DZSlot> slot_;
    std::optional<Error> error_;
};

}  // namespace ads
