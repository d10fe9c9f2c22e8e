#pragma once
// The hidden menu an ad view opens after its debug gesture: it shows the
// ad's creative information (with Copy and Report) and lets a tester link
// the device to the ad server's debug tools, for troubleshooting (a debug
// mode switched on in the SDK) or for creative preview (a creative token
// the SDK then sends with its requests). A full-screen controller with a
// white background and a close button, driven by alerts. Main thread.

#include <memory>
#include <optional>
#include <string>

#include "core/URL.h"
#include "core/URLRequest.h"
#include "core/Value.h"
#include "store/SafariViewControllerDelegate.h"
#include "ui/ViewController.h"

namespace core {
class HTTPURLResponse;
}
namespace ui {
class AlertController;
class Button;
}  // namespace ui

namespace ads {

class DZDebugOptionsViewController;

class DZDebugOptionsViewControllerDelegate {
public:
    virtual ~DZDebugOptionsViewControllerDelegate() = default;
    virtual void debugOptionsViewControllerDidDismiss(DZDebugOptionsViewController& /*menu*/) {}
};

class DZDebugOptionsViewController : public ui::ViewController,
                                     public store::SafariViewControllerDelegate {
    struct Token {};

public:
    static constexpr const char* kEnableInAppPreviewKey = "/dozuza/ads/enable_in_app_preview";
    static constexpr const char* kEnableDebugSignalsKey = "/dozuza/ads/enable_debug_signals";
    static constexpr const char* kDebugDeviceLinkingURLKey = "/dozuza/ads/debug_device_linking_url";
    static constexpr const char* kDebugSignalStatusURLKey = "/dozuza/ads/debug_signal_status_url";
    static constexpr const char* kInAppPreviewStatusURLKey =
        "/dozuza/ads/in_app_preview_status_url";
    static constexpr const char* kDebugDeviceIdentifierKey = "/dozuza/ads/debug_device_identifier";
    static constexpr const char* kSystemErrorTitle =
        "In-app preview failed to load because of a system error. Please try again later.";

    [[nodiscard]] static std::shared_ptr<DZDebugOptionsViewController>
    debugOptionsViewControllerWithAdUnitID(std::optional<std::string> adUnitID);
    DZDebugOptionsViewController(Token, std::optional<std::string> adUnitID);

    [[nodiscard]] const std::optional<std::string>& adUnitID() const { return adUnitID_; }
    [[nodiscard]] const std::optional<std::string>& adDebugDialogString() const {
        return adDebugDialogString_;
    }
    void setAdDebugDialogString(std::optional<std::string> text) {
        adDebugDialogString_ = std::move(text);
    }
    void setDelegate(std::weak_ptr<DZDebugOptionsViewControllerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    // An alert's answer; index 0 is its cancel button, the others follow.
    void alertViewClickedButtonAtIndex(const ui::AlertController& alert, size_t index);
    void safariViewControllerDidFinish(store::SafariViewController& controller) override;
    void closeButtonPressed();

    // The alert on screen, or waiting for the menu to appear.
    [[nodiscard]] std::shared_ptr<ui::AlertController> currentAlert() const;
    [[nodiscard]] const std::shared_ptr<ui::Button>& closeButton() const { return closeButton_; }
    [[nodiscard]] bool isFinished() const { return finished_; }

private:
    enum class AlertKind { CreativeInformation, DebugOptions, Status };

    void showAlert(AlertKind kind, std::shared_ptr<ui::AlertController> alert);
    void showCreativeInformationAlert();
    void showDebugOptionsAlert();
    void showAlertViewWithTitle(const std::string& title);
    [[nodiscard]] core::Dictionary debugDeviceQueryParameters() const;
    [[nodiscard]] std::optional<core::URLRequest>
    debugURLRequestForString(const std::optional<std::string>& text) const;
    void startDeviceLinking();
    void createDeviceIdentifierAndStartDeviceLinking();
    void startDebugSignalLinking();
    void startInAppPreviewLinking();
    void sendStatusRequest(const char* urlKey, bool& inProgress, bool preview);
    void debugSignalStatusReceivedResponse(const core::HTTPURLResponse& response,
                                           const core::Data& data);
    void inAppPreviewSignalStatusReceivedResponse(const core::HTTPURLResponse& response,
                                                  const core::Data& data);
    void finishedDebugFlow();

    std::optional<std::string> adDebugDialogString_;
    std::shared_ptr<ui::AlertController> alert_;
    AlertKind alertKind_ = AlertKind::Status;
    bool alertPending_ = false;
    std::optional<core::URL> debugDeviceLinkingURL_;
    std::shared_ptr<ui::Button> closeButton_;
    bool debugSignalStatusFetchInProgress_ = false;
    bool inAppPreviewTokenFetchInProgress_ = false;
    std::optional<std::string> adUnitID_;
    bool shouldEnableInAppPreview_ = false;
    bool shouldEnableDebugSignal_ = false;
    std::weak_ptr<DZDebugOptionsViewControllerDelegate> delegate_;
    bool finished_ = false;
};

}  // namespace ads
