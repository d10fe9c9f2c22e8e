#include "web/proxy/ProxyPreflight.h"

#include <array>
#include <string_view>

#include "core/ASCII.h"
#include "core/RunLoop.h"
#include "core/RunLoopQueue.h"
#include "web/TrustedAuthorities.h"
#include "web/proxy/ProxyGuards.h"
#include "web/proxy/ProxyMessages.h"

namespace web::proxy {

namespace {

// What the engine puts in a preflight besides the Sec-Fetch-* fields.
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

void Preflight::start(Server& server, const std::shared_ptr<Connection>& client,
                      const RequestHead& head, const Target& target) {
    core::URLRequest request(target.url);
    (void)request.setMethod("OPTIONS");
    for (const auto& [name, value] : head.fields)
        if (isRequestField(name)) (void)request.addValue(name, value);

    core::URLSessionConfiguration configuration;
    configuration.timeoutIntervalForRequest = kPreflightSeconds;
    configuration.timeoutIntervalForResource = kPreflightSeconds;
    configuration.userAgent.clear();
    configuration.sendsOnlyRequestFields = true;
    configuration.refusedLocalPorts = server.ownPorts();
    if (std::string authorities = TrustedAuthorities::pemSetInCode(); !authorities.empty())
        configuration.trustedCertificatesPEM = std::move(authorities);

    auto preflight = std::make_shared<Preflight>(Private{}, server, client);
    client->serve(preflight);
    const auto session = core::URLSession::create(std::move(configuration), preflight,
                                                  core::RunLoopQueue::of(core::RunLoop::current()));
    auto task = session->dataTask(std::move(request));
    preflight->task_ = task;
    task->resume();
    // The session lets go of the preflight once its task has ended.
    session->finishTasksAndInvalidate();
}

Preflight::Preflight(Private, Server& server, std::shared_ptr<Connection> client)
    : server_(server), client_(std::move(client)) {
    ++server_.preflights;
    server_.descriptorOpened();
}

Preflight::~Preflight() {
    --server_.preflights;
    server_.descriptorClosed();
}

void Preflight::willPerformHTTPRedirection(core::URLSession&, core::URLSessionTask&,
                                           const core::HTTPURLResponse&, core::URLRequest,
                                           RedirectDecision decide) {
    decide(std::nullopt);
}

void Preflight::didReceiveResponse(core::URLSession&, core::URLSessionDataTask&,
                                   const core::HTTPURLResponse& response, ResponseDecision decide) {
    core::HTTPHeaders fields;
    for (const auto& [name, value] : response.headers())
        if (isAnswerField(name)) fields.add(name, value);
    // Only the proxy itself asks for the proxy's credentials.
    if (response.statusCode() == 407) {
        answer(502, std::nullopt, fields);
    } else {
        answer(response.statusCode(), response.reasonPhrase(), fields);
    }
    decide(ResponseDisposition::cancel);  // nothing of the body is wanted
}

void Preflight::didComplete(core::URLSession&, core::URLSessionTask&,
                            const std::optional<core::NetworkError>&) {
    if (!answered_) answer(502, std::nullopt, {});
    task_.reset();
}

void Preflight::hungUp() {
    answered_ = true;
    client_.reset();
    if (task_) task_->cancel();
}

void Preflight::answer(int status, const std::optional<std::string>& reason,
                       const core::HTTPHeaders& fields) {
    if (answered_ || !client_) return;
    answered_ = true;
    const bool bodiless = status == 204 || status == 304;
    client_->answer(status, reason, fields, bodiless ? Framing::none : Framing::length, 0);
}

}  // namespace web::proxy
