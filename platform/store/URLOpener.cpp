#include "store/URLOpener.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "core/Console.h"
#include "core/Queue.h"

namespace store {

URLOpener& URLOpener::shared() {
    static URLOpener* opener = new URLOpener();
    return *opener;
}

bool URLOpener::open(const core::URL& url) {
    if (!url.isHTTPorHTTPS()) {
        {
            const std::lock_guard lock(mutex_);
            refused_.push_back(url);
        }
        core::Console::log("URLOpener: refused to open '" + url.absoluteString() +
                           "': only http and https are opened");
        return false;
    }
    bool launches = false;
    {
        const std::lock_guard lock(mutex_);
        opened_.push_back(url);
        launches = launches_;
    }
    if (launches && !std::getenv("VANTOR_NO_OPENER")) launch(url.absoluteString());
    return true;
}

void URLOpener::open(const core::URL& url, const core::Dictionary& options, Completion completion) {
    bool opened = false;
    if (options[kUniversalLinksOnlyOption].boolValue()) {
        const std::lock_guard lock(mutex_);
        refused_.push_back(url);
    } else {
        opened = open(url);
    }
    if (completion) {
        core::Queue::main()->async(
            [completion = std::move(completion), opened] { completion(opened); });
    }
}

// Double fork: the intermediate child exits at once and is reaped here, so
// the opener is adopted by init and never becomes a zombie of ours.
void URLOpener::launch(const std::string& url) {
    // Everything the child needs is ready before fork: it only forks, execs
    // and exits.
    std::string program = "xdg-open";
    std::string argument = url;
    char* const argv[] = {program.data(), argument.data(), nullptr};
    const pid_t child = fork();
    if (child < 0) {
        core::Console::log("URLOpener: cannot start the system opener");
        return;
    }
    if (child == 0) {
        if (fork() == 0) {
            execvp(argv[0], argv);
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

std::vector<core::URL> URLOpener::openedURLs() const {
    const std::lock_guard lock(mutex_);
    return opened_;
}

std::vector<core::URL> URLOpener::refusedURLs() const {
    const std::lock_guard lock(mutex_);
    return refused_;
}

void URLOpener::clearForTesting() {
    const std::lock_guard lock(mutex_);
    opened_.clear();
    refused_.clear();
}

bool URLOpener::launchesSystemOpener() const {
    const std::lock_guard lock(mutex_);
    return launches_;
}

void URLOpener::setLaunchesSystemOpener(bool launches) {
    const std::lock_guard lock(mutex_);
    launches_ = launches;
}

}  // namespace store
