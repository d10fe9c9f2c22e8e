#pragma once
// Runs the native ad JSON of one response through the native support page
// before any ad is built: loads the page into a hidden slot of its own,
// waits for the page's "jsLoaded", calls
// dozuza.duzo.nativeAds.preProcessJsonDmsg(json, environment) and takes the
// page's "nativeAdPreProcess" answer (its "success" entry, JSON text) as
// the configuration the ads are built from. The slot, whose page stays
// loaded, goes with a successful answer so that the ads' later script calls
// run in the same page.
//
// Exactly one outcome reaches the completion, always on a later turn of the
// main queue: the answer, a failure, or a time-out (SDK error 11) 5 s after
// the page finished loading or 30 s after the start, whichever comes first,
// so that a page that never finishes loading cannot hold the caller.
//
// Threading: main thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZError.h"
#include "ads/core/slot/DZSlotAdLoadDelegate.h"
#include "core/Notification.h"
#include "core/Value.h"

namespace ads {

class DZSlot;

class DZAdPreprocessor : public DZSlotAdLoadDelegate,
                         public std::enable_shared_from_this<DZAdPreprocessor> {
public:
    using Completion = std::function<void(const std::optional<core::Value>& configuration,
                                          const std::shared_ptr<DZSlot>& slot,
                                          const std::optional<Error>& error)>;

    static constexpr double kPageTimeout = 5.0;
    static constexpr double kOverallTimeout = 30.0;
    static constexpr const char* kJavaScriptLoadedMessage = "jsLoaded";
    static constexpr const char* kPreprocessMessage = "nativeAdPreProcess";

    // nullptr when the slot cannot be made.
    [[nodiscard]] static std::shared_ptr<DZAdPreprocessor>
    create(const std::optional<std::string>& adUnitID);
    ~DZAdPreprocessor() override;

    void preprocessNativeAdJSON(const std::string& json, Completion completion);
    // {"sdk_version":"7.22.0"} as compact JSON.
    [[nodiscard]] static std::string environmentJSONString();
    void callAndClearCompletionHandlerWithAdConfiguration(
        const std::optional<core::Value>& configuration, const std::shared_ptr<DZSlot>& slot,
        const std::optional<Error>& error);

    [[nodiscard]] const std::shared_ptr<DZSlot>& slot() const { return slot_; }
    // The JSON as handed to the page: the parsed value written again, with
    // U+2028 and U+2029 escaped (they end a line in a script literal).
    [[nodiscard]] const std::optional<std::string>& nativeAdJSON() const { return nativeAdJSON_; }

    // DZSlotAdLoadDelegate.
    void slotFinishedLoadingAdContent(DZSlot& slot) override;
    void didFailToLoadAdContentWithError(DZSlot& slot, const Error& error) override;

private:
    struct Token {};

public:
    explicit DZAdPreprocessor(Token) {}

private:
    void handleJavaScriptLoadedNotification(const core::Notification& notification);
    void handlePreprocessorNotification(const core::Notification& notification);
    void scheduleTimeout(double seconds);

    std::shared_ptr<DZSlot> slot_;
    Completion completionHandler_;
    std::optional<std::string> nativeAdJSON_;
};

}  // namespace ads
