#pragma once
// An HTTP proxy inside the app's process through which the browser engine
// loads the pages of the "UI" kind, so that every request of theirs goes
// through the app's URL layer (core::URLConnection: the URL protocols, then
// the network) with the engine's own cookies, redirects, CORS and URLs. It
// listens on 127.0.0.1 only and serves only the per-run credentials. The
// engine comes through SOCKS, its credentials in the proxy URI its context
// is given (engineURI()), each connection to a destination of its own; the
// proxy ends the TLS of an https one with certificates of its own per-run
// authority, which the engine's context takes. Clients that speak HTTP to a
// proxy (uri()) show the same credentials in Proxy-Authorization, and come
// for https as CONNECT tunnels. It carries each request as the engine wrote
// it: its target byte for byte, its fields as bytes, nothing of its own
// added. The web process extension marks each request of a proxied page
// with protocol::kPageHeader, sealed, which the proxy opens and takes off.
// What it does with each request: ProxyServer, ProxyExchange,
// ProxyWebSocket; who may use what, and how much: ProxyGuards.
//
// All its work runs on a thread of its own, whose run loop sleeps in a GLib
// context of its own; nothing of it runs on the main thread. Every member is
// safe from any thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/Thread.h"
#include "web/WebProcessProtocol.h"

namespace web {

class CertificateAuthority;
namespace proxy {
class Server;
}

class EngineProxy {
public:
    // The process's proxy, started on first use (its thread, its listener);
    // nullptr with a message when it cannot start.
    [[nodiscard]] static EngineProxy* shared(std::string* error);

    // "http://127.0.0.1:<port>", the HTTP proxy.
    [[nodiscard]] std::string uri() const;
    [[nodiscard]] int port() const { return port_; }
    // "socks5://<user>:<password>@127.0.0.1:<socks port>", what the engine's
    // context loads through.
    [[nodiscard]] std::string engineURI() const;
    [[nodiscard]] int socksPort() const { return socksPort_; }
    // The per-run credentials.
    [[nodiscard]] const std::string& user() const { return user_; }
    [[nodiscard]] const std::string& password() const { return password_; }
    // The per-run key (hex) that seals kPageHeader (web/PageMark.h).
    [[nodiscard]] const std::string& pageKey() const { return pageKey_; }
    // The authority its https certificates chain to, PEM.
    [[nodiscard]] std::string authorityPEM() const;

    // Loads the proxy failed, by the page their mark named (0 for loads of
    // no page: a WebSocket's, a service worker's): the engine sees a failed
    // load and nothing of the proxy's, the page's view asks here what the
    // failure was. The newest kMostFailures are kept (of each kind of
    // record below); taking one forgets it, and a page's new load of a URL
    // forgets what the proxy met for that URL before (an earlier load's, an
    // image's).
    static constexpr size_t kMostFailures = 64;
    static void noteFailure(std::uint64_t pageId, std::string url, protocol::ProxyError error);
    [[nodiscard]] static std::optional<protocol::ProxyError> takeFailure(std::uint64_t pageId,
                                                                         std::string_view url);
    static void forgetFailures(std::uint64_t pageId, std::string_view url);
    // How far the proxy got with a marked page's request for the page's own
    // document (its main frame's navigation): received, or answered whole,
    // so that the page's view can tell a load the engine stalled from a
    // slow one. A record lasts until
    // forgotten, or until kMostFailures newer ones came.
    enum class DocumentStage { none, received, answered };
    static void noteDocument(std::uint64_t pageId, std::string url, DocumentStage stage);
    [[nodiscard]] static DocumentStage documentStage(std::uint64_t pageId, std::string_view url);
    static void forgetDocument(std::uint64_t pageId, std::string_view url);

    EngineProxy(const EngineProxy&) = delete;
    EngineProxy& operator=(const EngineProxy&) = delete;

private:
    EngineProxy() = default;

    int port_ = 0;
    int socksPort_ = 0;
    std::string user_;
    std::string password_;
    std::string pageKey_;
    std::shared_ptr<CertificateAuthority> authority_;
    std::shared_ptr<core::Thread> thread_;
    // Made and used on the thread; it lives as long as the process.
    proxy::Server* server_ = nullptr;
};

}  // namespace web
