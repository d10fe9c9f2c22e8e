#pragma once
// The SDK's one error form: a value in the domain "com.dozuza.ads" with a
// small integer code and a message, optionally the error behind it and the
// HTTP status that came with it. SDK code reports failures as an Error in an
// out-parameter or a completion, never by throwing. Errors of other origins
// (the file system, the JSON reader) travel in the same form with a domain
// of their own.

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
    std::string message;
    std::shared_ptr<const Error> underlying;
    std::optional<int> httpStatus;
};

// An SDK error with that code and the description as its message.
[[nodiscard]] Error DZErrorWithCodeDescription(long code, std::string description);

}  // namespace ads
