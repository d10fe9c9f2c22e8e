// The web process side of platform/web's web views, loaded by the engine's
// web process from the folder the web context names. It watches every request
// of every page ("send-request") and:
//  - asks the app's process, over a socket, about each navigation the app
//    let through the engine's policy step undecided (the engine's policy step
//    does not say which frame navigates; here the frame is known), and holds
//    the request when the answer is no;
//  - on pages whose loads go through the app's process (the app says which,
//    once per page), swaps the scheme of every other http(s) request to the
//    routed schemes the app serves.
// The web process's main thread runs all of it; the socket wait is bounded.

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <webkit2/webkit-web-extension.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "web/WebProcessProtocol.h"

namespace {

namespace protocol = web::protocol;

constexpr size_t kMostExpected = 64;

struct Extension {
    std::string socketPath;
    int socket = -1;
    std::uint64_t heldCount = 0;
};

Extension extension;

struct PageState {
    std::deque<std::string> expected;
    // Whether the page's loads go through the app; unknown until asked.
    enum class Route { unknown, yes, no } route = Route::unknown;
};

bool writeAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t wrote = send(fd, bytes, size, MSG_NOSIGNAL);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        bytes += wrote;
        size -= size_t(wrote);
    }
    return true;
}

void disconnect() {
    if (extension.socket >= 0) close(extension.socket);
    extension.socket = -1;
}

bool connectToApp() {
    if (extension.socket >= 0) return true;
    if (extension.socketPath.empty()) return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, extension.socketPath.c_str(), sizeof(address.sun_path) - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return false;
    }
    extension.socket = fd;
    return true;
}

GVariant* headerFields(WebKitURIRequest* request) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a(ss)"));
    if (SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(request)) {
        SoupMessageHeadersIter iterator;
        soup_message_headers_iter_init(&iterator, headers);
        const char* name = nullptr;
        const char* value = nullptr;
        while (soup_message_headers_iter_next(&iterator, &name, &value))
            g_variant_builder_add(&builder, "(ss)", name, value);
    }
    return g_variant_builder_end(&builder);
}

// The app's answer to a query (consumed); 0 when there is none.
char exchange(GVariant* query) {
    if (!connectToApp()) {
        g_variant_unref(g_variant_ref_sink(query));
        return 0;
    }
    g_variant_ref_sink(query);
    const auto size = std::uint32_t(g_variant_get_size(query));
    const bool sent = writeAll(extension.socket, &size, sizeof size) &&
                      writeAll(extension.socket, g_variant_get_data(query), size);
    g_variant_unref(query);
    char answer = 0;
    if (sent) {
        pollfd entry{extension.socket, POLLIN, 0};
        int ready = 0;
        while ((ready = poll(&entry, 1, protocol::kAnswerTimeoutMs)) < 0 && errno == EINTR) {
        }
        if (ready != 1 || recv(extension.socket, &answer, 1, 0) != 1) answer = 0;
    }
    if (answer == 0) disconnect();  // a late answer must not be read as the next one's
    return answer;
}

// The app's answer; a refusal when the app cannot be asked, so that nothing
// undecided leaves the process.
protocol::Decision ask(WebKitWebPage* page, WebKitURIRequest* request, const std::string& url,
                       bool mainFrame, bool redirect) {
    const char* method = webkit_uri_request_get_http_method(request);
    // "@": the header fields go in as a built value.
    const char answer = exchange(g_variant_new(
        "(tbbss@a(ss))", guint64(webkit_web_page_get_id(page)), gboolean(mainFrame),
        gboolean(redirect), method ? method : "GET", url.c_str(), headerFields(request)));
    switch (answer) {
    case char(protocol::Decision::allow):
    case char(protocol::Decision::refuse):
    case char(protocol::Decision::loadInApp):
        return protocol::Decision(answer);
    default:
        std::fprintf(stderr, "vantor web extension: no answer from the app; refusing %s\n",
                     url.c_str());
        return protocol::Decision::refuse;
    }
}

bool takeExpected(PageState& state, const char* uri) {
    for (auto entry = state.expected.begin(); entry != state.expected.end(); ++entry) {
        if (*entry == uri) {
            state.expected.erase(entry);
            return true;
        }
    }
    return false;
}

void hold(WebKitURIRequest* request) {
    const std::string held =
        std::string(protocol::kHeldScheme) + "://" + std::to_string(++extension.heldCount) + "/";
    webkit_uri_request_set_uri(request, held.c_str());
}

// Asked once per page. Without an answer the page is taken as routed (so
// its loads reach the app, which refuses what it cannot serve) and asked
// again at its next load.
bool routes(WebKitWebPage* page, PageState& state) {
    if (state.route != PageState::Route::unknown) return state.route == PageState::Route::yes;
    GVariantBuilder fields;
    g_variant_builder_init(&fields, G_VARIANT_TYPE("a(ss)"));
    const char answer =
        exchange(g_variant_new("(tbbss@a(ss))", guint64(webkit_web_page_get_id(page)), FALSE,
                               FALSE, protocol::kRouteQuery, "", g_variant_builder_end(&fields)));
    if (answer == char(protocol::Decision::allow)) state.route = PageState::Route::yes;
    if (answer == char(protocol::Decision::refuse)) state.route = PageState::Route::no;
    return state.route != PageState::Route::no;
}

void route(WebKitURIRequest* request, std::string_view scheme) {
    const std::string uri = webkit_uri_request_get_uri(request);
    const char* routed = scheme == "https" ? protocol::kRoutedHTTPS : protocol::kRoutedHTTP;
    webkit_uri_request_set_uri(request, (routed + uri.substr(scheme.size())).c_str());
}

gboolean sendRequest(WebKitWebPage* page, WebKitURIRequest* request,
                     WebKitURIResponse* redirectResponse, gpointer data) {
    auto& state = *static_cast<PageState*>(data);
    const char* uri = webkit_uri_request_get_uri(request);
    if (!uri) return FALSE;
    const std::string_view scheme = protocol::schemeOf(uri);
    const bool routed = protocol::isRouted(uri);
    if (scheme != "http" && scheme != "https" && !routed) return FALSE;
    // The main frame's navigation is the request for the page's own URL (for
    // a redirect hop: the one following a response for the page's URL).
    const char* pageURI = webkit_web_page_get_uri(page);
    const char* compared = redirectResponse ? webkit_uri_response_get_uri(redirectResponse) : uri;
    const bool mainFrame = pageURI && compared && std::strcmp(pageURI, compared) == 0;
    const bool expected = takeExpected(state, uri);
    // A "WK"-kind page's main-frame request that the app did not leave
    // undecided was decided in the engine's policy step: it goes on without
    // a round trip to the app.
    if (mainFrame && !expected && !routed && !routes(page, state)) return FALSE;
    if (mainFrame || expected) {
        const auto decision =
            ask(page, request, protocol::unrouted(uri), mainFrame, redirectResponse != nullptr);
        if (decision != protocol::Decision::allow) {
            hold(request);
            return FALSE;
        }
        if (mainFrame) return FALSE;
    }
    if (!routed && routes(page, state)) route(request, scheme);
    return FALSE;
}

gboolean userMessage(WebKitWebPage*, WebKitUserMessage* message, gpointer data) {
    auto& state = *static_cast<PageState*>(data);
    if (std::strcmp(webkit_user_message_get_name(message), protocol::kExpectMessage) != 0)
        return FALSE;
    GVariant* parameters = webkit_user_message_get_parameters(message);
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE_STRING)) return TRUE;
    state.expected.emplace_back(g_variant_get_string(parameters, nullptr));
    if (state.expected.size() > kMostExpected) state.expected.pop_front();
    return TRUE;
}

void pageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer) {
    auto* state = new PageState;
    g_object_set_data_full(G_OBJECT(page), "vantor-page-state", state,
                           [](gpointer data) { delete static_cast<PageState*>(data); });
    g_signal_connect(page, "send-request", G_CALLBACK(sendRequest), state);
    g_signal_connect(page, "user-message-received", G_CALLBACK(userMessage), state);
}

}  // namespace

extern "C" G_MODULE_EXPORT void
webkit_web_extension_initialize_with_user_data(WebKitWebExtension* webExtension, GVariant* data) {
    if (data && g_variant_is_of_type(data, G_VARIANT_TYPE_VARDICT)) {
        const char* socketPath = nullptr;
        if (g_variant_lookup(data, protocol::kSocketKey, "&s", &socketPath))
            extension.socketPath = socketPath;
    }
    g_signal_connect(webExtension, "page-created", G_CALLBACK(pageCreated), nullptr);
}
