// A process of its own for the web test of what the engine leaves behind:
// it shows a page in a web view (the engine starts its sandboxed processes
// for it), prints "runtime <XDG_RUNTIME_DIR>" once the page has loaded (or
// "failed <why>"), then waits for a line on its standard input and ends as
// an app does, returning from main.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "core/RunLoop.h"
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

}  // namespace

int main() {
    core::RunLoop::bindMainToCurrentThread();
    std::string error;
    const auto view = web::WebView::create({0, 0, 200, 200}, {}, &error);
    if (!view) {
        std::printf("failed %s\n", error.c_str());
        return 2;
    }
    const auto watch = std::make_shared<LoadWatch>();
    view->setDelegate(watch);
    view->loadHTMLString("<p>a page</p>", std::nullopt);
    (void)core::RunLoop::main().runUntil([&] { return !watch->outcome.empty(); }, 120);
    if (watch->outcome != "loaded") {
        std::printf("failed %s\n", watch->outcome.empty() ? "no load" : watch->outcome.c_str());
        return 3;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::printf("runtime %s\n", runtime ? runtime : "");
    std::fflush(stdout);
    std::string line;
    (void)std::getline(std::cin, line);
    return 0;
}
