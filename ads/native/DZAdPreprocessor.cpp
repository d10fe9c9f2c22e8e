#include "ads/native/DZAdPreprocessor.h"

#include "ads/core/request/DZExtras.h"
#include "ads/core/request/DZRequest.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/native/DZNativeAd.h"
#include "ads/web/view/DZAdView.h"
#include "core/JSON.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"

namespace ads {

namespace {

std::string escapingLineSeparators(std::string text) {
    static constexpr std::string_view kSeparators[] = {"\xE2\x80\xA8", "\xE2\x80\xA9"};
    static constexpr std::string_view kEscapes[] = {"\\u2028", "\\u2029"};
    for (size_t i = 0; i < 2; ++i) {
        for (size_t at = text.find(kSeparators[i]); at != std::string::npos;
             at = text.find(kSeparators[i], at + kEscapes[i].size()))
            text.replace(at, kSeparators[i].size(), kEscapes[i]);
    }
    return text;
}

}  // namespace

std::shared_ptr<DZAdPreprocessor> DZAdPreprocessor::create(
    const std::optional<std::string>& adUnitID) {
    auto preprocessor = std::make_shared<DZAdPreprocessor>(Token{});
    preprocessor->slot_ = DZSlot::create();
    if (!preprocessor->slot_) return nullptr;
    preprocessor->slot_->setAdLoadDelegate(preprocessor);
    preprocessor->slot_->setAdUnitID(adUnitID);
    const void* page = preprocessor->slot_->adView().get();
    const std::weak_ptr<DZAdPreprocessor> weak = preprocessor;
    auto& center = core::NotificationCenter::defaultCenter();
    center.addObserver(weak, kJavaScriptLoadedMessage, page, [weak](const core::Notification& n) {
        if (const auto self = weak.lock()) self->handleJavaScriptLoadedNotification(n);
    });
    center.addObserver(weak, kPreprocessMessage, page, [weak](const core::Notification& n) {
        if (const auto self = weak.lock()) self->handlePreprocessorNotification(n);
    });
    return preprocessor;
}

DZAdPreprocessor::~DZAdPreprocessor() {
    core::NotificationCenter::defaultCenter().removeObserver(this);
}

std::string DZAdPreprocessor::environmentJSONString() {
    const core::Dictionary environment{{"sdk_version", "7.22.0"}};
    return core::JSON::write(core::Value(environment)).value_or("{}");
}

void DZAdPreprocessor::preprocessNativeAdJSON(const std::string& json, Completion completion) {
    core::JSONError parseError;
    const auto parsed = core::JSON::parse(json, {}, &parseError);
    const auto written = parsed ? core::JSON::write(*parsed) : std::nullopt;
    if (!written) {
        const Error error = DZErrorWithDomainCodeDescription(
            "NSCocoaErrorDomain", 3840,
            "The data couldn't be read because it isn't in the correct format. (" +
                parseError.message + ")");
        core::Queue::main()->async([completion = std::move(completion), error] {
            if (completion) completion(std::nullopt, nullptr, error);
        });
        return;
    }
    nativeAdJSON_ = escapingLineSeparators(*written);
    completionHandler_ = std::move(completion);
    scheduleTimeout(kOverallTimeout);
    const auto request = std::make_shared<DZRequest>();
    request->registerAdNetworkExtras(std::make_shared<DZExtras>(
        core::Dictionary{{"_requestUrl", DZNativeAd::supportHTMLURL().absoluteString()}}));
    slot_->loadRequest(request);
}

void DZAdPreprocessor::handleJavaScriptLoadedNotification(const core::Notification&) {
    if (!nativeAdJSON_ || !slot_->adView()) return;
    slot_->adView()->executeJavaScriptAsynchronouslyFromString(
        "dozuza.duzo.nativeAds.preProcessJsonDmsg(" + *nativeAdJSON_ + ", " +
        environmentJSONString() + ")");
}

void DZAdPreprocessor::handlePreprocessorNotification(const core::Notification& notification) {
    const std::string* success = notification.userInfo["success"].string();
    std::optional<core::Value> answer;
    // A bare number, text or literal is no answer: only an object or an
    // array is.
    if (success) answer = core::JSON::parse(*success);
    if (answer) {
        callAndClearCompletionHandlerWithAdConfiguration(answer, slot_, std::nullopt);
    } else {
        callAndClearCompletionHandlerWithAdConfiguration(std::nullopt, nullptr,
                                                         DZErrorWithCode(kDZErrorReceivedInvalidResponse));
    }
}

void DZAdPreprocessor::scheduleTimeout(double seconds) {
    core::Queue::main()->after(seconds, [weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self) return;
        self->callAndClearCompletionHandlerWithAdConfiguration(
            std::nullopt, nullptr,
            DZErrorWithCodeDescription(
                kDZErrorInternalError,
                std::string("Timed out waiting for ") + kJavaScriptLoadedMessage + " or " +
                    kPreprocessMessage + " DMSGs."));
    });
}

void DZAdPreprocessor::slotFinishedLoadingAdContent(DZSlot&) { scheduleTimeout(kPageTimeout); }

void DZAdPreprocessor::didFailToLoadAdContentWithError(DZSlot&, const Error& error) {
    callAndClearCompletionHandlerWithAdConfiguration(std::nullopt, nullptr, error);
}

void DZAdPreprocessor::callAndClearCompletionHandlerWithAdConfiguration(
    const std::optional<core::Value>& configuration, const std::shared_ptr<DZSlot>& slot,
    const std::optional<Error>& error) {
    core::Queue::main()->async([self = shared_from_this(), configuration, slot, error] {
        Completion completion = std::move(self->completionHandler_);
        self->completionHandler_ = nullptr;
        if (!completion) return;
        if (slot) slot->setAdLoadDelegate({});
        completion(configuration, slot, error);
    });
}

}  // namespace ads
