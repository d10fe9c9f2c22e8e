#pragma once
// One request a page made to a scheme the app serves
// (WebView::setURLSchemeHandler), answered once with a response or an
// error. Answers after the first, and answers once the view is gone, are
// ignored. Main thread only.

#include <functional>
#include <memory>
#include <string>

#include "core/HTTPHeaders.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace web {

class URLSchemeTask {
public:
    // What answering does with the engine's request.
    using Respond =
        std::function<void(int status, const core::HTTPHeaders& headers, const core::Data& body)>;
    using Fail = std::function<void(const std::string& message)>;

    URLSchemeTask(core::URLRequest request, Respond respond, Fail fail);
    ~URLSchemeTask();
    URLSchemeTask(const URLSchemeTask&) = delete;
    URLSchemeTask& operator=(const URLSchemeTask&) = delete;

    [[nodiscard]] const core::URLRequest& request() const { return request_; }
    // The media type comes from the Content-Type field (the engine sniffs
    // the body without one). A fetch() from an http page needs
    // Access-Control-Allow-Origin among the fields.
    void respond(int status, const core::HTTPHeaders& headers, const core::Data& body);
    void respond(int status, const core::HTTPHeaders& headers, std::string_view body);
    void fail(const std::string& message);
    [[nodiscard]] bool isAnswered() const { return !respond_; }

private:
    core::URLRequest request_;
    Respond respond_;
    Fail fail_;
};

}  // namespace web
