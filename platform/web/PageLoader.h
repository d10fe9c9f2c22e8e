#pragma once
// Fetches what "UI"-kind pages load (their main documents, frames, scripts,
// images, styles and fetches) in the app's process: the one place where
// those loads meet the app's URL layer. The default goes through
// core::URLConnection, so the process's URL protocols see and may answer
// every load, and https servers are checked against TrustedAuthorities;
// another loader (a test's recorder) is installed with setShared(). Its
// loads end within kLoadDeadline seconds and hold at most the URL session's
// default response size, so a page's server can neither keep them open nor
// fill memory.
//
// Main thread: load() is called there and completions run there.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/HTTPURLResponse.h"
#include "core/NetworkError.h"
#include "core/URL.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace web {

class PageLoader {
public:
    static constexpr double kLoadDeadline = 30;

    struct Result {
        core::Data body;
        // The final response, after redirects; absent with an error.
        std::optional<core::HTTPURLResponse> response;
        std::optional<core::NetworkError> error;
        // The redirect responses followed on the way, in order (their URL
        // is the one that answered with the redirect).
        std::vector<core::HTTPURLResponse> redirects;
        // The request the response answers: the one asked, or the last
        // redirect's (a 303 turns a POST into a GET). Absent when the loader
        // does not tell.
        std::optional<core::URLRequest> request;
    };
    using Completion = std::function<void(Result result)>;
    // Stops the load; its completion then never runs.
    using Cancel = std::function<void()>;

    virtual ~PageLoader() = default;

    // mainDocumentURL is the URL of the page the load belongs to. The
    // completion runs once on the main queue unless cancelled first.
    [[nodiscard]] virtual Cancel load(core::URLRequest request, const core::URL& mainDocumentURL,
                                      Completion completion) = 0;

    [[nodiscard]] static std::shared_ptr<PageLoader> shared();
    // nullptr restores the default.
    static void setShared(std::shared_ptr<PageLoader> loader);
    // The default, over core::URLConnection on the main run loop.
    [[nodiscard]] static std::shared_ptr<PageLoader> sessionLoader();
};

}  // namespace web
