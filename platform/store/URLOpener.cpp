#include "store/URLOpener.h"

#include <gio/gio.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "core/Console.h"
#include "core/Queue.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "core/Unicode.h"
#include "ui/DeviceProfile.h"

namespace store {

namespace {

std::string lower(std::string_view text) {
    return core::Unicode::toLower(text, "");
}

}  // namespace

URLOpener& URLOpener::shared() {
    static URLOpener* opener = new URLOpener();
    return *opener;
}

std::optional<URLOpener::Handler> URLOpener::handlerEntry(const std::string& scheme) const {
    const std::lock_guard lock(mutex_);
    const auto entry = handlers_.find(lower(scheme));
    if (entry == handlers_.end()) return std::nullopt;
    return entry->second;
}

bool URLOpener::decide(const core::URL& url, bool universalLinksOnly) const {
    if (universalLinksOnly) {
        const std::lock_guard lock(mutex_);
        return url.isHTTPorHTTPS() && appLinkHosts_.count(lower(url.host())) > 0;
    }
    const auto handler = handlerEntry(url.scheme());
    if (!handler) return ui::DeviceProfile::current().canOpenScheme(url.scheme());
    return *handler && (*handler)(url);
}

bool URLOpener::handsToDesktop(const core::URL& url) const {
    if (url.isHTTPorHTTPS() || std::getenv("VANTOR_NO_OPENER")) return false;
    if (handlerEntry(url.scheme())) return false;
    const std::lock_guard lock(mutex_);
    return launches_;
}

bool URLOpener::desktopHasHandler(const std::string& scheme) const {
    std::optional<DesktopHandlers> stand;
    {
        const std::lock_guard lock(mutex_);
        stand = desktopHandlers_;
    }
    if (stand) return stand->has && stand->has(lower(scheme));
    GAppInfo* info = g_app_info_get_default_for_uri_scheme(lower(scheme).c_str());
    if (!info) return false;
    g_object_unref(info);
    return true;
}

bool URLOpener::launchDesktopHandler(const core::URL& url) const {
    std::optional<DesktopHandlers> stand;
    {
        const std::lock_guard lock(mutex_);
        stand = desktopHandlers_;
    }
    if (stand) return stand->has && stand->has(lower(url.scheme())) && stand->launch &&
                      stand->launch(url);
    GAppInfo* info = g_app_info_get_default_for_uri_scheme(lower(url.scheme()).c_str());
    if (!info) return false;
    std::string uri = url.absoluteString();
    GList uris{};
    uris.data = uri.data();
    GError* error = nullptr;
    const bool launched = g_app_info_launch_uris(info, &uris, nullptr, &error);
    if (!launched) {
        core::Console::log("URLOpener: " + std::string(g_app_info_get_name(info)) +
                           " did not start for '" + url.scheme() +
                           "': " + (error ? error->message : "no reason given"));
        g_clear_error(&error);
    }
    g_object_unref(info);
    return launched;
}

bool URLOpener::openNow(const core::URL& url, bool universalLinksOnly, Completion completion) {
    bool opened = decide(url, universalLinksOnly);
    // The scheme's handler on the desktop, when there is one, is what opens.
    if (opened && !universalLinksOnly && handsToDesktop(url)) opened = launchDesktopHandler(url);
    bool launches = false;
    std::function<void(const std::string&)> launcher;
    size_t index = 0;
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(mutex_);
        index = requests_.size();
        generation = generation_;
        requests_.push_back({url, universalLinksOnly, opened});
        launches = launches_;
        launcher = launcher_;
    }
    if (!opened) {
        core::Console::log("URLOpener: nothing opens '" + url.absoluteString() + "'" +
                           (universalLinksOnly ? " as a universal link" : ""));
    } else if (launches && url.isHTTPorHTTPS()) {
        if (std::getenv("VANTOR_NO_OPENER")) {
            core::Console::log("URLOpener: '" + url.absoluteString() +
                               "' stays here (VANTOR_NO_OPENER)");
        } else {
            if (!launcher)
                return handToDesktopOpener(url, index, generation, std::move(completion));
            launcher(url.absoluteString());
        }
    }
    if (completion) {
        core::Queue::main()->async(
            [completion = std::move(completion), opened] { completion(opened); });
    }
    return opened;
}

bool URLOpener::handToDesktopOpener(const core::URL& url, size_t index, std::uint64_t generation,
                                    Completion completion) {
    // The completion's one answer, on the main thread: the opener's exit,
    // or its running past the limit, whichever comes first.
    struct Answer {
        Completion completion;
        std::shared_ptr<core::Timer> limit;
        bool given = false;
    };
    const auto answer = std::make_shared<Answer>();
    answer->completion = std::move(completion);
    const auto give = [answer](bool opened) {
        if (std::exchange(answer->given, true)) return;
        if (answer->limit) answer->limit->invalidate();
        if (auto completion = std::move(answer->completion)) completion(opened);
    };
    const std::string text = url.absoluteString();
    if (answer->completion) {
        answer->limit = core::Timer::schedule(
            core::RunLoop::main(), kOpenerAnswerSeconds, false, [give, text](core::Timer&) {
                core::Console::log("URLOpener: the desktop's opener still runs for '" + text +
                                   "': counted as opened");
                give(true);
            });
    }
    const bool started = launch(text, [this, index, generation, give](bool opened) {
        if (!opened) launchFailed(index, generation);
        core::Queue::main()->async([give, opened] { give(opened); });
    });
    if (!started) {
        launchFailed(index, generation);
        core::Queue::main()->async([give] { give(false); });
    }
    return started;
}

void URLOpener::launchFailed(size_t index, std::uint64_t generation) {
    const std::lock_guard lock(mutex_);
    if (generation == generation_ && index < requests_.size()) requests_[index].opened = false;
}

bool URLOpener::open(const core::URL& url) {
    return openNow(url, false, {});
}

void URLOpener::open(const core::URL& url, bool universalLinksOnly, Completion completion) {
    (void)openNow(url, universalLinksOnly, std::move(completion));
}

void URLOpener::open(const core::URL& url, const core::Dictionary& options, Completion completion) {
    open(url, options[kUniversalLinksOnlyOption].boolValue(), std::move(completion));
}

bool URLOpener::canOpenURL(const core::URL& url) const {
    const auto handler = handlerEntry(url.scheme());
    if (handler) return static_cast<bool>(*handler);
    if (!ui::DeviceProfile::current().canOpenScheme(url.scheme())) return false;
    return !handsToDesktop(url) || desktopHasHandler(url.scheme());
}

void URLOpener::setHandler(const std::string& scheme, Handler handler) {
    const std::lock_guard lock(mutex_);
    handlers_[lower(scheme)] = std::move(handler);
}

void URLOpener::removeHandler(const std::string& scheme) {
    const std::lock_guard lock(mutex_);
    handlers_.erase(lower(scheme));
}

void URLOpener::registerAppLinkHost(const std::string& host) {
    const std::lock_guard lock(mutex_);
    appLinkHosts_.insert(lower(host));
}

std::vector<URLOpener::Request> URLOpener::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<core::URL> URLOpener::openedURLs() const {
    const std::lock_guard lock(mutex_);
    std::vector<core::URL> urls;
    for (const Request& request : requests_)
        if (request.opened) urls.push_back(request.url);
    return urls;
}

std::vector<core::URL> URLOpener::refusedURLs() const {
    const std::lock_guard lock(mutex_);
    std::vector<core::URL> urls;
    for (const Request& request : requests_)
        if (!request.opened) urls.push_back(request.url);
    return urls;
}

void URLOpener::clearForTesting() {
    const std::lock_guard lock(mutex_);
    requests_.clear();
    ++generation_;
    handlers_.clear();
    appLinkHosts_.clear();
}

bool URLOpener::launchesSystemOpener() const {
    const std::lock_guard lock(mutex_);
    return launches_;
}

void URLOpener::setLaunchesSystemOpener(bool launches) {
    const std::lock_guard lock(mutex_);
    launches_ = launches;
}

void URLOpener::setDesktopHandlersForTesting(std::optional<DesktopHandlers> handlers) {
    const std::lock_guard lock(mutex_);
    desktopHandlers_ = std::move(handlers);
}

void URLOpener::setLauncherForTesting(std::function<void(const std::string& url)> launcher) {
    const std::lock_guard lock(mutex_);
    launcher_ = std::move(launcher);
}

}  // namespace store
