#include "ads/presentation/click/DZOpener.h"

#include <algorithm>

#include "ads/core/app/DZApplication.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAutoClickProtection.h"
#include "ads/core/slot/DZMRAIDEventHandling.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/foundation/DZSafariSupport.h"
#include "ads/foundation/DZURLUtilities.h"
#include "ads/presentation/browser/DZBrowserViewController.h"
#include "ads/presentation/click/DZMRAIDResizeOverlayPresenter.h"
#include "ads/presentation/click/DZMailComposeDelegateProxy.h"
#include "ads/presentation/click/DZMessageComposeDelegateProxy.h"
#include "ads/presentation/click/DZSKStoreProductViewControllerDelegate.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "ads/presentation/fullscreen/DZExpandedAdAppViewController.h"
#include "ads/presentation/fullscreen/DZOverlayProxy.h"
#include "ads/presentation/fullscreen/DZSupplementalAdAppViewController.h"
#include "ads/presentation/fullscreen/DZViewController.h"
#include "ads/web/intercept/DZAdURLStash.h"
#include "ads/web/intercept/DZMRAIDResizeProperties.h"
#include "ads/web/view/DZAdView.h"
#include "core/CharacterSet.h"
#include "core/Console.h"
#include "core/OperationQueue.h"
#include "core/PercentEncoding.h"
#include "core/Queue.h"
#include "core/UserDefaults.h"
#include "store/StoreProductViewController.h"
#include "ui/AlertController.h"
#include "ui/View.h"
#include "ui/Window.h"

namespace ads {

namespace {

constexpr std::uint64_t kAllOrientations = 30;

std::string lowercased(std::string text) {
    std::ranges::transform(text, text.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return parts;
}

// What a person reads of text a page wrote: every character that would act
// on the text around it rather than show (a line break, a direction
// override, any other control) stays escaped, so a number shows as its
// digits in their order and a recipient as one line.
std::string readable(std::string_view text) {
    return core::percentEncode(text, core::CharacterSet::printable());
}

// A part of a URL as a person reads it: its escapes decoded where they
// stand for readable characters ("+1 555 0100" for "+1%20555%200100"), or
// the text as it is when they do not decode to UTF-8.
std::string readableURLPart(const std::string& text) {
    return readable(core::percentDecode(text).value_or(text));
}

std::vector<std::string> readable(std::vector<std::string> texts) {
    for (std::string& text : texts) text = readable(text);
    return texts;
}

// The text after the scheme's prefix ("mailto:", "sms:") split at "?" into
// the part before it, as written, and, when there is one, the query read
// with lower-cased keys.
struct ComposerAddress {
    std::string address;
    core::Dictionary query;
};

ComposerAddress composerAddress(const core::URL& url, size_t prefixLength) {
    const std::string& text = url.absoluteString();
    const std::string rest = text.size() > prefixLength ? text.substr(prefixLength) : "";
    const size_t mark = rest.find('?');
    if (mark == std::string::npos) return {rest, {}};
    return {rest.substr(0, mark), DZQueryDictionaryFromURL(url, true)};
}

std::optional<std::string> stringEntry(const core::Dictionary& dictionary, std::string_view key) {
    const core::Value* value = dictionary.find(key);
    if (!value || !value->isString()) return std::nullopt;
    return value->stringValue();
}

std::shared_ptr<DZMRAIDResizeOverlayPresenter> resizePresenterOf(const ui::ViewController* top) {
    const auto* controller = dynamic_cast<const DZViewController*>(top);
    if (!controller) return nullptr;
    return std::dynamic_pointer_cast<DZMRAIDResizeOverlayPresenter>(controller->presenter());
}

// Lets go of the composer's delegate proxy, when it has one.
void stopDelegateProxy(ui::ViewController* composer) {
    if (auto* mail = dynamic_cast<store::MailComposeViewController*>(composer)) {
        if (const auto proxy =
                std::dynamic_pointer_cast<DZMailComposeDelegateProxy>(mail->mailComposeDelegate()))
            proxy->stopProxying();
    } else if (auto* message = dynamic_cast<store::MessageComposeViewController*>(composer)) {
        if (const auto proxy = std::dynamic_pointer_cast<DZMessageComposeDelegateProxy>(
                message->messageComposeDelegate()))
            proxy->stopProxying();
    }
}

}  // namespace

DZOpener::DZOpener() = default;
DZOpener::~DZOpener() = default;

bool DZOpener::isUnsafeURL(const core::URL& url) {
    const std::string scheme = lowercased(url.scheme());
    return scheme == "file" || scheme == "javascript" || scheme == "data" || scheme == "about";
}

// Gates.

bool DZOpener::shouldPerformOpenAction() {
    if (!autoClickProtection_ || !autoClickProtection_->enabled()) return true;
    const auto adView = this->adView();
    if (adView && adView->touched()) return true;
    reportAutoClickAttempt();
    return false;
}

void DZOpener::reportAutoClickAttempt() {
    const auto adView = this->adView();
    if (navigationRequest_)
        DZAdURLStash::sharedInstance()->didAttemptAutoClickRequest(adView, *navigationRequest_);
    std::optional<std::string> navigationURL;
    if (navigationRequest_) navigationURL = navigationRequest_->url().absoluteString();
    autoClickProtection_->reportSpamOpenActionWithAdDebugDialogString(
        adView ? adView->adDebugDialogString() : std::nullopt, navigationURL);
}

template <typename Body>
void DZOpener::actingForPerson(Body&& body) {
    ++personsActionDepth_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{personsActionDepth_};
    body();
}

bool DZOpener::hasUserAction() const {
    if (personsActionDepth_ > 0 || navigationUserGesture_ == true) return true;
    const auto adView = this->adView();
    return adView && adView->touchedWithin(kUserActionWindow);
}

bool DZOpener::shouldLeaveApplication(const std::optional<core::URL>& target) {
    if (hasUserAction()) return true;
    if (autoClickProtection_ && autoClickProtection_->enabled()) {
        reportAutoClickAttempt();
        return false;
    }
    // Logged once per ad: a page that keeps trying does not flood the log.
    const auto adView = this->adView();
    std::shared_ptr<const void> key;
    if (adView) {
        if (auto ad = adView->ad())
            key = std::move(ad);
        else
            key = adView;
    }
    if (key) {
        const bool logged =
            !refusalLoggedFor_.owner_before(key) && !key.owner_before(refusalLoggedFor_);
        if (logged) return false;
        refusalLoggedFor_ = key;
    } else {
        if (refusalLoggedWithoutAdView_) return false;
        refusalLoggedWithoutAdView_ = true;
    }
    const std::string what = target ? target->absoluteString()
                             : navigationRequest_ ? navigationRequest_->url().absoluteString()
                                                  : std::string("another app");
    core::Console::log("<Dozuza> The ad tried to leave the app without a person's touch; " +
                       what + " was not opened. Further attempts of this ad are not logged.");
    return false;
}

bool DZOpener::shouldPerformOpenActionWithOrientations(std::uint64_t mask) {
    if (!DZApplication::sharedInstance()->supportsOrientations(mask)) return false;
    return shouldPerformOpenAction();
}

bool DZOpener::shouldOpenURL(const std::optional<core::URL>& url) {
    if (!url || !shouldLeaveApplication(url)) return false;
    const auto message = confirmationMessageForURL(*url);
    if (message && !allowedAppURLs_.contains(url->absoluteString())) {
        confirmClickToURL(*url, *message);
        return false;
    }
    return true;
}

std::optional<std::string> DZOpener::confirmationMessageForURL(const core::URL& url) const {
    const auto stored = core::UserDefaults::standard()->dictionaryForKey(kConfirmationSchemesKey);
    const core::Dictionary schemes =
        stored ? *stored : core::Dictionary{{"tel", "Call"}, {"facetime", "FaceTime"}};
    // "TEL:" dials as "tel:" does, so it asks as well.
    const std::string scheme = lowercased(url.scheme());
    for (const auto& [name, title] : schemes)
        if (lowercased(name) == scheme && title.isString()) return title.stringValue();
    return std::nullopt;
}

// Bookkeeping.

void DZOpener::didClickURL(const std::optional<core::URL>& url) {
    const auto slot = this->slot();
    if (slot) slot->adWasClicked();
    const auto adView = this->adView();
    if (url && adView) DZAdURLStash::sharedInstance()->didClickThroughToURL(adView, *url);
    if (slot) slot->pingClickURLs();
}

void DZOpener::willLeaveApplication() {
    const auto slot = this->slot();
    if (slot) slot->adWillLeaveApplication();
    didOpenAnotherApplication_ = true;
    if (slot) slot->willLeaveAppDueToClick();
}

std::shared_ptr<ui::ViewController> DZOpener::topViewController() const {
    std::shared_ptr<ui::ViewController> top;
    const auto own = viewController();
    if (own && own->isViewLoaded() && own->view()->window()) {
        top = own;
    } else if (const auto window = DZApplication::sharedInstance()->mainWindow()) {
        top = window->rootViewController();
    }
    while (top && top->presentedViewController()) top = top->presentedViewController();
    return top;
}

void DZOpener::disableAutoCollapseForResize() {
    const auto top = topViewController();
    if (const auto presenter = resizePresenterOf(top.get()))
        presenter->setDismissToDefaultState(false);
}

void DZOpener::configureOverlay(DZViewController& overlay, std::uint64_t orientations,
                                bool usingCustomClose) const {
    overlay.setSupportedOrientations(orientations);
    overlay.setSlot(slot_.lock());
    if (auto* adApp = dynamic_cast<DZAdAppViewController*>(&overlay))
        adApp->setUseCustomClose(usingCustomClose);
}

std::shared_ptr<DZAdAppViewController>
DZOpener::overlayWithOrientations(std::uint64_t orientations, bool usingCustomClose) const {
    // The supplemental (two-part) ad controller.
    auto overlay = std::make_shared<DZSupplementalAdAppViewController>();
    configureOverlay(*overlay, orientations, usingCustomClose);
    return overlay;
}

std::shared_ptr<DZAdAppViewController>
DZOpener::expandedControllerForAdView(const std::shared_ptr<DZAdView>& adView) const {
    // Made with the ad view it shows; nullptr without one.
    return DZExpandedAdAppViewController::create(adView);
}

// Leaving the app.

void DZOpener::openApp(const core::URL& url) {
    if (isUnsafeURL(url)) {
        core::Console::log("<Dozuza> Refused to open " + url.absoluteString());
        return;
    }
    if (!shouldOpenURL(url)) return;
    willLeaveApplication();
    didClickURL(url);
    core::OperationQueue::main()->addOperation(
        [url] { DZApplication::sharedInstance()->openURL(url); });
}

void DZOpener::openAppForPersonsAction(const core::URL& url) {
    actingForPerson([&] { openApp(url); });
}

void DZOpener::openAppLink(const core::URL& url, const std::string& eventID) {
    const std::string scheme = lowercased(url.scheme());
    bool mayOpen = !isUnsafeURL(url) && shouldOpenURL(url);
    if (mayOpen && !DZDevice::sharedInstance()->isOSAtLeastMajor(10, 0, 0))
        mayOpen = scheme != "http" && scheme != "https";
    if (!mayOpen) {
        postDeepLinkAnswer(url, eventID, false);
        return;
    }
    willLeaveApplication();
    std::weak_ptr<DZOpener> weakSelf = weak_from_this();
    core::OperationQueue::main()->addOperation([weakSelf, url, eventID] {
        DZApplication::sharedInstance()->openURL(url, true, [weakSelf, url, eventID](bool opened) {
            const auto self = weakSelf.lock();
            if (!self) return;
            if (opened) self->didClickURL(url);
            self->postDeepLinkAnswer(url, eventID, opened);
        });
    });
}

void DZOpener::postDeepLinkAnswer(const core::URL& url, const std::string& eventID,
                                  bool opened) const {
    const auto adView = this->adView();
    if (!adView) return;
    adView->postJSNotification("openDeepLink", core::Value(core::Dictionary{
                                                   {url.absoluteString(), opened},
                                                   {"event_id", eventID},
                                               }));
}

// Store pages.

void DZOpener::fetchInAppStoreForProductID(const std::optional<std::string>& productID) {
    if (!productID || cachedStoreProductViewController_.contains(*productID)) return;
    auto page = store::StoreProductViewController::create();
    if (!page) return;
    const core::Dictionary parameters{
        {store::StoreProductViewController::kParameterITunesItemIdentifier,
         core::Value(std::int64_t{std::atoll(productID->c_str())})}};
    std::weak_ptr<DZOpener> weakSelf = weak_from_this();
    std::weak_ptr<store::StoreProductViewController> weakPage = page;
    page->loadProduct(parameters, [weakSelf, weakPage, id = *productID](bool loaded, const auto&) {
        const auto self = weakSelf.lock();
        const auto page = weakPage.lock();
        if (loaded && self && page) self->cachedStoreProductViewController_[id] = page;
    });
}

void DZOpener::openInAppStoreWithProductID(const std::optional<std::string>& productID,
                                           const std::optional<core::URL>& fallbackURL,
                                           bool shouldWaitForFetch) {
    const std::string id = productID.value_or("");
    const auto clickURL = core::URL::create("iTunesApp:" + id);
    if (!shouldLeaveApplication(clickURL)) return;
    std::weak_ptr<DZOpener> weakSelf = weak_from_this();
    auto presented = [weakSelf, clickURL] {
        if (const auto self = weakSelf.lock()) self->didClickURL(clickURL);
    };
    const auto delegate = DZSKStoreProductViewControllerDelegate::sharedInstance();

    if (const auto cached = cachedStoreProductViewController_.find(id);
        productID && cached != cachedStoreProductViewController_.end()) {
        auto page = cached->second;
        cachedStoreProductViewController_.erase(cached);
        const auto proxy = DZOverlayProxy::create(page);
        proxy->setSlot(slot_.lock());
        page->setDelegate(delegate);
        proxy->presentFromViewController(topViewController(), presented);
        return;
    }

    auto page = store::StoreProductViewController::create();
    if (!page) return;
    const auto proxy = DZOverlayProxy::create(page);
    proxy->setSlot(slot_.lock());
    page->setDelegate(delegate);
    const core::Dictionary parameters{
        {store::StoreProductViewController::kParameterITunesItemIdentifier,
         core::Value(std::int64_t{std::atoll(id.c_str())})}};
    if (!shouldWaitForFetch) proxy->presentFromViewController(topViewController(), presented);
    // The load keeps the opener alive until it ends.
    auto self = shared_from_this();
    std::weak_ptr<store::StoreProductViewController> weakPage = page;
    page->loadProduct(parameters, [self, proxy, weakPage, fallbackURL, shouldWaitForFetch,
                                   presented](bool loaded, const auto&) {
        const auto page = weakPage.lock();
        if (loaded) {
            if (shouldWaitForFetch)
                proxy->presentFromViewController(self->topViewController(), presented);
            return;
        }
        const auto presenting = page ? page->presentingViewController() : nullptr;
        const bool onScreen = presenting && presenting->presentedViewController() == page;
        if (onScreen)
            DZSKStoreProductViewControllerDelegate::sharedInstance()
                ->productViewControllerDidFinish(*page);
        // A page that never showed (the opener waited for it) leaves the
        // click to the fallback too, as one on screen does.
        // The person's tap that asked for the page stands for its fallback.
        if ((onScreen || shouldWaitForFetch) && fallbackURL)
            self->actingForPerson([&] { self->openApp(*fallbackURL); });
    });
}

// Browsers.

void DZOpener::openBrowserToURL(const core::URL& url, std::uint64_t supportedOrientations) {
    const core::Value flag = core::UserDefaults::standard()->objectForKey(kCustomBrowserKey);
    const bool useSafari =
        (flag.isBool() || flag.isNumber() || flag.isString()) && flag.boolValue();
    if (useSafari && DZSafariViewControllerClass())
        openSafariViewControllerToURL(url, supportedOrientations);
    else
        openWebViewBrowserToURL(url, supportedOrientations);
}

void DZOpener::openWebViewBrowserToURL(const core::URL& url, std::uint64_t supportedOrientations) {
    if (!shouldPerformOpenActionWithOrientations(supportedOrientations)) return;
    if (isUnsafeURL(url)) return;
    const auto top = topViewController();
    if (!top) {
        openApp(url);
        return;
    }
    auto browser = std::make_shared<DZBrowserViewController>();
    browser->setSupportedOrientations(supportedOrientations);
    browser->setSlot(slot_.lock());
    browser->load(url, referringURL_);
    top->presentViewController(browser, true);
    didClickURL(url);
}

void DZOpener::openSafariViewControllerToURL(const core::URL& url,
                                             std::uint64_t supportedOrientations) {
    if (!shouldPerformOpenActionWithOrientations(supportedOrientations)) return;
    if (isUnsafeURL(url)) return;
    const auto safariClass = DZSafariViewControllerClass();
    const auto top = topViewController();
    auto safari = safariClass && DZSafariViewControllerSupportsURL(url) && top
                      ? safariClass->create(url)
                      : nullptr;
    if (!safari) {
        openApp(url);
        return;
    }
    const auto proxy = DZOverlayProxy::create(safari);
    proxy->setSlot(slot_.lock());
    proxy->setOpener(shared_from_this());
    proxy->presentFromViewController(top, {});
    didClickURL(url);
}

// Web apps, expansion and resizing.

void DZOpener::presentWebApp(const std::shared_ptr<DZAdAppViewController>& overlay,
                             const std::optional<core::URL>& clickURL) {
    // Through its presenter, so that closing it takes it off the screen.
    if (const auto top = topViewController()) overlay->presentFromViewController(top, {});
    didClickURL(clickURL);
}

void DZOpener::openWebApp(const core::URL& url, std::uint64_t supportedOrientations,
                          bool usingCustomClose) {
    if (!shouldPerformOpenActionWithOrientations(supportedOrientations)) {
        reportMRAIDError("Expanding an ad is not allowed until the user interacts with the ad.",
                         "expand");
        return;
    }
    if (isUnsafeURL(url)) return;
    disableAutoCollapseForResize();
    auto overlay = overlayWithOrientations(supportedOrientations, usingCustomClose);
    overlay->load(url);
    presentWebApp(overlay, url);
}

void DZOpener::openWebAppWithHTML(const std::string& html, const std::optional<core::URL>& baseURL,
                                  std::uint64_t supportedOrientations, bool usingCustomClose) {
    if (!shouldPerformOpenActionWithOrientations(supportedOrientations)) {
        reportMRAIDError("Expanding an ad is not allowed until the user interacts with the ad.",
                         "expand");
        return;
    }
    if (!DZIsAllowedHTMLBaseURL(baseURL)) {
        core::Console::log("<Dozuza> Refused a web app with the base URL " +
                           baseURL->absoluteString());
        return;
    }
    disableAutoCollapseForResize();
    auto overlay = overlayWithOrientations(supportedOrientations, usingCustomClose);
    overlay->loadHTML(html, baseURL);
    presentWebApp(overlay, core::URL::create("data:text/html," + html));
}

void DZOpener::expandToWebAppWithSupportedOrientations(std::uint64_t supportedOrientations,
                                                       bool usingCustomClose) {
    if (!shouldPerformOpenActionWithOrientations(supportedOrientations)) {
        reportMRAIDError("Expanding an ad is not allowed until the user interacts with the ad.",
                         "expand");
        return;
    }
    const auto adView = this->adView();
    if (!adView) return;
    const auto top = topViewController();
    if (dynamic_cast<DZViewController*>(top.get())) {
        const auto presenter = resizePresenterOf(top.get());
        if (!presenter) return;
        presenter->setDismissToDefaultState(false);
    }
    auto expanded = expandedControllerForAdView(adView);
    configureOverlay(*expanded, supportedOrientations, usingCustomClose);
    std::weak_ptr<DZAdView> weakAdView = adView;
    expanded->setDismissalCompletion([weakAdView] {
        const auto adView = weakAdView.lock();
        if (!adView) return;
        adView->dispatchSDKEvent("collapsed", std::nullopt);
        adView->dispatchSDKEvent("onStateChanged", core::Dictionary{{"state", "default"}});
    });
    if (const auto presenting = topViewController())
        expanded->presentFromViewController(presenting, [weakAdView] {
            if (const auto adView = weakAdView.lock())
                adView->dispatchSDKEvent("onStateChanged", core::Dictionary{{"state", "expanded"}});
        });
    adView->dispatchSDKEvent("expanding", std::nullopt);
    didClickURL(std::nullopt);
}

namespace {

void reportResized(DZAdView& adView, const DZMRAIDResizeProperties& properties) {
    adView.dispatchSDKEvent("onStateChanged", core::Dictionary{{"state", "resized"}});
    adView.dispatchSDKEvent(
        "onSizeChanged",
        core::Dictionary{{"width", properties.size().width}, {"height", properties.size().height}});
}

}  // namespace

void DZOpener::openWebAppWithResizeProperties(
    const std::shared_ptr<DZMRAIDResizeProperties>& properties) {
    if (!shouldPerformOpenAction()) {
        reportMRAIDError("Resizing an ad is not allowed until the user interacts with the ad.",
                         "resize");
        return;
    }
    const auto adView = this->adView();
    if (!adView || !properties) return;
    const auto top = topViewController();
    if (const auto presenter = resizePresenterOf(top.get())) {
        presenter->setResizeProperties(properties);
        presenter->repositionContentIfNeeded();
        if (auto* adApp = dynamic_cast<DZAdAppViewController*>(top.get()))
            adApp->setCustomClosePosition(properties->customClosePosition());
        reportResized(*adView, *properties);
        return;
    }
    if (dynamic_cast<DZViewController*>(top.get())) return;

    auto resized = expandedControllerForAdView(adView);
    configureOverlay(*resized, kAllOrientations, true);
    auto presenter = std::make_shared<DZMRAIDResizeOverlayPresenter>(adView->superview());
    presenter->setResizeProperties(properties);
    if (const auto slot = this->slot())
        if (const auto ad = slot->ad()) presenter->setMRAIDEventHandler(ad->MRAIDEventHandler());
    resized->setPresenter(presenter);
    presenter->setPresentedViewController(resized);
    resized->setCustomClosePosition(properties->customClosePosition());
    std::weak_ptr<DZAdView> weakAdView = adView;
    std::weak_ptr<DZMRAIDResizeOverlayPresenter> weakPresenter = presenter;
    resized->setDismissalCompletion([weakAdView, weakPresenter] {
        const auto adView = weakAdView.lock();
        const auto presenter = weakPresenter.lock();
        if (adView && presenter && presenter->dismissToDefaultState())
            adView->dispatchSDKEvent("onStateChanged", core::Dictionary{{"state", "default"}});
    });
    // The resize presenter places the ad at the requested rectangle and
    // refuses properties that have no valid place.
    if (top)
        resized->presentFromViewController(top, [weakAdView, properties] {
            if (const auto adView = weakAdView.lock()) reportResized(*adView, *properties);
        });
    didClickURL(std::nullopt);
}

// Refusals.

void DZOpener::openPromptToStorePictureAtURL(const std::optional<core::URL>& /*url*/) {
    reportMRAIDError("Saving pictures is not permitted in this application.", "storePicture");
}

void DZOpener::openCalendarWithDictionary(const core::Dictionary& /*parameters*/) {
    reportMRAIDError("Creating calendar events is not supported.", "createCalendarEvent");
}

void DZOpener::reportMRAIDError(const std::string& message, const std::string& action) const {
    std::shared_ptr<DZAd> ad;
    if (const auto slot = this->slot()) ad = slot->ad();
    if (!ad) {
        if (const auto adView = this->adView()) ad = adView->ad();
    }
    const auto handler = ad ? ad->MRAIDEventHandler().lock() : nullptr;
    if (handler) handler->handleError(message, action);
}

// Composers.

void DZOpener::openEmailComposer(const core::URL& url) {
    if (!shouldLeaveApplication(url)) return;
    if (!store::MailComposeViewController::canSendMail()) return;
    auto composer = store::MailComposeViewController::create();
    if (!composer) return;
    DZOverlayProxy::create(composer)->setSlot(slot_.lock());
    auto delegateProxy = DZMailComposeDelegateProxy::associatedDelegateProxyForController(composer);
    delegateProxy->setMailComposeDelegate(weak_from_this());

    const ComposerAddress parts = composerAddress(url, 7);
    composer->setToRecipients({readableURLPart(parts.address)});
    if (const auto cc = stringEntry(parts.query, "cc"))
        composer->setCcRecipients(readable(split(*cc, ',')));
    if (const auto bcc = stringEntry(parts.query, "bcc"))
        composer->setBccRecipients(readable(split(*bcc, ',')));
    if (const auto subject = stringEntry(parts.query, "subject")) composer->setSubject(*subject);
    if (const auto body = stringEntry(parts.query, "body")) composer->setMessageBody(*body, false);
    composer->setModalTransitionStyle(ui::ModalTransitionStyle::CoverVertical);
    presentComposerController(composer, url);
}

void DZOpener::openSmsComposer(const core::URL& url) {
    if (!shouldLeaveApplication(url)) return;
    if (!store::MessageComposeViewController::canSendText()) return;
    auto composer = store::MessageComposeViewController::create();
    if (!composer) return;
    DZOverlayProxy::create(composer)->setSlot(slot_.lock());
    auto delegateProxy =
        DZMessageComposeDelegateProxy::associatedDelegateProxyForController(composer);
    delegateProxy->setMessageComposeDelegate(weak_from_this());

    const ComposerAddress parts = composerAddress(url, 4);
    // Numbers are told apart by the commas the page wrote, not by escaped ones.
    std::vector<std::string> recipients = split(parts.address, ',');
    for (std::string& recipient : recipients) recipient = readableURLPart(recipient);
    composer->setRecipients(std::move(recipients));
    if (const auto body = stringEntry(parts.query, "body")) composer->setBody(*body);
    if (const auto subject = stringEntry(parts.query, "subject");
        subject && store::MessageComposeViewController::canSendSubject())
        composer->setSubject(*subject);
    presentComposerController(composer, url);
}

void DZOpener::presentComposerController(const std::shared_ptr<ui::ViewController>& composer,
                                         const core::URL& url) {
    presentComposerController(composer, url, 0);
}

void DZOpener::presentComposerController(const std::shared_ptr<ui::ViewController>& composer,
                                         const core::URL& url, int attempt) {
    // Retries follow an action whose gate passed when it began.
    if (!composer || (attempt == 0 && !shouldLeaveApplication(url))) return;
    const auto top = topViewController();
    auto* fullScreen = dynamic_cast<DZViewController*>(top.get());
    if (fullScreen && fullScreen->isViewLoaded() &&
        !fullScreen->view()->isUserInteractionEnabled()) {
        if (attempt >= kMaximumComposerRetries) {
            core::Console::log("<Dozuza> Gave up presenting a composer for " +
                               url.absoluteString() + ": the ad on screen stayed busy.");
            stopDelegateProxy(composer.get());
            return;
        }
        std::weak_ptr<DZOpener> weakSelf = weak_from_this();
        core::Queue::main()->after(kComposerRetryInterval, [weakSelf, composer, url, attempt] {
            if (const auto self = weakSelf.lock())
                self->presentComposerController(composer, url, attempt + 1);
        });
        return;
    }
    auto proxy = DZOverlayProxy::overlayProxyForViewController(composer);
    if (!proxy) {
        proxy = DZOverlayProxy::create(composer);
        proxy->setSlot(slot_.lock());
    }
    proxy->setOpener(shared_from_this());
    proxy->presentFromViewController(top, {});
    didClickURL(url);
}

void DZOpener::finishComposer(const std::shared_ptr<ui::ViewController>& composer) {
    core::Queue::main()->async([composer] {
        auto stop = [composer] { stopDelegateProxy(composer.get()); };
        if (const auto proxy = DZOverlayProxy::overlayProxyForViewController(composer)) {
            proxy->relinquishScreenWithCompletion(stop);
        } else if (const auto presenting = composer->presentingViewController()) {
            presenting->dismissViewController(true, stop);
        } else {
            stop();
        }
    });
}

void DZOpener::mailComposeController(store::MailComposeViewController& controller,
                                     store::MailComposeResult /*result*/,
                                     const std::optional<store::StoreError>& /*error*/) {
    finishComposer(std::static_pointer_cast<ui::ViewController>(controller.shared_from_this()));
}

void DZOpener::messageComposeViewController(store::MessageComposeViewController& controller,
                                            store::MessageComposeResult /*result*/) {
    finishComposer(std::static_pointer_cast<ui::ViewController>(controller.shared_from_this()));
}

// Confirmation.

void DZOpener::confirmClickToURL(const core::URL& url, const std::string& message) {
    const std::string& text = url.absoluteString();
    const size_t colon = text.find(':');
    const std::string shown =
        readableURLPart(colon == std::string::npos ? text : text.substr(colon + 1));
    auto alert = ui::AlertController::create("", shown, ui::AlertControllerStyle::Alert);
    std::weak_ptr<DZOpener> weakSelf = weak_from_this();
    const ui::AlertController* key = alert.get();
    alert->addAction({"Cancel", ui::AlertActionStyle::Cancel, [weakSelf, key](const auto&) {
                          if (const auto self = weakSelf.lock())
                              if (const auto entry = self->confirmationAlertURLs_.find(key);
                                  entry != self->confirmationAlertURLs_.end())
                                  if (const auto alert = entry->second.alert.lock())
                                      self->alertViewClickedButtonAtIndex(*alert, 0);
                      }});
    alert->addAction({message, ui::AlertActionStyle::Default, [weakSelf, key](const auto&) {
                          if (const auto self = weakSelf.lock())
                              if (const auto entry = self->confirmationAlertURLs_.find(key);
                                  entry != self->confirmationAlertURLs_.end())
                                  if (const auto alert = entry->second.alert.lock())
                                      self->alertViewClickedButtonAtIndex(*alert, 1);
                      }});
    confirmationAlertURLs_.insert_or_assign(key, Confirmation{alert, url});
    DZOverlayProxy::create(alert)->presentFromViewController(topViewController(), {});
}

void DZOpener::alertViewClickedButtonAtIndex(const ui::AlertController& alert, size_t index) {
    const auto entry = confirmationAlertURLs_.find(&alert);
    if (entry == confirmationAlertURLs_.end()) return;
    const core::URL url = entry->second.url;
    confirmationAlertURLs_.erase(entry);
    if (index != 1) return;
    allowedAppURLs_.insert(url.absoluteString());
    // The press on the confirmation is the person's action.
    actingForPerson([&] { openApp(url); });
}

std::vector<std::shared_ptr<ui::AlertController>> DZOpener::confirmationAlerts() const {
    std::vector<std::shared_ptr<ui::AlertController>> alerts;
    for (const auto& [key, confirmation] : confirmationAlertURLs_)
        if (auto alert = confirmation.alert.lock()) alerts.push_back(std::move(alert));
    return alerts;
}

}  // namespace ads
