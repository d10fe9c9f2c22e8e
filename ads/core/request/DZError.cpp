#include "ads/core/request/DZError.h"

#include <array>

#include "core/HTTPStatusText.h"
#include "core/StringFormat.h"
#include "ui/DeviceProfile.h"

namespace ads {

namespace {

// Indexed by code; index 0 also serves every code outside 1...13, and
// index 4 is formatted at first use.
constexpr std::array<const char*, 14> kDefaultMessages{
    "Request Error: Invalid ad request parameter(s). Check the Xcode console for details.",
    "Request Error: No ad to show.",
    "Request Error: A network error occurred.",
    "Request Error: Server error processing the request.",
    "Request Error: This device's OS is %@. It is below the minimum of %ld.%ld.",
    "Request Error: The Dozuza Ad request was unable to be fulfilled before a timeout occurred.",
    "Request Error: Will not send request because interstitial object has been used.",
    "Request Error: The mediation response was invalid.",
    "Request Error: Cannot find an ad network adapter for mediation.",
    "Request Error: No ad to show from all configured ad networks.",
    "Request Error: Incompatible ad type requested.",
    "Request Error: Internal error.",
    "Request Error: Invalid argument.",
    "Request Error: Received invalid response.",
};

// The system version cannot change while the process lives.
const std::string& operatingSystemTooOldMessage() {
    static const std::string message =
        core::format(kDefaultMessages[kDZErrorOSVersionTooLow],
                     ui::DeviceProfile::current().systemVersion, 6L, 0L);
    return message;
}

}  // namespace

std::string DZErrorDefaultMessage(long code) {
    if (code == kDZErrorOSVersionTooLow) return operatingSystemTooOldMessage();
    if (code < 1 || code > kDZErrorReceivedInvalidResponse) return kDefaultMessages[0];
    return kDefaultMessages[static_cast<size_t>(code)];
}

Error DZErrorWithCodeStatusDescriptionUnderlying(long code, long httpStatus,
                                                 std::optional<std::string> description,
                                                 std::optional<Error> underlying) {
    Error error;
    error.domain = std::string(kDZErrorDomain);
    error.code = code;
    error.message = description ? std::move(*description) : DZErrorDefaultMessage(code);
    error.failureReason = error.message;
    if (underlying) error.underlying = std::make_shared<const Error>(std::move(*underlying));
    if (httpStatus > 0) {
        error.httpStatus = static_cast<int>(httpStatus);
        error.httpStatusDescription = core::format("HTTP status %ld: %@", httpStatus,
                                                   core::localizedStringForHTTPStatus(httpStatus));
    }
    return error;
}

Error DZErrorWithCodeStatusDescription(long code, long httpStatus,
                                       std::optional<std::string> description) {
    return DZErrorWithCodeStatusDescriptionUnderlying(code, httpStatus, std::move(description),
                                                      std::nullopt);
}

Error DZErrorWithCodeDescription(long code, std::optional<std::string> description) {
    return DZErrorWithCodeStatusDescription(code, 0, std::move(description));
}

Error DZErrorWithCodeUnderlyingError(long code, std::optional<Error> underlying) {
    std::optional<std::string> description;
    if (underlying) description = underlying->message;
    return DZErrorWithCodeStatusDescriptionUnderlying(code, 0, std::move(description),
                                                      std::move(underlying));
}

Error DZErrorWithCode(long code) {
    return DZErrorWithCodeDescription(code, std::nullopt);
}

Error DZErrorWithDomainCodeDescription(std::string domain, long code,
                                       std::optional<std::string> description) {
    Error error;
    error.domain = std::move(domain);
    error.code = code;
    if (description) {
        error.message = *description;
        error.failureReason = std::move(description);
    }
    return error;
}

DZRequestError DZRequestErrorFromError(const Error& error) {
    return DZRequestError{error};
}

}  // namespace ads
