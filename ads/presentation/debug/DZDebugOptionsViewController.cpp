#include "ads/presentation/debug/DZDebugOptionsViewController.h"

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZBadAdReport.h"
#include "ads/foundation/DZHTTPRequest.h"
#include "ads/foundation/DZIcons.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZLayoutConstraints.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/foundation/DZSafariSupport.h"
#include "core/HTTPURLResponse.h"
#include "core/RunLoop.h"
#include "core/URLConnection.h"
#include "core/UUID.h"
#include "core/UserDefaults.h"
#include "gfx/Color.h"
#include "store/SafariViewController.h"
#include "ui/AlertController.h"
#include "ui/Button.h"
#include "ui/Pasteboard.h"

namespace ads {

namespace {

// A flag read only when the stored value has a boolean reading.
bool flag(const char* key) {
    const core::Value value = core::UserDefaults::standard()->objectForKey(key);
    return (value.isBool() || value.isNumber() || value.isString()) && value.boolValue();
}

std::string text(const core::Value* value) {
    if (!value) return {};
    if (value->isString()) return value->stringValue();
    if (value->isNumber()) return std::to_string(value->intValue());
    return {};
}

}  // namespace

std::shared_ptr<DZDebugOptionsViewController>
DZDebugOptionsViewController::debugOptionsViewControllerWithAdUnitID(
    std::optional<std::string> adUnitID) {
    return std::make_shared<DZDebugOptionsViewController>(Token{}, std::move(adUnitID));
}

DZDebugOptionsViewController::DZDebugOptionsViewController(Token,
                                                           std::optional<std::string> adUnitID)
    : adUnitID_(std::move(adUnitID)) {}

void DZDebugOptionsViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());

    closeButton_ = ui::Button::create(ui::ButtonType::System);
    closeButton_->setImage(DZCloseIconImage());
    closeButton_->setAccessibilityIdentifier("Close Debug Options");
    std::weak_ptr<DZDebugOptionsViewController> weakSelf =
        std::static_pointer_cast<DZDebugOptionsViewController>(shared_from_this());
    closeButton_->addAction(ui::ControlEvent::TouchUpInside, [weakSelf](auto&&...) {
        if (const auto self = weakSelf.lock()) self->closeButtonPressed();
    });
    closeButton_->setFrame({30, 30, 25, 25});
    view()->addSubview(closeButton_);

    shouldEnableInAppPreview_ = flag(kEnableInAppPreviewKey);
    shouldEnableDebugSignal_ = flag(kEnableDebugSignalsKey);
    const auto linking = core::UserDefaults::standard()->stringForKey(kDebugDeviceLinkingURLKey);
    const auto linkingURL = linking ? core::URL::create(*linking) : std::nullopt;
    if ((shouldEnableInAppPreview_ || shouldEnableDebugSignal_) && linkingURL) {
        debugDeviceLinkingURL_ = linkingURL;
        showDebugOptionsAlert();
    } else {
        showCreativeInformationAlert();
    }
}

void DZDebugOptionsViewController::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    if (alertPending_ && alert_) {
        alertPending_ = false;
        presentViewController(alert_, true);
    }
}

std::shared_ptr<ui::AlertController> DZDebugOptionsViewController::currentAlert() const {
    return alert_;
}

void DZDebugOptionsViewController::showAlert(AlertKind kind,
                                             std::shared_ptr<ui::AlertController> alert) {
    std::weak_ptr<DZDebugOptionsViewController> weakSelf =
        std::static_pointer_cast<DZDebugOptionsViewController>(shared_from_this());
    const ui::AlertController* key = alert.get();
    // Buttons answer with their index, the cancel button being 0.
    std::vector<ui::AlertAction> actions = alert->actions();
    auto rebuilt = ui::AlertController::create(alert->title(), alert->message());
    for (size_t index = 0; index < actions.size(); ++index)
        rebuilt->addAction(
            {actions[index].title, actions[index].style, [weakSelf, index](const ui::AlertAction&) {
                 const auto self = weakSelf.lock();
                 if (self && self->alert_)
                     self->alertViewClickedButtonAtIndex(*self->alert_, index);
             }});
    (void)key;
    alert_ = rebuilt;
    alertKind_ = kind;
    if (isAppeared() && !presentedViewController()) {
        alertPending_ = false;
        presentViewController(alert_, true);
    } else {
        alertPending_ = true;
    }
}

void DZDebugOptionsViewController::showCreativeInformationAlert() {
    const bool hasText = adDebugDialogString_ && !adDebugDialogString_->empty();
    auto alert = ui::AlertController::create(
        "Debug Ad Information",
        adDebugDialogString_ ? *adDebugDialogString_ : "Creative information is not available");
    alert->addAction({"OK", ui::AlertActionStyle::Cancel, {}});
    if (hasText) {
        alert->addAction({"Copy", ui::AlertActionStyle::Default, {}});
        alert->addAction({"Report", ui::AlertActionStyle::Default, {}});
    }
    showAlert(AlertKind::CreativeInformation, alert);
}

void DZDebugOptionsViewController::showDebugOptionsAlert() {
    const auto application = DZApplication::sharedInstance();
    std::string message;
    if (application->debugModeEnabled()) message = "Troubleshooting mode is enabled.";
    if (application->inAppPreviewCreativeToken()) {
        if (!message.empty()) message += "\n";
        message += "Creative preview is enabled.";
    }
    auto alert = ui::AlertController::create("Debug Options", message);
    alert->addAction({"Dismiss", ui::AlertActionStyle::Cancel, {}});
    alert->addAction({"Ad Information", ui::AlertActionStyle::Default, {}});
    alert->addAction({"Creative Preview", ui::AlertActionStyle::Default, {}});
    alert->addAction({"Troubleshooting", ui::AlertActionStyle::Default, {}});
    showAlert(AlertKind::DebugOptions, alert);
}

void DZDebugOptionsViewController::showAlertViewWithTitle(const std::string& title) {
    auto alert = ui::AlertController::create(title);
    alert->addAction({"Dismiss", ui::AlertActionStyle::Cancel, {}});
    showAlert(AlertKind::Status, alert);
}

void DZDebugOptionsViewController::alertViewClickedButtonAtIndex(const ui::AlertController& alert,
                                                                 size_t index) {
    if (&alert != alert_.get()) return;
    const AlertKind kind = alertKind_;
    alert_.reset();
    alertPending_ = false;
    // The alert is dismissed by its own button before the answer arrives.
    switch (kind) {
    case AlertKind::DebugOptions:
        if (index == 0) finishedDebugFlow();
        if (index == 1) showCreativeInformationAlert();
        if (index == 2) startInAppPreviewLinking();
        if (index == 3) startDebugSignalLinking();
        return;
    case AlertKind::CreativeInformation: {
        const bool hasText = adDebugDialogString_ && !adDebugDialogString_->empty();
        if (!hasText) {
            finishedDebugFlow();
            return;
        }
        if (index == 1) {
            ui::Pasteboard::general().setString(*adDebugDialogString_);
            finishedDebugFlow();
        } else if (index == 2) {
            DZSendBadAdReport(adDebugDialogString_);
            finishedDebugFlow();
        } else if (index == 0) {
            finishedDebugFlow();
        }
        return;
    }
    case AlertKind::Status:
        finishedDebugFlow();
        return;
    }
}

core::Dictionary DZDebugOptionsViewController::debugDeviceQueryParameters() const {
    core::Dictionary parameters;
    if (const auto identifier =
            core::UserDefaults::standard()->stringForKey(kDebugDeviceIdentifierKey))
        parameters.set("linkedDeviceId", *identifier);
    if (adUnitID_) parameters.set("adSlotPath", *adUnitID_);
    return parameters;
}

std::optional<core::URLRequest> DZDebugOptionsViewController::debugURLRequestForString(
    const std::optional<std::string>& text) const {
    if (!text) return std::nullopt;
    const auto url =
        DZURLByAddingQueryParameters(core::URL::create(*text), debugDeviceQueryParameters());
    return DZMakeURLRequest(url, std::nullopt, std::nullopt, std::nullopt);
}

void DZDebugOptionsViewController::startDeviceLinking() {
    const auto url =
        DZURLByAddingQueryParameters(debugDeviceLinkingURL_, debugDeviceQueryParameters());
    if (!url) {
        finishedDebugFlow();
        return;
    }
    const auto safariClass = DZSafariViewControllerClass();
    const auto safari =
        safariClass && DZSafariViewControllerSupportsURL(url) ? safariClass->create(*url) : nullptr;
    if (const auto browser = std::dynamic_pointer_cast<store::SafariViewController>(safari)) {
        browser->setDelegate(
            std::static_pointer_cast<DZDebugOptionsViewController>(shared_from_this()));
        addChildViewController(browser);
        view()->addSubview(browser->view());
        DZConstrainViewToFillSuperview(browser->view().get());
        browser->didMoveToParentViewController(this);
        return;
    }
    finishedDebugFlow();
    DZApplication::sharedInstance()->openURL(*url);
}

void DZDebugOptionsViewController::createDeviceIdentifierAndStartDeviceLinking() {
    if (!debugDeviceLinkingURL_) {
        finishedDebugFlow();
        return;
    }
    core::UserDefaults::standard()->setObject(kDebugDeviceIdentifierKey,
                                              core::UUID::random().string());
    startDeviceLinking();
}

void DZDebugOptionsViewController::startDebugSignalLinking() {
    if (!shouldEnableDebugSignal_) {
        showAlertViewWithTitle("Feature Not Enabled");
        return;
    }
    if (!core::UserDefaults::standard()->stringForKey(kDebugDeviceIdentifierKey)) {
        createDeviceIdentifierAndStartDeviceLinking();
        return;
    }
    sendStatusRequest(kDebugSignalStatusURLKey, debugSignalStatusFetchInProgress_, false);
}

void DZDebugOptionsViewController::startInAppPreviewLinking() {
    if (!shouldEnableInAppPreview_) {
        showAlertViewWithTitle("Feature Not Enabled");
        return;
    }
    if (!core::UserDefaults::standard()->stringForKey(kDebugDeviceIdentifierKey)) {
        createDeviceIdentifierAndStartDeviceLinking();
        return;
    }
    sendStatusRequest(kInAppPreviewStatusURLKey, inAppPreviewTokenFetchInProgress_, true);
}

void DZDebugOptionsViewController::sendStatusRequest(const char* urlKey, bool& inProgress,
                                                     bool preview) {
    const auto request =
        debugURLRequestForString(core::UserDefaults::standard()->stringForKey(urlKey));
    if (!request || inProgress) {
        finishedDebugFlow();
        return;
    }
    inProgress = true;
    std::weak_ptr<DZDebugOptionsViewController> weakSelf =
        std::static_pointer_cast<DZDebugOptionsViewController>(shared_from_this());
    core::URLConnection::sendAsynchronousRequest(
        *request,
        [weakSelf, preview](core::Data body, std::optional<core::HTTPURLResponse> response,
                            std::optional<core::NetworkError> error) {
            const auto self = weakSelf.lock();
            if (!self) return;
            if (error || !response) {
                (preview ? self->inAppPreviewTokenFetchInProgress_
                         : self->debugSignalStatusFetchInProgress_) = false;
                self->showAlertViewWithTitle(kSystemErrorTitle);
                return;
            }
            if (preview)
                self->inAppPreviewSignalStatusReceivedResponse(*response, body);
            else
                self->debugSignalStatusReceivedResponse(*response, body);
        },
        core::RunLoop::main());
}

void DZDebugOptionsViewController::debugSignalStatusReceivedResponse(
    const core::HTTPURLResponse& response, const core::Data& data) {
    debugSignalStatusFetchInProgress_ = false;
    const int status = response.statusCode();
    bool linked = false;
    if (status >= 200 && status <= 299) {
        const auto json = dz_decodedJSONObjectError(
            std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), nullptr);
        if (json && json->isDictionary())
            linked = text(json->dictionary()->find("debug_mode")) == "1";
    }
    const auto application = DZApplication::sharedInstance();
    application->setDebugModeEnabled(linked);
    if (linked)
        showAlertViewWithTitle("The device is successfully linked for troubleshooting.");
    else
        startDeviceLinking();
}

void DZDebugOptionsViewController::inAppPreviewSignalStatusReceivedResponse(
    const core::HTTPURLResponse& response, const core::Data& data) {
    inAppPreviewTokenFetchInProgress_ = false;
    const int status = response.statusCode();
    const auto json =
        status >= 200 && status <= 299
            ? dz_decodedJSONObjectError(
                  std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
                  nullptr)
            : std::nullopt;
    if (!json || !json->isDictionary()) {
        showAlertViewWithTitle(kSystemErrorTitle);
        return;
    }
    const core::Dictionary& answer = *json->dictionary();
    const auto application = DZApplication::sharedInstance();
    if (const core::Value* token = answer.find("gct"); token && token->isString()) {
        application->setInAppPreviewCreativeToken(token->stringValue());
        showAlertViewWithTitle("The device is successfully linked for creative preview.");
        return;
    }
    const std::string state = text(answer.find("status"));
    if (state == "1") {
        application->setInAppPreviewCreativeToken(std::nullopt);
        startDeviceLinking();
    } else if (state == "2") {
        showAlertViewWithTitle("There was no creative pushed from ZOD to the device.");
    } else {
        showAlertViewWithTitle(kSystemErrorTitle);
    }
}

void DZDebugOptionsViewController::safariViewControllerDidFinish(
    store::SafariViewController& /*controller*/) {
    finishedDebugFlow();
}

void DZDebugOptionsViewController::closeButtonPressed() {
    finishedDebugFlow();
}

void DZDebugOptionsViewController::finishedDebugFlow() {
    if (finished_) return;
    finished_ = true;
    alert_.reset();
    alertPending_ = false;
    std::weak_ptr<DZDebugOptionsViewController> weakSelf =
        std::static_pointer_cast<DZDebugOptionsViewController>(shared_from_this());
    auto tell = [weakSelf] {
        const auto self = weakSelf.lock();
        if (!self) return;
        if (const auto delegate = self->delegate_.lock())
            delegate->debugOptionsViewControllerDidDismiss(*self);
    };
    if (presentingViewController())
        dismissViewController(true, tell);
    else
        tell();
}

}  // namespace ads
