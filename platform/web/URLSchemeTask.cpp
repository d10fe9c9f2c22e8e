#include "web/URLSchemeTask.h"

#include <utility>

namespace web {

URLSchemeTask::URLSchemeTask(core::URLRequest request, Respond respond, Fail fail)
    : request_(std::move(request)), respond_(std::move(respond)), fail_(std::move(fail)) {}

URLSchemeTask::~URLSchemeTask() {
    // An unanswered request would keep the page waiting for ever.
    if (respond_) fail("The request was not answered.");
}

void URLSchemeTask::respond(int status, const core::HTTPHeaders& headers, const core::Data& body) {
    if (!respond_) return;
    const auto respond = std::exchange(respond_, {});
    fail_ = {};
    respond(status, headers, body);
}

void URLSchemeTask::respond(int status, const core::HTTPHeaders& headers, std::string_view body) {
    respond(status, headers, core::Data(body.begin(), body.end()));
}

void URLSchemeTask::fail(const std::string& message) {
    if (!respond_) return;
    respond_ = {};
    const auto fail = std::exchange(fail_, {});
    fail(message);
}

}  // namespace web
