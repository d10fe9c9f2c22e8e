#include "web/proxy/ProxyMessages.h"

#include <algorithm>
#include <array>

#include "core/ASCII.h"
#include "web/WebProcessProtocol.h"

namespace web::proxy {

namespace {

constexpr std::array<std::string_view, 12> kHopByHop = {"connection",
                                                        "keep-alive",
                                                        "proxy-authorization",
                                                        "proxy-authenticate",
                                                        "proxy-connection",
                                                        "te",
                                                        "trailer",
                                                        "transfer-encoding",
                                                        "upgrade",
                                                        "host",
                                                        "content-length",
                                                        "expect"};

void addTokens(std::string_view value, std::vector<std::string>& tokens) {
    while (!value.empty()) {
        const size_t comma = value.find(',');
        std::string_view token = value.substr(0, comma);
        while (!token.empty() && (token.front() == ' ' || token.front() == '\t'))
            token.remove_prefix(1);
        while (!token.empty() && (token.back() == ' ' || token.back() == '\t'))
            token.remove_suffix(1);
        if (!token.empty()) tokens.push_back(core::asciiLowercased(token));
        if (comma == std::string_view::npos) break;
        value.remove_prefix(comma + 1);
    }
}

bool hasBody(const std::string& method, int status) {
    return method != "HEAD" && status >= 200 && status != 204 && status != 304;
}

void breakOffAfterHeaders(SoupServerMessage*, gpointer socket) {
    breakOff(G_SOCKET(socket));
}

}  // namespace

std::vector<std::string> connectionTokens(SoupMessageHeaders* headers) {
    std::vector<std::string> tokens;
    SoupMessageHeadersIter iterator;
    soup_message_headers_iter_init(&iterator, headers);
    const char* name = nullptr;
    const char* value = nullptr;
    while (soup_message_headers_iter_next(&iterator, &name, &value)) {
        if (core::HTTPHeaders::sameName(name, "Connection")) addTokens(value, tokens);
    }
    return tokens;
}

std::vector<std::string> connectionTokens(const core::HTTPHeaders& headers) {
    std::vector<std::string> tokens;
    for (const auto& value : headers.values("Connection")) addTokens(value, tokens);
    return tokens;
}

bool isHopByHop(std::string_view name, const std::vector<std::string>& listed) {
    const std::string lower = core::asciiLowercased(name);
    return std::find(kHopByHop.begin(), kHopByHop.end(), lower) != kHopByHop.end() ||
           std::find(listed.begin(), listed.end(), lower) != listed.end();
}

bool isWebSocketUpgrade(SoupServerMessage* message) {
    SoupMessageHeaders* headers = soup_server_message_get_request_headers(message);
    const char* upgrade = soup_message_headers_get_list(headers, "Upgrade");
    if (!upgrade) return false;
    std::vector<std::string> protocols;
    addTokens(upgrade, protocols);
    return std::find(protocols.begin(), protocols.end(), "websocket") != protocols.end();
}

std::string viaWithHopMark(const char* via, std::string_view name) {
    std::string value = via && *via ? std::string(via) + ", " : std::string();
    return value + "1.1 " + std::string(name);
}

bool carriesHopMark(SoupMessageHeaders* headers, std::string_view name) {
    const char* via = soup_message_headers_get_list(headers, "Via");
    if (!via || name.empty()) return false;
    std::vector<std::string> elements;
    addTokens(via, elements);
    const std::string wanted = core::asciiLowercased(name);
    for (const std::string& element : elements) {
        // "<protocol> <received-by> [comment]"
        const size_t start = element.find_first_of(" \t");
        if (start == std::string::npos) continue;
        const size_t by = element.find_first_not_of(" \t", start);
        if (by == std::string::npos) continue;
        const size_t end = element.find_first_of(" \t", by);
        if (element.compare(by, end == std::string::npos ? std::string::npos : end - by, wanted) ==
            0)
            return true;
    }
    return false;
}

void markHop(core::URLRequest& request, std::string_view name) {
    const auto via = request.value("Via");
    (void)request.setValue("Via", viaWithHopMark(via ? via->c_str() : nullptr, name));
}

std::optional<core::URLRequest> onwardRequest(SoupServerMessage* message, const Target& target,
                                              protocol::PageMarkSeal& pageMarks, core::Data body) {
    core::URLRequest request(target.url);
    const char* method = soup_server_message_get_method(message);
    if (!request.setMethod(method)) return std::nullopt;
    SoupMessageHeaders* headers = soup_server_message_get_request_headers(message);
    const auto listed = connectionTokens(headers);
    std::optional<protocol::PageMark> mark;
    SoupMessageHeadersIter iterator;
    soup_message_headers_iter_init(&iterator, headers);
    const char* name = nullptr;
    const char* value = nullptr;
    while (soup_message_headers_iter_next(&iterator, &name, &value)) {
        if (core::HTTPHeaders::sameName(name, protocol::kPageHeader)) {
            if (!mark) mark = pageMarks.open(value, method, target.url.absoluteString());
            continue;
        }
        // A field the URL layer refuses (no token, a control character)
        // stays behind.
        if (!isHopByHop(name, listed)) (void)request.addValue(name, value);
    }
    if (mark) {
        if (!mark->mainDocumentURL.empty()) {
            if (auto url = core::URL::create(mark->mainDocumentURL))
                request.setMainDocumentURL(std::move(*url));
        }
        request.setProperty(protocol::kPageIdProperty, core::Value(mark->pageId));
    }
    request.setBody(std::move(body));
    return request;
}

bool answer(SoupServerMessage* message, const core::HTTPURLResponse& response) {
    const int status = response.statusCode() == SOUP_STATUS_PROXY_AUTHENTICATION_REQUIRED
                           ? SOUP_STATUS_BAD_GATEWAY
                           : response.statusCode();
    soup_server_message_set_status(message, guint(status), nullptr);
    SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
    // libsoup dates every answer; the origin's date wins.
    if (response.headers().contains("Date")) soup_message_headers_remove(headers, "Date");
    const auto listed = connectionTokens(response.headers());
    for (const auto& [name, value] : response.headers()) {
        // Only the proxy tells of its failures.
        if (!isHopByHop(name, listed) &&
            !core::HTTPHeaders::sameName(name, protocol::kProxyErrorHeader))
            soup_message_headers_append(headers, name.c_str(), value.c_str());
    }
    const std::string method = soup_server_message_get_method(message);
    const std::int64_t length = response.expectedContentLength();
    if (!hasBody(method, status)) {
        // A HEAD answer tells the length of what a GET would get.
        if (method == "HEAD" && length >= 0)
            soup_message_headers_set_content_length(headers, length);
        else
            soup_message_headers_set_encoding(headers, SOUP_ENCODING_NONE);
        return false;
    }
    if (length >= 0) {
        soup_message_headers_set_content_length(headers, length);
    } else {
        soup_message_headers_set_encoding(headers, SOUP_ENCODING_CHUNKED);
    }
    return true;
}

void answerFailure(const Server& server, SoupServerMessage* message,
                   const core::NetworkError& error) {
    const std::string value = protocol::proxyErrorValue(error.platformCode(), error.message);
    const std::string body = value + "\n";
    soup_server_message_set_status(message, SOUP_STATUS_BAD_GATEWAY, nullptr);
    SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
    soup_message_headers_replace(headers, protocol::kProxyErrorHeader, value.c_str());
    soup_message_headers_replace(headers, "Content-Type", "text/plain; charset=utf-8");
    soup_message_headers_replace(headers, "Cache-Control", "no-store");
    soup_message_headers_set_content_length(headers, goffset(body.size() + 1));
    SoupMessageBody* responseBody = soup_server_message_get_response_body(message);
    soup_message_body_append(responseBody, SOUP_MEMORY_COPY, body.data(), body.size());
    soup_message_body_complete(responseBody);
    if (GSocket* socket = server.clientSocket(message)) {
        g_signal_connect_data(
            message, "wrote-headers", G_CALLBACK(breakOffAfterHeaders), g_object_ref(socket),
            [](gpointer socket, GClosure*) { g_object_unref(socket); }, GConnectFlags(0));
    }
    soup_server_message_unpause(message);
}

bool isDocumentRequest(const core::URLRequest& request) {
    return request.hasProperty(protocol::kPageIdProperty) &&
           request.mainDocumentURL() == request.url();
}

void breakOff(GSocket* socket) {
    if (socket && !g_socket_is_closed(socket)) (void)g_socket_shutdown(socket, TRUE, TRUE, nullptr);
}

}  // namespace web::proxy
