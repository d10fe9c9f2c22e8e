#include "web/proxy/ProxyMessages.h"

#include <algorithm>
#include <array>

#include "core/ASCII.h"
#include "web/PageMark.h"
#include "web/WebProcessProtocol.h"
#include "web/proxy/EngineProxy.h"

namespace web::proxy {

namespace {

constexpr std::array<std::string_view, 11> kHopByHop = {"connection",
                                                        "keep-alive",
                                                        "proxy-authorization",
                                                        "proxy-authenticate",
                                                        "proxy-connection",
                                                        "te",
                                                        "trailer",
                                                        "transfer-encoding",
                                                        "upgrade",
                                                        "content-length",
                                                        "expect"};

// Each token of a comma-separated value, as written, blanks around it
// dropped.
template <typename Each>
void forEachToken(std::string_view value, Each each) {
    while (!value.empty()) {
        const size_t comma = value.find(',');
        std::string_view token = value.substr(0, comma);
        while (!token.empty() && (token.front() == ' ' || token.front() == '\t'))
            token.remove_prefix(1);
        while (!token.empty() && (token.back() == ' ' || token.back() == '\t'))
            token.remove_suffix(1);
        if (!token.empty()) each(token);
        if (comma == std::string_view::npos) break;
        value.remove_prefix(comma + 1);
    }
}

void addTokens(std::string_view value, std::vector<std::string>& tokens) {
    forEachToken(value,
                 [&](std::string_view token) { tokens.push_back(core::asciiLowercased(token)); });
}

// Fields of a request in a tunnel that are the proxy's alone: those that
// frame the body, which the URL layer frames anew, a request for "100
// Continue", which the proxy answers itself, and credentials for a proxy.
bool isTheProxys(std::string_view name) {
    return core::HTTPHeaders::sameName(name, "Content-Length") ||
           core::HTTPHeaders::sameName(name, "Transfer-Encoding") ||
           core::HTTPHeaders::sameName(name, "Expect") ||
           core::HTTPHeaders::sameName(name, "Proxy-Authorization");
}

// The "close" of an answer's Connection fields dropped, the fields' other
// tokens kept as written.
void keepConnectionOpen(core::HTTPHeaders& fields) {
    bool closes = false;
    std::string kept;
    for (const auto& value : fields.values("Connection")) {
        forEachToken(value, [&](std::string_view token) {
            if (core::asciiLowercased(token) == "close") {
                closes = true;
            } else {
                kept += (kept.empty() ? "" : ", ") + std::string(token);
            }
        });
    }
    if (!closes) return;
    (void)fields.remove("Connection");
    if (!kept.empty()) fields.add("Connection", std::move(kept));
}

bool hasBody(const std::string& method, int status) {
    return method != "HEAD" && status >= 200 && status != 204 && status != 304;
}

}  // namespace

std::vector<std::string> tokensOf(const core::HTTPHeaders& headers, std::string_view name) {
    std::vector<std::string> tokens;
    for (const auto& value : headers.values(name)) addTokens(value, tokens);
    return tokens;
}

std::vector<std::string> connectionTokens(const core::HTTPHeaders& headers) {
    return tokensOf(headers, "Connection");
}

bool goesOnward(std::string_view name, const std::vector<std::string>& listed) {
    const std::string lower = core::asciiLowercased(name);
    return std::find(kHopByHop.begin(), kHopByHop.end(), lower) == kHopByHop.end() &&
           std::find(listed.begin(), listed.end(), lower) == listed.end() &&
           !core::HTTPHeaders::sameName(name, protocol::kPageHeader);
}

bool isWebSocketUpgrade(const RequestHead& head) {
    const auto protocols = tokensOf(head.fields, "Upgrade");
    return std::find(protocols.begin(), protocols.end(), "websocket") != protocols.end();
}

std::optional<core::URLRequest> onwardRequest(const RequestHead& head, const Target& target,
                                              protocol::PageMarkSeal& pageMarks, bool tunneled) {
    core::URLRequest request(target.url);
    if (!request.setMethod(head.method)) return std::nullopt;
    const auto listed = connectionTokens(head.fields);
    std::optional<protocol::PageMark> mark;
    for (const auto& [name, value] : head.fields) {
        if (core::HTTPHeaders::sameName(name, protocol::kPageHeader)) {
            if (!mark) mark = pageMarks.open(value, head.method, target.url.absoluteString());
            continue;
        }
        // The bytes as they came; a field the URL layer refuses (a NUL, a
        // line end) cannot have come through the head.
        const bool goes = tunneled ? !isTheProxys(name) : goesOnward(name, listed);
        if (goes) (void)request.addValue(name, value);
    }
    if (mark) {
        if (!mark->mainDocumentURL.empty()) {
            if (auto url = core::URL::createFromWeb(mark->mainDocumentURL))
                request.setMainDocumentURL(std::move(*url));
        }
        request.setProperty(protocol::kPageIdProperty, core::Value(mark->pageId));
    }
    return request;
}

std::uint64_t pageOf(const core::URLRequest& request) {
    const auto page = request.property(protocol::kPageIdProperty);
    return page ? page->uintValue() : 0;
}

AnswerStart answerStart(const std::string& method, const core::HTTPURLResponse& response,
                        bool tunneled) {
    AnswerStart start;
    start.status = response.statusCode();
    start.reason = response.reasonPhrase();
    const std::int64_t length = response.expectedContentLength();
    if (tunneled) {
        start.fields = response.headers();
        const auto codings = tokensOf(start.fields, "Transfer-Encoding");
        if (!hasBody(method, start.status)) {
            start.framing = Framing::none;
        } else if (std::find(codings.begin(), codings.end(), "chunked") != codings.end()) {
            start.framing = Framing::chunked;
        } else if (length >= 0) {
            start.framing = Framing::length;
            start.length = length;
        } else {
            // A length the proxy cannot read frames nothing it sends.
            start.fields.remove("Content-Length");
            start.framing = Framing::close;
        }
        // The origin's connection ending is not the engine's: an answer the
        // proxy frames by its length, in chunks or with no body keeps the
        // engine's connection to the proxy, which would otherwise open a
        // new one, through a new SOCKS greeting, for each such answer.
        if (start.framing != Framing::close) keepConnectionOpen(start.fields);
        if (response.HTTPVersion() == "HTTP/1.0" && start.framing != Framing::chunked)
            start.version = "HTTP/1.0";
        return start;
    }
    if (start.status == 407) {
        start.status = 502;
        start.reason.reset();
    }
    const auto listed = connectionTokens(response.headers());
    for (const auto& [name, value] : response.headers())
        if (goesOnward(name, listed)) start.fields.add(name, value);
    if (!hasBody(method, start.status)) {
        // A HEAD answer tells the length of what a GET would get.
        if (method == "HEAD" && length >= 0)
            start.fields.add("Content-Length", std::to_string(length));
        start.framing = Framing::none;
    } else if (length >= 0) {
        start.framing = Framing::length;
        start.length = length;
    } else {
        start.framing = Framing::chunked;
    }
    return start;
}

void answerFailure(Connection& connection, const core::NetworkError& error, std::uint64_t page,
                   std::string url) {
    EngineProxy::noteFailure(page, url.empty() ? error.url : std::move(url),
                             {error.platformCode(), error.message});
    connection.fail();
}

bool isDocumentRequest(const core::URLRequest& request) {
    // The page names its document as the engine wrote it; the request's
    // URL is as the network stack sent it.
    const auto& document = request.mainDocumentURL();
    return request.hasProperty(protocol::kPageIdProperty) && document &&
           protocol::sentURL(document->absoluteString()) == request.url().absoluteString();
}

}  // namespace web::proxy
