#include <gtest/gtest.h>

#include "ads/core/request/DZError.h"
#include "ui/DeviceProfile.h"

using namespace ads;

TEST(DZError, EveryCodeHasItsMessageAndKeepsItsValue) {
    const struct {
        long code;
        const char* message;
    } table[] = {
        {0, "Request Error: Invalid ad request parameter(s). Check the Xcode console for details."},
        {1, "Request Error: No ad to show."},
        {2, "Request Error: A network error occurred."},
        {3, "Request Error: Server error processing the request."},
        {5, "Request Error: The Dozuza Ad request was unable to be fulfilled before a timeout "
            "occurred."},
        {6, "Request Error: Will not send request because interstitial object has been used."},
        {7, "Request Error: The mediation response was invalid."},
        {8, "Request Error: Cannot find an ad network adapter for mediation."},
        {9, "Request Error: No ad to show from all configured ad networks."},
        {10, "Request Error: Incompatible ad type requested."},
        {11, "Request Error: Internal error."},
        {12, "Request Error: Invalid argument."},
        {13, "Request Error: Received invalid response."},
        {14,
         "Request Error: Invalid ad request parameter(s). Check the Xcode console for details."},
        {-1,
         "Request Error: Invalid ad request parameter(s). Check the Xcode console for details."},
    };
    for (const auto& row : table) {
        const Error error = DZErrorWithCode(row.code);
        EXPECT_EQ(error.domain, "com.dozuza.ads");
        EXPECT_EQ(error.code, row.code);
        EXPECT_EQ(error.message, row.message) << row.code;
        EXPECT_EQ(error.failureReason, row.message) << row.code;
        EXPECT_FALSE(error.underlying);
        EXPECT_FALSE(error.httpStatusDescription);
    }
}

TEST(DZError, CodeFourNamesTheSystemVersionUnlessADescriptionIsGiven) {
    const std::string expected = "Request Error: This device's OS is " +
                                 ui::DeviceProfile::current().systemVersion +
                                 ". It is below the minimum of 6.0.";
    EXPECT_EQ(DZErrorWithCode(kDZErrorOSVersionTooLow).message, expected);
    // Formatted once: a profile selected later does not change it.
    ui::DeviceProfile other = ui::DeviceProfile::current();
    const ui::DeviceProfile previous = other;
    other.systemVersion = "5.1";
    ui::DeviceProfile::overrideForTesting(other);
    EXPECT_EQ(DZErrorWithCode(kDZErrorOSVersionTooLow).message, expected);
    ui::DeviceProfile::overrideForTesting(previous);

    EXPECT_EQ(DZErrorWithCodeDescription(4, "Too old: %@").message, "Too old: %@");
    EXPECT_EQ(DZErrorWithCodeDescription(4, "").message, "");
    EXPECT_EQ(DZErrorWithCodeDescription(1, "").failureReason, "");
}

TEST(DZError, HttpStatusOnlyAboveZero) {
    const Error notFound = DZErrorWithCodeStatusDescription(kDZErrorServerError, 404, std::nullopt);
    EXPECT_EQ(notFound.httpStatus, 404);
    EXPECT_EQ(notFound.httpStatusDescription, "HTTP status 404: not found");
    EXPECT_EQ(notFound.message, "Request Error: Server error processing the request.");
    EXPECT_EQ(DZErrorWithCodeStatusDescription(3, 503, "x").httpStatusDescription,
              "HTTP status 503: service unavailable");
    EXPECT_EQ(DZErrorWithCodeStatusDescription(3, 599, "x").httpStatusDescription,
              "HTTP status 599: server error");
    for (long status : {0L, -1L}) {
        const Error error = DZErrorWithCodeStatusDescription(3, status, "x");
        EXPECT_FALSE(error.httpStatus);
        EXPECT_FALSE(error.httpStatusDescription);
    }
}

TEST(DZError, UnderlyingErrorsAndOtherDomains) {
    const Error cause = DZErrorWithDomainCodeDescription("core.file", 2, "No such file");
    const Error wrapped = DZErrorWithCodeUnderlyingError(kDZErrorInternalError, cause);
    EXPECT_EQ(wrapped.domain, "com.dozuza.ads");
    EXPECT_EQ(wrapped.message, "No such file");
    ASSERT_TRUE(wrapped.underlying);
    EXPECT_EQ(wrapped.underlying->domain, "core.file");

    const Error bare = DZErrorWithCodeUnderlyingError(kDZErrorInternalError, std::nullopt);
    EXPECT_EQ(bare.message, "Request Error: Internal error.");
    EXPECT_FALSE(bare.underlying);

    const Error silent = DZErrorWithDomainCodeDescription("core.file", 9, std::nullopt);
    EXPECT_EQ(silent.domain, "core.file");
    EXPECT_EQ(silent.code, 9);
    EXPECT_EQ(silent.message, "");
    EXPECT_FALSE(silent.failureReason);
}

TEST(DZError, RequestErrorKeepsEverything) {
    const Error source = DZErrorWithCodeStatusDescriptionUnderlying(
        kDZErrorNetworkError, 404, std::nullopt, DZErrorWithCode(kDZErrorTimeout));
    const DZRequestError error = DZRequestErrorFromError(source);
    EXPECT_EQ(error.domain, source.domain);
    EXPECT_EQ(error.code, kDZErrorNetworkError);
    EXPECT_EQ(error.message, source.message);
    EXPECT_EQ(error.httpStatusDescription, "HTTP status 404: not found");
    ASSERT_TRUE(error.underlying);
    EXPECT_EQ(error.underlying->code, kDZErrorTimeout);
}
