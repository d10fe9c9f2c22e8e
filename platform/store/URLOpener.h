#pragma once
// Hands URLs to the system: the app's "open in the browser" and the in-app
// browser's load go through here. Only http and https are accepted; every
// accepted URL is recorded so that tests and the tool can see what was
// opened, and every refused one (such as a store link, which nothing here
// can open) is recorded apart. Launching the desktop's opener (xdg-open,
// without a shell, not waited for) happens only when enabled and
// VANTOR_NO_OPENER is unset.
// Thread-safe.

#include <functional>
#include <mutex>
#include <vector>

#include "core/URL.h"
#include "core/Value.h"

namespace store {

class URLOpener {
public:
    [[nodiscard]] static URLOpener& shared();

    // With a true value under this option an open is limited to apps that
    // claim the link as their own; no app here claims links, so such an
    // open opens nothing.
    static constexpr const char* kUniversalLinksOnlyOption =
        "UIApplicationOpenURLOptionUniversalLinksOnly";
    using Completion = std::function<void(bool opened)>;

    // False (not opened), with a console line, for anything but http(s)
    // with a host.
    bool open(const core::URL& url);
    // open(url), or nothing (recorded as refused) when the options ask for
    // universal links only. The completion, when given, gets the result
    // later on the main queue.
    void open(const core::URL& url, const core::Dictionary& options, Completion completion);

    [[nodiscard]] std::vector<core::URL> openedURLs() const;
    [[nodiscard]] std::vector<core::URL> refusedURLs() const;
    void clearForTesting();

    [[nodiscard]] bool launchesSystemOpener() const;
    void setLaunchesSystemOpener(bool launches);

private:
    URLOpener() = default;
    static void launch(const std::string& url);

    mutable std::mutex mutex_;
    std::vector<core::URL> opened_;
    std::vector<core::URL> refused_;
    bool launches_ = false;
};

}  // namespace store
