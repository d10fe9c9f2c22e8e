#pragma once
// Why a main-frame load failed: a URL-loading code (cancelled -999, timed
// out -1001, cannot find host -1003, cannot connect -1004, ...) or one of
// the engine's own, with a message and the URL that failed.

#include <string>

#include "core/NetworkError.h"

namespace web {

struct LoadError {
    static constexpr long kCancelled = -999;
    // The engine's policy stopped the load (a response the delegate refused).
    static constexpr long kInterruptedByPolicy = 102;
    static constexpr long kCannotShowURL = 101;
    // A port the engine never reaches (a service's other than the web's).
    static constexpr long kCannotUseRestrictedPort = 103;
    // The web process ended during the load.
    static constexpr long kWebProcessTerminated = -1011;

    long code = 0;
    std::string message;
    std::string failingURL;
    // Before the page was committed (nothing of it shown yet).
    bool provisional = true;

    [[nodiscard]] static LoadError cancelled(std::string failingURL, bool provisional);
    [[nodiscard]] static LoadError fromNetworkError(const core::NetworkError& error);
};

}  // namespace web
