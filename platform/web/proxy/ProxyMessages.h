#pragma once
// What the engine proxy makes of a request head and of an onward answer:
// the onward request (the head's method, target and fields as written, but
// the hop-by-hop fields and the page mark, which it reads), the head of the
// answer to the client (the origin's status line and fields as they came,
// but the hop-by-hop ones), and a failure answered so that the engine sees
// a failed load, as it would without the proxy. The proxy's thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/HTTPURLResponse.h"
#include "core/NetworkError.h"
#include "core/URLRequest.h"
#include "web/PageMark.h"
#include "web/proxy/ProxyConnection.h"
#include "web/proxy/ProxyHead.h"
#include "web/proxy/ProxyServer.h"

namespace web::proxy {

// The comma-separated elements of every value of a field, trimmed, in lower
// case ("chunked" of Transfer-Encoding), and those of Connection.
[[nodiscard]] std::vector<std::string> tokensOf(const core::HTTPHeaders& headers,
                                                std::string_view name);
[[nodiscard]] std::vector<std::string> connectionTokens(const core::HTTPHeaders& headers);
// The one list of which fields go on past the proxy, either way (requests
// to origins, a WebSocket's upgrade, answers to the engine): all but those
// that concern one hop only (Connection and what it names in listed,
// Keep-Alive, the Proxy-* fields, TE, Trailer, Transfer-Encoding, Upgrade,
// Expect), Content-Length (the sending side writes it as it frames the
// body), and the page mark, which the proxy reads and takes off. Host is
// the client's: it goes on as written.
[[nodiscard]] bool goesOnward(std::string_view name, const std::vector<std::string>& listed);

[[nodiscard]] bool isWebSocketUpgrade(const RequestHead& head);

// The request that goes on for head, without its body: its method, target
// and fields but every page mark and the hop-by-hop ones (of a request in a
// tunnel, whose client takes the proxy for the origin, only those that
// frame its body, ask the proxy for "100 Continue" or hold credentials for
// a proxy); a mark that opens
// for this request sets the main document URL and the page id property.
// nullopt for a method the URL layer refuses.
[[nodiscard]] std::optional<core::URLRequest> onwardRequest(const RequestHead& head,
                                                            const Target& target,
                                                            protocol::PageMarkSeal& pageMarks,
                                                            bool tunneled);
// The page a request belongs to; 0 for none.
[[nodiscard]] std::uint64_t pageOf(const core::URLRequest& request);

// The answer to the client for an origin's response to a request of method,
// however the proxy had it (an onward load's, a WebSocket origin's head):
// its status line, its fields and how its body is framed.
//  - In a tunnel (the engine's every connection, and CONNECT's), the client
//    takes the proxy for the origin: it gets the origin's HTTP version,
//    status and every field as sent, hop-by-hop ones included, and the body
//    framed as the origin framed it (by its length, in chunks, or to the
//    close), so the origin's framing fields stand as they came (a length
//    the proxy cannot read goes, and the body runs to the close).
//  - A client that asks the proxy itself for an absolute URL gets the
//    fields that go onward, framing fields of the proxy's own (a body to the
//    close goes in chunks), and an origin's 407 as 502: only the proxy asks
//    for the proxy's credentials.
struct AnswerStart {
    // The status line's: the origin's "HTTP/1.0" in a tunnel, else HTTP/1.1.
    std::string version = "HTTP/1.1";
    int status = 0;
    std::optional<std::string> reason;
    core::HTTPHeaders fields;
    Framing framing = Framing::none;
    std::int64_t length = 0;
};
[[nodiscard]] AnswerStart answerStart(const std::string& method,
                                      const core::HTTPURLResponse& response, bool tunneled);

// The load of a request failed before its answer began: the client sees a
// failed load and nothing of the proxy's (Connection::fail), as it would had
// it met the failure itself, and the failure is kept for the request's page
// (0 for a load of no page) under url (the error's when empty), for the
// page's view to ask about (EngineProxy::takeFailure).
void answerFailure(Connection& connection, const core::NetworkError& error, std::uint64_t page = 0,
                   std::string url = {});

// A marked page's request for the page's own document (its main frame's
// navigation).
[[nodiscard]] bool isDocumentRequest(const core::URLRequest& request);

}  // namespace web::proxy
