// WebView: schemes the app serves. A request to one goes to the view whose
// page made it, and the scheme's handler answers it (URLSchemeTask); a
// navigation the web process held (kHeldScheme) is failed, which keeps the
// frame's document.

#include <libsoup/soup.h>

#include <utility>

#include "web/EngineMessages.h"
#include "web/WebProcessProtocol.h"
#include "web/WebViewEngine.h"

namespace web {

namespace {

// Without a Content-Type the engine sniffs the body.
std::optional<std::string> contentType(const core::HTTPURLResponse& response) {
    if (!response.mimeType()) return std::nullopt;
    std::string type = *response.mimeType();
    if (const auto& charset = response.textEncodingName()) type += "; charset=" + *charset;
    return type;
}

bool passesThrough(std::string_view name) {
    // The body is handed over whole: its framing is the engine's.
    for (const char* dropped :
         {"Content-Length", "Transfer-Encoding", "Content-Encoding", "Connection", "Keep-Alive"}) {
        if (core::HTTPHeaders::sameName(name, dropped)) return false;
    }
    return true;
}

void finishWithError(WebKitURISchemeRequest* request, const std::string& message) {
    GError* error =
        g_error_new_literal(g_quark_from_static_string("vantor-web"), 1, message.c_str());
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
}

void finishWithResponse(WebKitURISchemeRequest* request, const core::HTTPURLResponse& response,
                        const core::Data& body) {
    GBytes* bytes = g_bytes_new(body.data(), body.size());
    GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
    g_bytes_unref(bytes);
    WebKitURISchemeResponse* answer = webkit_uri_scheme_response_new(stream, gint64(body.size()));
    g_object_unref(stream);
    webkit_uri_scheme_response_set_status(answer, guint(response.statusCode()), nullptr);
    if (const auto type = contentType(response))
        webkit_uri_scheme_response_set_content_type(answer, type->c_str());
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    for (const auto& [name, value] : response.headers()) {
        if (passesThrough(name)) soup_message_headers_append(headers, name.c_str(), value.c_str());
    }
    webkit_uri_scheme_response_set_http_headers(answer, headers);
    webkit_uri_scheme_request_finish_with_response(request, answer);
    g_object_unref(answer);
}

}  // namespace

void WebView::Engine::serveSchemeRequest(WebKitURISchemeRequest* request) {
    const std::string scheme = webkit_uri_scheme_request_get_scheme(request);
    const std::string uri = webkit_uri_scheme_request_get_uri(request);
    if (scheme == protocol::kHeldScheme) {
        finishWithError(request, "The navigation was held.");
        return;
    }
    const auto handler = owner.schemeHandlers_.find(scheme);
    const auto parsed = urlOfEngine(uri);
    if (handler == owner.schemeHandlers_.end() || !parsed) {
        finishWithError(request, "Nothing serves " + uri);
        return;
    }
    core::URLRequest asked = requestOf(request, *parsed);
    std::shared_ptr<WebKitURISchemeRequest> held(
        WEBKIT_URI_SCHEME_REQUEST(g_object_ref(request)),
        [](WebKitURISchemeRequest* object) { g_object_unref(object); });
    auto task = std::make_shared<URLSchemeTask>(
        std::move(asked),
        [held, parsed = *parsed](int status, const core::HTTPHeaders& headers,
                                 const core::Data& body) {
            finishWithResponse(held.get(), core::HTTPURLResponse(parsed, status, headers), body);
        },
        [held](const std::string& message) { finishWithError(held.get(), message); });
    handler->second(std::move(task));
}

void WebView::setURLSchemeHandler(const std::string& scheme, SchemeHandler handler) {
    schemeHandlers_[scheme] = std::move(handler);
    engine_->context->serveScheme(scheme);
}

}  // namespace web
