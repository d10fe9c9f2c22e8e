// A process of its own for the web test of what the engine leaves behind:
// it shows a page in a web view (the engine starts its sandboxed processes
// for it), prints what it finds and the processes it started, and ends as
// an app does, returning from main. Its lines:
//   runtime <XDG_RUNTIME_DIR, or - when none is set>
//   private <1 when that is a folder of this user's with mode 0700, else 0>
//   engine <entries the engine made in the folder's .flatpak>
//   kept <1 when the folder and the navigation socket were still there after
//        a child forked without exec ended through exit(), else 0>
//   processes <pid>...
// or "failed <why>".

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/RunLoop.h"
#include "support/ProcessTree.h"
#include "web/DecisionServer.h"
#include "web/WebView.h"

namespace {

class LoadWatch : public web::WebViewDelegate {
public:
    void didFinishLoad(web::WebView&) override { outcome = "loaded"; }
    void didFailLoad(web::WebView&, const web::LoadError& error) override {
        outcome = "failed " + error.message;
    }
    std::string outcome;
};

// A child forked without exec that ends as a program does, through exit():
// what the parent made for its run stays the parent's.
bool keptAfterForkedExit(const std::string& runtime) {
    const web::DecisionServer* decisions = web::DecisionServer::shared(nullptr);
    if (!decisions) return false;
    const pid_t child = fork();
    if (child == 0) std::exit(0);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return false;
    struct stat info {};
    return stat(runtime.c_str(), &info) == 0 && stat(decisions->socketPath().c_str(), &info) == 0;
}

}  // namespace

int main() {
    core::RunLoop::bindMainToCurrentThread();
    std::string error;
    const auto view = web::WebView::create({0, 0, 200, 200}, {}, &error);
    const auto watch = std::make_shared<LoadWatch>();
    if (view) {
        view->setDelegate(watch);
        view->loadHTMLString("<p>a page</p>", std::nullopt);
        (void)core::RunLoop::main().runUntil([&] { return !watch->outcome.empty(); }, 120);
    }
    if (watch->outcome != "loaded") {
        std::printf("failed %s\n", view ? watch->outcome.c_str() : error.c_str());
        return 2;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    const bool own = runtime && stat(runtime, &info) == 0 && S_ISDIR(info.st_mode) &&
                     (info.st_mode & 0777) == 0700 && info.st_uid == geteuid();
    std::error_code ignored;
    const auto made = std::filesystem::path(runtime ? runtime : "") / ".flatpak";
    const auto engine = std::distance(std::filesystem::directory_iterator(made, ignored), {});
    const bool kept = runtime && keptAfterForkedExit(runtime);
    std::printf("runtime %s\nprivate %d\nengine %ld\nkept %d\nprocesses", runtime ? runtime : "-",
                own, long(engine), int(kept));
    for (const pid_t pid : testsupport::descendantsOf(getpid())) std::printf(" %d", int(pid));
    std::printf("\n");
    return 0;
}
