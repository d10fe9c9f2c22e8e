#pragma once
// What the engine proxy reads from and writes to the messages of its libsoup
// servers: the onward request a message becomes (without the hop-by-hop
// fields and the page mark, which it reads), the fields of an answer, a
// failure answered so that the engine sees a failed load. The proxy's thread.

#include <libsoup/soup.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/HTTPURLResponse.h"
#include "core/NetworkError.h"
#include "core/URLRequest.h"
#include "web/PageMark.h"
#include "web/proxy/ProxyServer.h"

namespace web::proxy {

// The names a Connection field lists, in lower case.
[[nodiscard]] std::vector<std::string> connectionTokens(SoupMessageHeaders* headers);
[[nodiscard]] std::vector<std::string> connectionTokens(const core::HTTPHeaders& headers);
// Fields that concern one hop only (a proxy's credentials among them), or
// that the sending side writes itself (Host, Content-Length).
[[nodiscard]] bool isHopByHop(std::string_view name, const std::vector<std::string>& listed);

[[nodiscard]] bool isWebSocketUpgrade(SoupServerMessage* message);

// The proxy's hop mark: an element "1.1 <name>" of Via, name being
// Credentials::via. What a request's Via becomes with the mark added last;
// whether headers carry it in any element.
[[nodiscard]] std::string viaWithHopMark(const char* via, std::string_view name);
[[nodiscard]] bool carriesHopMark(SoupMessageHeaders* headers, std::string_view name);
// Adds the mark to an onward request.
void markHop(core::URLRequest& request, std::string_view name);

// The request that goes on for message: its method, target and fields but
// the hop-by-hop ones and every page mark; a mark that opens for this
// request sets the main document URL and the page id property. nullopt for
// a method the URL layer refuses.
[[nodiscard]] std::optional<core::URLRequest> onwardRequest(SoupServerMessage* message,
                                                            const Target& target,
                                                            protocol::PageMarkSeal& pageMarks,
                                                            core::Data body);

// Sets the status and fields of response on message (an origin's 407 turns
// into 502) and how its body is framed; false when it has no body.
bool answer(SoupServerMessage* message, const core::HTTPURLResponse& response);

// Answers 502 with protocol::kProxyErrorHeader and a Content-Length beyond
// what is sent, breaks the connection off once the fields are out, and
// unpauses message.
void answerFailure(const Server& server, SoupServerMessage* message,
                   const core::NetworkError& error);

// A marked page's request for the page's own document (its main frame's
// navigation).
[[nodiscard]] bool isDocumentRequest(const core::URLRequest& request);

// Ends a client connection at once, both ways, so that a body under way
// breaks off; libsoup then fails at its next read or write and lets the
// message go.
void breakOff(GSocket* socket);

}  // namespace web::proxy
