#pragma once
// Hands URLs to the system, as the app and the ad SDK leave the app through
// it. Every request is recorded with its outcome, so tests and the tool see
// what was asked and what opened. Whether a URL opens is answered by a
// handler table keyed by lower-case scheme: a scheme without an entry opens
// when the device profile lists it among its openable schemes; an entry
// (set by tests) answers instead, or refuses when it is empty. A
// universal-links-only request opens only an http(s) URL whose host is
// registered as an app link; no scheme handler is asked.
//
// Only when launching is enabled (the desktop window) and VANTOR_NO_OPENER
// is unset does a URL leave the process: an opened http(s) URL goes to the
// desktop's opener (xdg-open, without a shell, never waited for on the
// caller's thread); a URL of another scheme the device profile lists goes
// to the handler the desktop registered for the scheme (GIO's default
// handler for "x-scheme-handler/" the scheme). A scheme the desktop has no
// handler for cannot be opened then: canOpenURL() says so and the open is
// refused. Otherwise a "tel", "mailto" or app-link open is recorded and
// answered, nothing more.
//
// The desktop's opener: its standard output and error go to the app's
// console, a line each, never to the terminal. It has opened the URL when
// it exits with status 0; one that cannot start, or exits otherwise (no
// browser on the desktop), has not, and the request's record says so once
// it has exited. One still running kOpenerAnswerSeconds after its start (on
// the clock) has handed the URL to a browser that keeps it waiting: it
// counts as opened. The completion forms of open() get that answer; the
// synchronous form cannot wait for it, and answers whether the opener
// started (a failure afterwards is only logged and recorded).
// Thread-safe; handlers are called on the caller's thread, without a lock.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/URL.h"
#include "core/Value.h"

namespace store {

class URLOpener {
public:
    [[nodiscard]] static URLOpener& shared();

    // With a true value under this option an open is limited to apps that
    // claim the link as their own.
    static constexpr const char* kUniversalLinksOnlyOption =
        "UIApplicationOpenURLOptionUniversalLinksOnly";
    using Completion = std::function<void(bool opened)>;
    // Answers whether the app for a scheme opened the URL.
    using Handler = std::function<bool(const core::URL& url)>;

    struct Request {
        core::URL url;
        bool universalLinksOnly = false;
        bool opened = false;
        friend bool operator==(const Request&, const Request&) = default;
    };

    // How long the desktop's opener may run before it counts as opened.
    static constexpr double kOpenerAnswerSeconds = 5;

    // Opens at once; false, with a console line, when nothing opens it. A
    // URL handed to the desktop's opener answers whether the opener started.
    bool open(const core::URL& url);
    // Opens at once; the completion, when given, gets the result later on
    // the main queue: for a URL handed to the desktop's opener, once the
    // opener has exited (or has run for kOpenerAnswerSeconds).
    void open(const core::URL& url, bool universalLinksOnly, Completion completion);
    // The same, universal links only when the options hold a true
    // kUniversalLinksOnlyOption.
    void open(const core::URL& url, const core::Dictionary& options, Completion completion);

    // Whether some handler answers for the URL's scheme (an open may still
    // be refused by it).
    [[nodiscard]] bool canOpenURL(const core::URL& url) const;

    // The scheme's entry: a null handler means no app opens the scheme.
    void setHandler(const std::string& scheme, Handler handler);
    // Back to the device profile's answer for the scheme.
    void removeHandler(const std::string& scheme);
    // A host (compared without case) whose links an installed app claims.
    void registerAppLinkHost(const std::string& host);

    // Every request, oldest first.
    [[nodiscard]] std::vector<Request> requests() const;
    [[nodiscard]] std::vector<core::URL> openedURLs() const;
    [[nodiscard]] std::vector<core::URL> refusedURLs() const;
    // Forgets the requests, the handler entries and the app-link hosts.
    void clearForTesting();

    [[nodiscard]] bool launchesSystemOpener() const;
    void setLaunchesSystemOpener(bool launches);
    // Runs in place of the desktop's opener, which then counts as started
    // and as having opened the URL (nullptr: the desktop's again).
    void setLauncherForTesting(std::function<void(const std::string& url)> launcher);

    // What the desktop answers for schemes other than http(s): whether it
    // has a handler for a scheme, and launching it for a URL (false: it did
    // not start).
    struct DesktopHandlers {
        std::function<bool(const std::string& scheme)> has;
        std::function<bool(const core::URL& url)> launch;
    };
    // Stands in for the desktop's handlers (nullopt: the desktop's again).
    void setDesktopHandlersForTesting(std::optional<DesktopHandlers> handlers);

private:
    URLOpener() = default;
    [[nodiscard]] std::optional<Handler> handlerEntry(const std::string& scheme) const;
    // Whether the URL goes to the handler the desktop registered for its
    // scheme rather than being answered here.
    [[nodiscard]] bool handsToDesktop(const core::URL& url) const;
    // Launches the desktop's handler for the URL's scheme; false when there
    // is none or it cannot start.
    bool launchDesktopHandler(const core::URL& url) const;
    [[nodiscard]] bool desktopHasHandler(const std::string& scheme) const;
    [[nodiscard]] bool decide(const core::URL& url, bool universalLinksOnly) const;
    // Records and answers the request; completion (may be empty) gets the
    // final answer on the main queue.
    bool openNow(const core::URL& url, bool universalLinksOnly, Completion completion);
    // Starts the desktop's opener for the URL (URLOpenerLaunch.cpp): false
    // when it cannot start. exited runs on a thread of the opener's with
    // whether it opened the URL, after the output it wrote before exiting
    // has reached the console.
    static bool launch(const std::string& url, std::function<void(bool opened)> exited);
    // Hands an opened web URL to the desktop's opener for request `index`
    // (of generation); false when the opener cannot start.
    bool handToDesktopOpener(const core::URL& url, size_t index, std::uint64_t generation,
                             Completion completion);
    // The opener of request `index` (of generation) did not open its URL.
    void launchFailed(size_t index, std::uint64_t generation);

    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    // Bumped when the requests are forgotten, so that an opener's late
    // answer changes no newer record.
    std::uint64_t generation_ = 0;
    std::map<std::string, Handler> handlers_;
    std::set<std::string> appLinkHosts_;
    bool launches_ = false;
    std::function<void(const std::string& url)> launcher_;
    std::optional<DesktopHandlers> desktopHandlers_;
};

}  // namespace store
