#pragma once
// A CORS preflight that came without the proxy's credentials (the engine
// sends them so; see isPreflight in ProxyServer.cpp), sent on as a preflight
// and nothing more: straight to the network through a URL session of its
// own, so that no URL protocol runs for it; with only the fields a preflight
// carries, so that a caller's credentials and cookies stay behind; its
// redirects unfollowed. Its answer carries only what a preflight needs: the
// status line and the Access-Control-* and Vary fields, and no body. A load
// that fails is answered 502 without a body or a word of why. At most
// kMostPreflights are under way at once (ProxyGuards.h).
//
// The proxy's thread. A preflight keeps itself alive (its session holds it)
// until its load has ended.

#include <memory>

#include "core/URLSession.h"
#include "core/URLSessionDelegate.h"
#include "web/proxy/ProxyConnection.h"
#include "web/proxy/ProxyServer.h"

namespace web::proxy {

class Preflight final : public core::URLSessionDelegate, public Connection::Request {
    struct Private {};

public:
    static void start(Server& server, const std::shared_ptr<Connection>& client,
                      const RequestHead& head, const Target& target);

    Preflight(Private, Server& server, std::shared_ptr<Connection> client);
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

    void hungUp() override;
    void answered() override { hungUp(); }

private:
    // Answers with the status line and fields, and no body.
    void answer(int status, const std::optional<std::string>& reason,
                const core::HTTPHeaders& fields);

    Server& server_;
    std::shared_ptr<Connection> client_;
    std::shared_ptr<core::URLSessionTask> task_;
    bool answered_ = false;
};

}  // namespace web::proxy
