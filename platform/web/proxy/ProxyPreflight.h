#pragma once
// A CORS preflight that came without the proxy's credentials (the engine
// sends them so; see isPreflight in ProxyServer.cpp), sent on as a preflight
// and nothing more: straight to the network through a URL session of its
// own, so that no URL protocol runs for it; with only the fields a preflight
// carries, so that a caller's credentials and cookies stay behind; with the
// proxy's hop mark; its redirects unfollowed. Its answer carries only what a
// preflight needs: the status and the Access-Control-* and Vary fields, and
// no body. A load that fails is answered 502 without a body or a word of why.
//
// The proxy's thread. A preflight keeps itself alive (its session holds it)
// until its load has ended.

#include <libsoup/soup.h>

#include <memory>

#include "core/URLSession.h"
#include "core/URLSessionDelegate.h"
#include "web/proxy/ProxyServer.h"

namespace web::proxy {

class Preflight final : public core::URLSessionDelegate {
    struct Private {};

public:
    // Seconds the onward load may take, on the clock.
    static constexpr double kSeconds = 30;

    static void start(const Server& server, SoupServerMessage* message, const Target& target);

    Preflight(Private, SoupServerMessage* message);
    ~Preflight() override;
    Preflight(const Preflight&) = delete;
    Preflight& operator=(const Preflight&) = delete;

    void willPerformHTTPRedirection(core::URLSession& session, core::URLSessionTask& task,
                                    const core::HTTPURLResponse& response,
                                    core::URLRequest newRequest, RedirectDecision decide) override;
    void didReceiveResponse(core::URLSession& session, core::URLSessionDataTask& task,
                            const core::HTTPURLResponse& response,
                            ResponseDecision decide) override;
    void didComplete(core::URLSession& session, core::URLSessionTask& task,
                     const std::optional<core::NetworkError>& error) override;

private:
    // Answers with status and fields, and no body.
    void answer(unsigned status, const core::HTTPHeaders& fields);

    SoupServerMessage* message_;
    std::shared_ptr<core::URLSessionTask> task_;
    bool answered_ = false;
    bool messageDone_ = false;
};

}  // namespace web::proxy
