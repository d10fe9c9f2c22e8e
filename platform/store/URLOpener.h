#pragma once
// Hands URLs to the system: the app's "open in the browser" and the in-app
// browser's load go through here. Only http and https are accepted; every
// accepted URL is recorded so that tests and the tool can see what was
// opened, and every refused one (such as a store link, which nothing here
// can open) is recorded apart. Launching the desktop's opener (xdg-open,
// without a shell, not waited for) happens only when enabled and
// VANTOR_NO_OPENER is unset.
// Thread-safe.

#include <mutex>
#include <vector>

#include "core/URL.h"

namespace store {

class URLOpener {
public:
    [[nodiscard]] static URLOpener& shared();

    // False (not opened), with a console line, for anything but http(s)
    // with a host.
    bool open(const core::URL& url);

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
