#pragma once
// The SDK's one error form: a value in the domain "com.dozuza.ads" with a
// small integer code and a message, optionally the error behind it and the
// HTTP status that came with it. SDK code reports failures as an Error in an
// out-parameter or a completion, never by throwing, and makes SDK errors
// only through the builders below. Errors of other origins (the file
// system, the JSON reader) travel in the same form with a domain of their
// own.
//
// The builders are pure apart from reading the device's system version for
// code 4 (formatted once per process); any thread.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ads {

inline constexpr std::string_view kDZErrorDomain = "com.dozuza.ads";

// The SDK's error codes. Any other value is kept as given.
enum DZErrorCode : long {
    kDZErrorInvalidRequest = 0,
    kDZErrorNoFill = 1,
    kDZErrorNetworkError = 2,
    kDZErrorServerError = 3,
    kDZErrorOSVersionTooLow = 4,
    kDZErrorTimeout = 5,
    kDZErrorInterstitialAlreadyUsed = 6,
    kDZErrorMediationDataError = 7,
    kDZErrorMediationAdapterError = 8,
    kDZErrorMediationNoFill = 9,
    kDZErrorMediationInvalidAdType = 10,
    kDZErrorInternalError = 11,
    kDZErrorInvalidArgument = 12,
    kDZErrorReceivedInvalidResponse = 13,
};

struct Error {
    std::string domain;
    long code = 0;
    // The localized description; empty when the error has none.
    std::string message;
    // The failure reason: the same text as message for the errors the
    // builders make with a message; nullopt when the error carries none.
    std::optional<std::string> failureReason;
    std::shared_ptr<const Error> underlying;
    // Set, with its "HttpStatus" text, only for a status above 0.
    std::optional<int> httpStatus;
    // "HTTP status 404: not found".
    std::optional<std::string> httpStatusDescription;
    // The URL a URL-loading failure is about, as text, when known.
    std::optional<std::string> failingURLString;
};

// What publisher-facing delegate callbacks receive: an SDK error of its own
// kind, with nothing added.
struct DZRequestError : Error {};

// The default message of a code; code 4 names the device's system version.
[[nodiscard]] std::string DZErrorDefaultMessage(long code);

// The builder the others reduce to: the description when given (an empty
// one counts), else the code's default message; the underlying error when
// given; "HttpStatus" when the status is above 0.
[[nodiscard]] Error
DZErrorWithCodeStatusDescriptionUnderlying(long code, long httpStatus,
                                           std::optional<std::string> description,
                                           std::optional<Error> underlying);
[[nodiscard]] Error DZErrorWithCodeStatusDescription(long code, long httpStatus,
                                                     std::optional<std::string> description);
[[nodiscard]] Error DZErrorWithCodeDescription(long code, std::optional<std::string> description);
// The underlying error's message as description; without an underlying
// error, the code's default message.
[[nodiscard]] Error DZErrorWithCodeUnderlyingError(long code, std::optional<Error> underlying);
[[nodiscard]] Error DZErrorWithCode(long code);
// A plain error of another domain: no default messages; without a
// description it carries no message and no failure reason.
[[nodiscard]] Error DZErrorWithDomainCodeDescription(std::string domain, long code,
                                                     std::optional<std::string> description);
// The same domain, code and contents, as the publisher-facing kind.
[[nodiscard]] DZRequestError DZRequestErrorFromError(const Error& error);

}  // namespace ads
