#include "web/NavigationBodyServer.h"

#include <libsoup/soup.h>
#include <sys/random.h>

#include <charconv>
#include <memory>

#include "core/Console.h"
#include "core/MD5.h"

namespace web {

namespace {

constexpr const char* kGatheredKey = "vantor-body";

// A body read in pieces, dropped once it grows past the bound (a chunked
// body announces no length to refuse it by).
struct Gathered {
    core::Data bytes;
    bool tooLarge = false;
};

void gatherChunk(SoupServerMessage* message, GBytes* chunk, gpointer) {
    auto* gathered = static_cast<Gathered*>(g_object_get_data(G_OBJECT(message), kGatheredKey));
    if (!gathered || gathered->tooLarge) return;
    gsize size = 0;
    const auto* bytes = static_cast<const std::uint8_t*>(g_bytes_get_data(chunk, &size));
    if (gathered->bytes.size() + size > NavigationBodyServer::kMostBodyBytes) {
        gathered->tooLarge = true;
        core::Data().swap(gathered->bytes);
        return;
    }
    gathered->bytes.insert(gathered->bytes.end(), bytes, bytes + size);
}

// 128 random bits as hex; empty when the system gives none.
std::string randomToken() {
    std::uint8_t bytes[16];
    if (getrandom(bytes, sizeof bytes, 0) != ssize_t(sizeof bytes)) return {};
    return core::hexString(bytes);
}

}  // namespace

NavigationBodyServer* NavigationBodyServer::shared(std::string* error) {
    static NavigationBodyServer* server = nullptr;
    static std::string failure;
    if (server) return server;
    if (failure.empty()) {
        const std::string token = randomToken();
        SoupServer* soup = SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, nullptr));
        GError* listenError = nullptr;
        GSList* uris = nullptr;
        if (token.empty()) {
            failure = "no random token";
        } else if (!soup_server_listen_local(soup, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, &listenError)) {
            failure = listenError ? listenError->message : "cannot listen";
            g_clear_error(&listenError);
        } else if (!(uris = soup_server_get_uris(soup))) {
            failure = "no address";
        }
        if (!failure.empty()) {
            g_object_unref(soup);
            failure = "web views: cannot take navigation bodies: " + failure;
            core::Console::log(failure);
        } else {
            std::unique_ptr<NavigationBodyServer> made(new NavigationBodyServer);
            made->path_ = "/" + token + "/";
            made->baseURL_ = "http://127.0.0.1:" +
                             std::to_string(g_uri_get_port(static_cast<GUri*>(uris->data))) +
                             made->path_;
            g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
            server = made.release();  // for the life of the process, as its listener
            // Refused before the body is read: too long, or not ours.
            soup_server_add_early_handler(
                soup, nullptr,
                [](SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                   gpointer) {
                    SoupMessageHeaders* headers = soup_server_message_get_request_headers(message);
                    // The body, when it is read at all, is gathered here in pieces.
                    soup_message_body_set_accumulate(soup_server_message_get_request_body(message),
                                                     FALSE);
                    if (!std::string_view(path).starts_with(server->path_)) {
                        soup_server_message_set_status(message, SOUP_STATUS_NOT_FOUND, nullptr);
                    } else if (soup_message_headers_get_content_length(headers) >
                               goffset(kMostBodyBytes)) {
                        soup_server_message_set_status(
                            message, SOUP_STATUS_REQUEST_ENTITY_TOO_LARGE, nullptr);
                    } else {
                        g_object_set_data_full(
                            G_OBJECT(message), kGatheredKey, new Gathered,
                            [](gpointer gathered) { delete static_cast<Gathered*>(gathered); });
                        g_signal_connect(message, "got-chunk", G_CALLBACK(gatherChunk), nullptr);
                    }
                },
                nullptr, nullptr);
            soup_server_add_handler(
                soup, nullptr,
                [](SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                   gpointer) {
                    soup_server_message_set_status(message, SOUP_STATUS_NO_CONTENT, nullptr);
                    std::string_view rest(path);
                    if (!rest.starts_with(server->path_)) return;
                    auto* gathered =
                        static_cast<Gathered*>(g_object_get_data(G_OBJECT(message), kGatheredKey));
                    if (!gathered || gathered->tooLarge) {
                        soup_server_message_set_status(
                            message, SOUP_STATUS_REQUEST_ENTITY_TOO_LARGE, nullptr);
                        return;
                    }
                    rest.remove_prefix(server->path_.size());
                    Body body;
                    const auto [end, parsed] =
                        std::from_chars(rest.data(), rest.data() + rest.size(), body.pageId);
                    if (parsed != std::errc() || end == rest.data() || !server->handler_) return;
                    body.data = std::move(gathered->bytes);
                    body.method = soup_server_message_get_method(message);
                    if (const char* type = soup_message_headers_get_one(
                            soup_server_message_get_request_headers(message), "Content-Type"))
                        body.contentType = type;
                    const auto handler = server->handler_;  // (it may set another)
                    handler(std::move(body));
                },
                nullptr, nullptr);
        }
    }
    if (!server && error) *error = failure;
    return server;
}

}  // namespace web
