#include "web/proxy/ProxyPreflight.h"

#include <array>
#include <string_view>

#include "core/ASCII.h"
#include "core/RunLoop.h"
#include "core/RunLoopQueue.h"
#include "web/TrustedAuthorities.h"
#include "web/proxy/ProxyMessages.h"

namespace web::proxy {

namespace {

// What the engine puts in a preflight besides the Sec-Fetch-* fields (and
// what libsoup adds to every request, which no server needs for a
// preflight's answer).
constexpr std::array<std::string_view, 10> kRequestFields = {
    "Accept",
    "Accept-Language",
    "Access-Control-Request-Method",
    "Access-Control-Request-Headers",
    "Access-Control-Request-Private-Network",
    "Origin",
    "Referer",
    "User-Agent",
    "Cache-Control",
    "Pragma"};

bool isRequestField(std::string_view name) {
    for (const std::string_view field : kRequestFields)
        if (core::HTTPHeaders::sameName(name, field)) return true;
    return core::asciiLowercased(name).starts_with("sec-fetch-");
}

bool isAnswerField(std::string_view name) {
    const std::string lower = core::asciiLowercased(name);
    return lower.starts_with("access-control-") || lower == "vary";
}

}  // namespace

void Preflight::start(const Server& server, SoupServerMessage* message, const Target& target) {
    core::URLRequest request(target.url);
    (void)request.setMethod("OPTIONS");
    SoupMessageHeadersIter iterator;
    soup_message_headers_iter_init(&iterator, soup_server_message_get_request_headers(message));
    const char* name = nullptr;
    const char* value = nullptr;
    while (soup_message_headers_iter_next(&iterator, &name, &value)) {
        if (isRequestField(name)) (void)request.addValue(name, value);
    }
    markHop(request, server.credentials().via);

    core::URLSessionConfiguration configuration;
    configuration.timeoutIntervalForRequest = kSeconds;
    configuration.timeoutIntervalForResource = kSeconds;
    configuration.userAgent.clear();
    configuration.refusedLocalPorts = server.ownPorts();
    if (std::string authorities = TrustedAuthorities::pemSetInCode(); !authorities.empty())
        configuration.trustedCertificatesPEM = std::move(authorities);

    auto preflight = std::make_shared<Preflight>(Private{}, message);
    soup_server_message_pause(message);
    g_signal_connect(message, "finished", G_CALLBACK(+[](SoupServerMessage*, gpointer data) {
                         auto& preflight = *static_cast<Preflight*>(data);
                         preflight.messageDone_ = true;
                         if (preflight.task_) preflight.task_->cancel();
                     }),
                     preflight.get());
    const auto session = core::URLSession::create(std::move(configuration), preflight,
                                                  core::RunLoopQueue::of(core::RunLoop::current()));
    auto task = session->dataTask(std::move(request));
    preflight->task_ = task;
    task->resume();
    // The session lets go of the preflight once its task has ended.
    session->finishTasksAndInvalidate();
}

Preflight::Preflight(Private, SoupServerMessage* message)
    : message_(SOUP_SERVER_MESSAGE(g_object_ref(message))) {}

Preflight::~Preflight() {
    g_signal_handlers_disconnect_by_data(message_, this);
    g_object_unref(message_);
}

void Preflight::willPerformHTTPRedirection(core::URLSession&, core::URLSessionTask&,
                                           const core::HTTPURLResponse&, core::URLRequest,
                                           RedirectDecision decide) {
    decide(std::nullopt);
}

void Preflight::didReceiveResponse(core::URLSession&, core::URLSessionDataTask&,
                                   const core::HTTPURLResponse& response, ResponseDecision decide) {
    const int status = response.statusCode();
    core::HTTPHeaders fields;
    for (const auto& [name, value] : response.headers())
        if (isAnswerField(name)) fields.add(name, value);
    // Only the proxy itself asks for the proxy's credentials.
    answer(status == SOUP_STATUS_PROXY_AUTHENTICATION_REQUIRED ? unsigned(SOUP_STATUS_BAD_GATEWAY)
                                                               : unsigned(status),
           fields);
    decide(ResponseDisposition::cancel);  // nothing of the body is wanted
}

void Preflight::didComplete(core::URLSession&, core::URLSessionTask&,
                            const std::optional<core::NetworkError>&) {
    if (!answered_) answer(SOUP_STATUS_BAD_GATEWAY, {});
    task_.reset();
}

void Preflight::answer(unsigned status, const core::HTTPHeaders& fields) {
    if (answered_ || messageDone_) return;
    answered_ = true;
    soup_server_message_set_status(message_, status, nullptr);
    SoupMessageHeaders* headers = soup_server_message_get_response_headers(message_);
    for (const auto& [name, value] : fields)
        soup_message_headers_append(headers, name.c_str(), value.c_str());
    if (status == SOUP_STATUS_NO_CONTENT || status == SOUP_STATUS_NOT_MODIFIED)
        soup_message_headers_set_encoding(headers, SOUP_ENCODING_NONE);
    else
        soup_message_headers_set_content_length(headers, 0);
    soup_message_body_complete(soup_server_message_get_response_body(message_));
    soup_server_message_unpause(message_);
}

}  // namespace web::proxy
