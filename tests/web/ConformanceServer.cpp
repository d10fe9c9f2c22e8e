#include "ConformanceServer.h"

#include <libsoup/soup.h>

#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "WebViewTesting.h"
#include "core/JSON.h"

namespace webtesting {

namespace {

// Put before every registered page: the helpers the pages share.
constexpr const char* kPageHelpers = R"(<!doctype html><meta charset=utf-8><script>
const A = '%A%', B = '%B%', C = '%C%', OA = '%OA%', OB = '%OB%', OC = '%OC%', RUN = '%RUN%';
window.obs = {};
// What the page observed, as text.
function note(key, value) { obs[key] = typeof value === 'string' ? value : JSON.stringify(value); }
// The main frame's observations are read once this is set.
function done() { window.conformanceDone = true; }
// What p gives, "error <name>" when it fails, or "timeout" after ms.
function settle(p, ms) {
  return Promise.race([
    Promise.resolve(p).then(v => v, e => 'error ' + (e && e.name ? e.name : String(e))),
    new Promise(r => setTimeout(() => r('timeout'), ms || 3000))]);
}
// The next message event that test accepts, or "timeout".
function nextMessage(test, ms) {
  let listener;
  return settle(new Promise(r => {
    listener = e => { if (!test || test(e)) r(e); };
    addEventListener('message', listener);
  }), ms).finally(() => removeEventListener('message', listener));
}
// Whether test() came to hold within ms (checked every 10 ms).
function eventually(test, ms) {
  const end = Date.now() + (ms || 1000);
  return new Promise(r => {
    const check = () => test() ? r(true) : Date.now() > end ? r(false) : setTimeout(check, 10);
    check();
  });
}
// "load" or "error" of an element, or "timeout".
function loaded(element, ms) {
  return settle(new Promise(r => {
    element.addEventListener('load', () => r('load'));
    element.addEventListener('error', () => r('error'));
  }), ms);
}
// The value of fn as "ok <text>", or the name of what it throws.
function attempt(fn) { try { return 'ok ' + String(fn()); } catch (e) { return e.name; } }
// document.cookie's pairs, sorted.
function cookies() { return document.cookie.split('; ').filter(Boolean).sort().join('; '); }
</script>
)";

std::atomic<unsigned> runs{0};

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::string unescape(const std::string& text) {
    std::string plus = text;
    std::replace(plus.begin(), plus.end(), '+', ' ');
    char* decoded = g_uri_unescape_string(plus.c_str(), nullptr);
    if (!decoded) return text;
    std::string out(decoded);
    g_free(decoded);
    return out;
}

// The query's items in the order sent, decoded.
std::vector<std::pair<std::string, std::string>> queryItems(const char* query) {
    std::vector<std::pair<std::string, std::string>> items;
    if (!query) return items;
    const std::string text(query);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('&', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(start, end - start);
        if (!item.empty()) {
            const size_t equals = item.find('=');
            items.emplace_back(unescape(item.substr(0, equals)),
                               equals == std::string::npos ? ""
                                                           : unescape(item.substr(equals + 1)));
        }
        start = end + 1;
    }
    return items;
}

std::string headerValue(SoupMessageHeaders* headers, const char* name) {
    const char* value = soup_message_headers_get_one(headers, name);
    return value ? value : "";
}

std::string jsString(const std::string& text) {
    return core::JSON::write(core::Value(text)).value_or("''");
}

// Cookie pairs in order, so that the order the engine sends them in does
// not count.
std::string sortedCookies(const std::string& header) {
    std::vector<std::string> pairs;
    size_t start = 0;
    while (start < header.size()) {
        size_t end = header.find(';', start);
        if (end == std::string::npos) end = header.size();
        std::string pair = header.substr(start, end - start);
        while (!pair.empty() && pair.front() == ' ') pair.erase(0, 1);
        if (!pair.empty()) pairs.push_back(pair);
        start = end + 1;
    }
    std::sort(pairs.begin(), pairs.end());
    std::string joined;
    for (const auto& pair : pairs) joined += (joined.empty() ? "" : "; ") + pair;
    return joined;
}

// A multipart body as "name=value" for fields and "name=@file(type):content"
// for files, joined by "; ".
std::string multipartText(SoupMessageHeaders* headers, GBytes* body) {
    SoupMultipart* multipart = soup_multipart_new_from_message(headers, body);
    if (!multipart) return "(unreadable multipart)";
    std::string text;
    for (int i = 0; i < soup_multipart_get_length(multipart); ++i) {
        SoupMessageHeaders* partHeaders = nullptr;
        GBytes* partBody = nullptr;
        if (!soup_multipart_get_part(multipart, i, &partHeaders, &partBody)) continue;
        GHashTable* params = nullptr;
        std::string name, file;
        if (soup_message_headers_get_content_disposition(partHeaders, nullptr, &params)) {
            if (const char* value = static_cast<const char*>(g_hash_table_lookup(params, "name")))
                name = value;
            if (const char* value =
                    static_cast<const char*>(g_hash_table_lookup(params, "filename")))
                file = value;
            g_hash_table_destroy(params);
        }
        gsize size = 0;
        const char* data = static_cast<const char*>(g_bytes_get_data(partBody, &size));
        const std::string content(data ? data : "", size);
        text += text.empty() ? "" : "; ";
        if (!file.empty() || soup_message_headers_get_one(partHeaders, "Content-Type")) {
            const char* type = soup_message_headers_get_content_type(partHeaders, nullptr);
            text += name + "=@" + file + "(" + (type ? type : "") + "):" + content;
        } else {
            text += name + "=" + content;
        }
    }
    soup_multipart_free(multipart);
    return text;
}

std::uint32_t crc32Of(const std::string& bytes, size_t from) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> made{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            made[n] = c;
        }
        return made;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i)
        c = table[(c ^ std::uint8_t(bytes[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void appendBigEndian(std::string& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes += char((value >> shift) & 0xFF);
}

// A PNG of width x height RGB pixels in stored (uncompressed) deflate
// blocks: as large as its pixels.
std::string storedPng(std::uint32_t width, std::uint32_t height) {
    std::string raw;
    raw.reserve(size_t(height) * (1 + width * 3));
    for (std::uint32_t y = 0; y < height; ++y) {
        raw += '\0';
        for (std::uint32_t x = 0; x < width; ++x) {
            raw += char(x * 255 / width);
            raw += char(y * 255 / height);
            raw += char((x ^ y) & 0xFF);
        }
    }
    std::string png = "\x89PNG\r\n\x1a\n";
    const auto chunk = [&png](const char* type, const std::string& data) {
        appendBigEndian(png, std::uint32_t(data.size()));
        const size_t start = png.size();
        png += type;
        png += data;
        appendBigEndian(png, crc32Of(png, start));
    };
    std::string header;
    appendBigEndian(header, width);
    appendBigEndian(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);
    chunk("IHDR", header);
    std::string deflated = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (const char byte : raw) {
        a = (a + std::uint8_t(byte)) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size(); at += 65535) {
        const size_t length = std::min<size_t>(65535, raw.size() - at);
        deflated += char(at + length == raw.size() ? 1 : 0);
        deflated += char(length & 0xFF);
        deflated += char(length >> 8);
        deflated += char(~length & 0xFF);
        deflated += char((~length >> 8) & 0xFF);
        deflated.append(raw, at, length);
    }
    appendBigEndian(deflated, (b << 16) | a);
    chunk("IDAT", deflated);
    chunk("IEND", "");
    return png;
}

// The bytes of type=bytes from offset on: "0123456789" repeated.
std::string patternBytes(std::uint64_t offset, size_t count) {
    std::string bytes(count, '0');
    for (size_t i = 0; i < count; ++i) bytes[i] = char('0' + (offset + i) % 10);
    return bytes;
}

// Resets a connection (RST) under libsoup without closing its descriptor,
// which libsoup still holds: its next read or write fails.
void resetConnection(SoupServerMessage* message) {
    GSocket* socket = soup_server_message_get_socket(message);
    if (!socket) return;
    sockaddr unspecified{};
    unspecified.sa_family = AF_UNSPEC;
    (void)connect(g_socket_get_fd(socket), &unspecified, sizeof unspecified);
}

}  // namespace

const std::vector<std::string> ConformanceServer::kLoggedFields = {"Cookie",
                                                                   "Origin",
                                                                   "Referer",
                                                                   "Content-Type",
                                                                   "Sec-Fetch-Site",
                                                                   "Accept-Language",
                                                                   "Access-Control-Request-Method",
                                                                   "Access-Control-Request-Headers",
                                                                   "X-Conformance"};

std::string ConformanceRequest::describe() const {
    std::string text = line();
    for (const auto& [name, value] : fields) text += "\n    " + name + ": " + value;
    if (!body.empty()) text += "\n    body: " + body;
    return text;
}

class ConformanceServer::Impl {
public:
    struct Logged {
        std::string run;
        ConformanceRequest request;  // as received: ports, run folder and all
    };

    Impl() {
        std::promise<void> ready;
        auto started = ready.get_future();
        thread_ = std::thread([this, &ready] { serve(ready); });
        started.wait();
    }

    ~Impl() {
        g_main_context_invoke(
            context_,
            [](gpointer loop) {
                g_main_loop_quit(static_cast<GMainLoop*>(loop));
                return G_SOURCE_REMOVE;
            },
            loop_);
        thread_.join();
    }

    std::string origin(char label) const {
        if (label == 'C') return "http://localhost:" + std::to_string(ports_[1]);
        return "http://127.0.0.1:" + std::to_string(label == 'B' ? ports_[1] : ports_[0]);
    }

    void page(const std::string& path, std::string html) {
        std::lock_guard lock(mutex_);
        pages_[path] = std::move(html);
    }

    std::vector<ConformanceRequest> log(const std::string& run) const {
        std::vector<ConformanceRequest> found;
        std::lock_guard lock(mutex_);
        for (const auto& logged : log_) {
            if (logged.run != run) continue;
            ConformanceRequest request = logged.request;
            request.target = normalise(request.target, run);
            request.body = normalise(request.body, run);
            for (auto& [name, value] : request.fields) value = normalise(value, run);
            found.push_back(std::move(request));
        }
        return found;
    }

    std::string normalise(std::string text, const std::string& run) const {
        for (int i = 0; i < 2; ++i)
            replaceAll(text, "127.0.0.1:" + std::to_string(ports_[i]), i == 0 ? "A" : "B");
        replaceAll(text, "localhost:" + std::to_string(ports_[1]), "C");
        // The run's folder, as a whole path segment.
        std::string out;
        for (size_t at = 0; at < text.size();) {
            const size_t found = text.find(run, at);
            if (found == std::string::npos) {
                out += text.substr(at);
                break;
            }
            const size_t end = found + run.size();
            const bool whole = end == text.size() || text[end] == '/' || text[end] == '?' ||
                               text[end] == '"' || text[end] == '\'' || text[end] == ' ' ||
                               text[end] == ';' || text[end] == '#';
            out += text.substr(at, found - at);
            if (!whole) out += run;
            at = end;
        }
        return out;
    }

private:
    struct Stream {
        SoupServerMessage* message;
        int sent;
    };

    // A body that goes out no faster than libsoup writes it (the next piece
    // once the last is out), or in pieces on a timer; kept on its message.
    struct Outgoing {
        SoupServerMessage* message = nullptr;
        std::shared_ptr<const std::string> content;  // null: the pattern
        std::uint64_t size = 0;
        std::uint64_t cut = UINT64_MAX;
        std::uint64_t appended = 0;
        std::uint64_t piece = 0;  // on the timer; 0: as libsoup writes
        size_t chunksAppended = 0;
        size_t chunksWritten = 0;
        GSource* timer = nullptr;

        ~Outgoing() {
            if (timer) {
                g_source_destroy(timer);
                g_source_unref(timer);
            }
        }
    };
    // Pieces going out as libsoup writes them: a few, so that it never waits.
    static constexpr std::uint64_t kPieceBytes = 64 * 1024;

    void serve(std::promise<void>& ready) {
        context_ = g_main_context_new();
        g_main_context_push_thread_default(context_);
        loop_ = g_main_loop_new(context_, FALSE);
        for (int i = 0; i < 2; ++i) {
            servers_[i] = SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, nullptr));
            GError* error = nullptr;
            if (!soup_server_listen_local(servers_[i], 0, SOUP_SERVER_LISTEN_IPV4_ONLY, &error)) {
                ADD_FAILURE() << "conformance server cannot listen: "
                              << (error ? error->message : "?");
                g_clear_error(&error);
            }
            GSList* uris = soup_server_get_uris(servers_[i]);
            ports_[i] = uris ? g_uri_get_port(static_cast<GUri*>(uris->data)) : 0;
            g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
            labels_[i] = i == 0 ? 'A' : 'B';
            soup_server_add_handler(servers_[i], nullptr, &Impl::onRequest, &labels_[i], nullptr);
            soup_server_add_websocket_handler(servers_[i], nullptr, nullptr, nullptr,
                                              &Impl::onWebSocket, this, nullptr);
            g_object_set_data(G_OBJECT(servers_[i]), "impl", this);
        }
        ready.set_value();
        g_main_loop_run(loop_);
        for (auto& [key, stream] : streams_)
            g_signal_handlers_disconnect_by_data(stream.message, this);
        streams_.clear();
        for (SoupServer* server : servers_) {
            soup_server_disconnect(server);
            g_object_unref(server);
        }
        for (SoupWebsocketConnection* socket : sockets_) {
            g_signal_handlers_disconnect_by_data(socket, this);
            g_object_unref(socket);
        }
        sockets_.clear();
        while (g_main_context_iteration(context_, FALSE)) {
        }
        g_main_loop_unref(loop_);
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
    }

    static void onRequest(SoupServer* server, SoupServerMessage* message, const char* path,
                          GHashTable*, gpointer data) {
        auto* impl = static_cast<Impl*>(g_object_get_data(G_OBJECT(server), "impl"));
        impl->handle(message, path, *static_cast<const char*>(data));
    }

    static void onWebSocket(SoupServer*, SoupServerMessage*, const char*,
                            SoupWebsocketConnection* socket, gpointer data) {
        auto* impl = static_cast<Impl*>(data);
        impl->sockets_.insert(SOUP_WEBSOCKET_CONNECTION(g_object_ref(socket)));
        g_signal_connect(
            socket, "message",
            G_CALLBACK(+[](SoupWebsocketConnection* socket, gint type, GBytes* message, gpointer) {
                soup_websocket_connection_send_message(socket, SoupWebsocketDataType(type),
                                                       message);
            }),
            impl);
        g_signal_connect(socket, "closed",
                         G_CALLBACK(+[](SoupWebsocketConnection* socket, gpointer data) {
                             auto* impl = static_cast<Impl*>(data);
                             if (impl->sockets_.erase(socket)) g_object_unref(socket);
                         }),
                         impl);
    }

    void handle(SoupServerMessage* message, const char* rawPath, char label) {
        SoupMessageHeaders* headers = soup_server_message_get_request_headers(message);
        const std::string path = rawPath ? rawPath : "/";
        const char* rawQuery = g_uri_get_query(soup_server_message_get_uri(message));
        // The run's folder: the path's first segment.
        std::string run, rest = path;
        if (path.rfind("/run", 0) == 0) {
            const size_t slash = path.find('/', 1);
            run = path.substr(0, slash);
            rest = slash == std::string::npos ? "/" : path.substr(slash);
        }
        // B's port under the name "localhost" is another site: C.
        if (label == 'B' && headerValue(headers, "Host").rfind("localhost", 0) == 0) label = 'C';
        ConformanceRequest request = received(message, path, rawQuery, label);
        {
            std::lock_guard lock(mutex_);
            log_.push_back({run, request});
        }
        if (run.empty()) {
            soup_server_message_set_status(message, SOUP_STATUS_NOT_FOUND, nullptr);
            return;
        }
        answer(message, request, run, rest, rawQuery);
    }

    // The request as the log keeps it.
    static ConformanceRequest received(SoupServerMessage* message, const std::string& path,
                                       const char* rawQuery, char label) {
        SoupMessageHeaders* headers = soup_server_message_get_request_headers(message);
        ConformanceRequest request;
        request.origin = std::string(1, label);
        request.method = soup_server_message_get_method(message);
        request.target = unescape(path);
        if (rawQuery && *rawQuery) request.target += "?" + unescape(rawQuery);
        for (const auto& name : kLoggedFields) {
            const char* value = soup_message_headers_get_one(headers, name.c_str());
            if (!value) continue;
            std::string text = value;
            if (name == "Cookie") text = sortedCookies(text);
            if (name == "Content-Type" && text.rfind("multipart/", 0) == 0)
                text = text.substr(0, text.find(';'));
            request.fields[name] = text;
        }
        GBytes* body = soup_message_body_flatten(soup_server_message_get_request_body(message));
        gsize size = 0;
        const char* bytes = static_cast<const char*>(g_bytes_get_data(body, &size));
        if (headerValue(headers, "Content-Type").rfind("multipart/", 0) == 0)
            request.body = multipartText(headers, body);
        else
            request.body.assign(bytes ? bytes : "", size);
        g_bytes_unref(body);
        return request;
    }

    void answer(SoupServerMessage* message, const ConformanceRequest& request,
                const std::string& run, const std::string& rest, const char* rawQuery) {
        SoupMessageHeaders* headers = soup_server_message_get_request_headers(message);
        const auto query = queryItems(rawQuery);
        const auto param = [&](const std::string& name) -> std::string {
            for (const auto& [key, value] : query)
                if (key == name) return value;
            return {};
        };
        SoupMessageHeaders* answer = soup_server_message_get_response_headers(message);
        soup_message_headers_replace(answer, "Cache-Control", "no-store");
        const std::string cors = param("cors");
        if (cors == "star")
            soup_message_headers_replace(answer, "Access-Control-Allow-Origin", "*");
        if (cors == "echo") {
            const std::string origin = headerValue(headers, "Origin");
            soup_message_headers_replace(answer, "Access-Control-Allow-Origin",
                                         origin.empty() ? "null" : origin.c_str());
            soup_message_headers_append(answer, "Vary", "Origin");
        }
        if (param("cred") == "1")
            soup_message_headers_replace(answer, "Access-Control-Allow-Credentials", "true");

        if (request.method == "OPTIONS") {
            if (const std::string methods = param("methods"); !methods.empty())
                soup_message_headers_replace(answer, "Access-Control-Allow-Methods",
                                             methods.c_str());
            if (const std::string allowed = param("headers"); !allowed.empty())
                soup_message_headers_replace(answer, "Access-Control-Allow-Headers",
                                             allowed.c_str());
            soup_server_message_set_status(message, SOUP_STATUS_NO_CONTENT, nullptr);
            return;
        }
        // A redirect: /to/<X>/<path> or /to307/<X>/<path>.
        for (const std::string prefix : {"/to/", "/to307/"}) {
            if (rest.rfind(prefix, 0) != 0 || rest.size() < prefix.size() + 2) continue;
            std::string location =
                origin(rest[prefix.size()]) + run + rest.substr(prefix.size() + 1);
            if (rawQuery && *rawQuery) location += "?" + std::string(rawQuery);
            soup_server_message_set_redirect(message, prefix == "/to/" ? 302 : 307,
                                             location.c_str());
            return;
        }
        // The handshake goes on in libsoup once this leaves the status unset.
        if (rest.ends_with("/echo") &&
            soup_message_headers_header_contains(headers, "Upgrade", "websocket"))
            return;

        for (const auto& [key, value] : query) {
            if (key != "cookie") continue;
            std::string cookie = value;
            std::string lower = cookie;
            std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
            if (lower.find("path=") == std::string::npos) cookie += "; Path=" + run;
            soup_message_headers_append(answer, "Set-Cookie", cookie.c_str());
        }

        const std::string type = param("type");
        if (type == "events") {
            startStream(message, run + "/" + param("id"));
            return;
        }
        if (type == "bytes") {
            const std::string cut = param("cut");
            sendOut(message, nullptr, std::stoull("0" + param("size")), param("framing"),
                    std::stoull("0" + param("over")), cut.empty() ? UINT64_MAX : std::stoull(cut));
            return;
        }
        if (type == "ticks") {
            startTicks(message, std::stoul("0" + param("every")), std::stoi("0" + param("count")));
            return;
        }
        std::string contentType = "text/plain; charset=utf-8";
        std::string content = param("body");
        std::optional<std::string> page;
        {
            std::lock_guard lock(mutex_);
            if (auto found = pages_.find(rest); found != pages_.end()) page = found->second;
        }
        if (page) {
            contentType = "text/html; charset=utf-8";
            content = kPageHelpers + *page;
            for (const char label : {'A', 'B', 'C'}) {
                replaceAll(content, std::string("%") + label + "%", origin(label) + run);
                replaceAll(content, std::string("%O") + label + "%", origin(label));
            }
            replaceAll(content, "%RUN%", run.substr(1));
            if (const std::string pad = param("pad"); !pad.empty())
                replaceAll(content, "%PADDING%", std::string(std::stoull(pad), ' '));
            if (const std::string over = param("over"); !over.empty()) {
                soup_message_headers_set_content_type(answer, contentType.c_str(), nullptr);
                const std::uint64_t size = content.size();
                sendOut(message, std::make_shared<const std::string>(std::move(content)), size,
                        "chunked", std::stoull(over), UINT64_MAX);
                return;
            }
        } else if (type == "bigpng") {
            static const std::string png = storedPng(2000, 4000);
            contentType = "image/png";
            content = png;
        } else if (type == "js") {
            contentType = "text/javascript";
            const std::string script = param("script");
            if (script == "throw") content = "// throws on line 2\nthrow new Error('boom');\n";
            if (script == "mark") content = "window.scriptRan = (window.scriptRan || 0) + 1;\n";
        } else if (type == "css") {
            contentType = "text/css";
        } else if (type == "png") {
            contentType = "image/png";
            content = pngBytes(number(param("w")), number(param("h")), {0, 0.5, 1, 1});
        } else if (type == "sink") {
            // What arrived.
            const auto type = request.fields.find("Content-Type");
            content = request.method + " " +
                      (type == request.fields.end() ? std::string() : type->second) + " " +
                      request.body;
            if (param("reply") == "post") {
                contentType = "text/html; charset=utf-8";
                content =
                    "<!doctype html><p id=sink></p><script>const sink = " + jsString(content) +
                    "; document.getElementById('sink').textContent = sink;"
                    " parent.postMessage({sink}, '*');</script>";
            }
        } else if (type == "next") {
            content = nextEvent(run + "/" + param("id"));
        } else if (content.empty()) {
            content = "text";
        }
        soup_server_message_set_status(message, SOUP_STATUS_OK, nullptr);
        soup_server_message_set_response(message, contentType.c_str(), SOUP_MEMORY_COPY,
                                         content.data(), content.size());
    }

    // A size of 1 to 100 pixels the text gives; 1 for none.
    static int number(const std::string& text) {
        int value = 1;
        std::from_chars(text.data(), text.data() + text.size(), value);
        return std::clamp(value, 1, 100);
    }

    static std::string eventText(int number) {
        return "id: " + std::to_string(number) + "\ndata: e" + std::to_string(number) + "\n\n";
    }

    void startStream(SoupServerMessage* message, const std::string& key) {
        SoupMessageHeaders* answer = soup_server_message_get_response_headers(message);
        soup_message_headers_set_encoding(answer, SOUP_ENCODING_CHUNKED);
        soup_message_headers_set_content_type(answer, "text/event-stream", nullptr);
        soup_server_message_set_status(message, SOUP_STATUS_OK, nullptr);
        // A long retry: a stream that breaks is not asked for again while
        // the run lasts.
        const std::string first = "retry: 60000\n" + eventText(1);
        soup_message_body_append(soup_server_message_get_response_body(message), SOUP_MEMORY_COPY,
                                 first.data(), first.size());
        streams_[key] = {message, 1};
        g_object_set_data_full(G_OBJECT(message), "stream", g_strdup(key.c_str()), g_free);
        g_signal_connect(
            message, "finished", G_CALLBACK(+[](SoupServerMessage* message, gpointer data) {
                auto* impl = static_cast<Impl*>(data);
                const char* key =
                    static_cast<const char*>(g_object_get_data(G_OBJECT(message), "stream"));
                if (key) impl->streams_.erase(key);
            }),
            this);
    }

    // Sends size bytes of content (the pattern when null), framed as
    // framing says, as fast as the client takes them or spread over overMs;
    // resets the connection once cut bytes are out.
    void sendOut(SoupServerMessage* message, std::shared_ptr<const std::string> content,
                 std::uint64_t size, const std::string& framing, std::uint64_t overMs,
                 std::uint64_t cut) {
        SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
        if (!soup_message_headers_get_content_type(headers, nullptr))
            soup_message_headers_set_content_type(headers, "application/octet-stream", nullptr);
        if (framing == "chunked")
            soup_message_headers_set_encoding(headers, SOUP_ENCODING_CHUNKED);
        else if (framing == "close")
            soup_message_headers_set_encoding(headers, SOUP_ENCODING_EOF);
        else
            soup_message_headers_set_content_length(headers, goffset(size));
        soup_message_body_set_accumulate(soup_server_message_get_response_body(message), FALSE);
        soup_server_message_set_status(message, SOUP_STATUS_OK, nullptr);
        auto* out = new Outgoing;
        out->message = message;
        out->content = std::move(content);
        out->size = size;
        out->cut = cut;
        g_object_set_data_full(G_OBJECT(message), "outgoing", out,
                               [](gpointer data) { delete static_cast<Outgoing*>(data); });
        g_signal_connect(message, "wrote-chunk", G_CALLBACK(+[](SoupServerMessage*, gpointer data) {
                             wrote(*static_cast<Outgoing*>(data));
                         }),
                         out);
        if (overMs == 0) {
            for (int i = 0; i < 4; ++i) appendPiece(*out, kPieceBytes);
            return;
        }
        const std::uint64_t pieces = std::max<std::uint64_t>(1, overMs / 1000);
        out->piece = (size + pieces - 1) / pieces;
        appendPiece(*out, out->piece);
        out->timer = g_timeout_source_new(guint(overMs / pieces));
        g_source_set_callback(
            out->timer,
            [](gpointer data) -> gboolean {
                auto& out = *static_cast<Outgoing*>(data);
                appendPiece(out, out.piece);
                return out.appended < std::min(out.size, out.cut) ? G_SOURCE_CONTINUE
                                                                  : G_SOURCE_REMOVE;
            },
            out, nullptr);
        g_source_attach(out->timer, context_);
    }

    static void appendPiece(Outgoing& out, std::uint64_t bytes) {
        const std::uint64_t end = std::min(out.size, out.cut);
        bytes = std::min(bytes, end - std::min(end, out.appended));
        SoupMessageBody* body = soup_server_message_get_response_body(out.message);
        if (bytes > 0) {
            const std::string piece = out.content
                                          ? out.content->substr(size_t(out.appended), size_t(bytes))
                                          : patternBytes(out.appended, size_t(bytes));
            soup_message_body_append(body, SOUP_MEMORY_COPY, piece.data(), piece.size());
            out.appended += bytes;
            ++out.chunksAppended;
        }
        if (out.appended >= out.size) soup_message_body_complete(body);
        soup_server_message_unpause(out.message);
    }

    static void wrote(Outgoing& out) {
        ++out.chunksWritten;
        if (out.appended >= out.cut && out.chunksWritten >= out.chunksAppended &&
            out.cut != UINT64_MAX) {
            out.cut = UINT64_MAX;
            resetConnection(out.message);
            // libsoup's next write fails, and the message ends.
            soup_message_body_complete(soup_server_message_get_response_body(out.message));
            return;
        }
        if (out.piece == 0) appendPiece(out, kPieceBytes);
    }

    // An event stream that sends one event every everyMs, count in all.
    void startTicks(SoupServerMessage* message, unsigned everyMs, int count) {
        SoupMessageHeaders* answer = soup_server_message_get_response_headers(message);
        soup_message_headers_set_encoding(answer, SOUP_ENCODING_CHUNKED);
        soup_message_headers_set_content_type(answer, "text/event-stream", nullptr);
        soup_server_message_set_status(message, SOUP_STATUS_OK, nullptr);
        const std::string retry = "retry: 60000\n\n";
        soup_message_body_append(soup_server_message_get_response_body(message), SOUP_MEMORY_COPY,
                                 retry.data(), retry.size());
        struct Ticking {
            SoupServerMessage* message;
            int sent;
            int count;
            GSource* timer;
        };
        auto* ticking = new Ticking{message, 0, count, g_timeout_source_new(everyMs)};
        g_object_set_data_full(G_OBJECT(message), "ticking", ticking, [](gpointer data) {
            auto* ticking = static_cast<Ticking*>(data);
            g_source_destroy(ticking->timer);
            g_source_unref(ticking->timer);
            delete ticking;
        });
        g_source_set_callback(
            ticking->timer,
            [](gpointer data) -> gboolean {
                auto& ticking = *static_cast<Ticking*>(data);
                const std::string text = eventText(++ticking.sent);
                soup_message_body_append(soup_server_message_get_response_body(ticking.message),
                                         SOUP_MEMORY_COPY, text.data(), text.size());
                soup_server_message_unpause(ticking.message);
                return ticking.sent < ticking.count ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
            },
            ticking, nullptr);
        g_source_attach(ticking->timer, context_);
    }

    std::string nextEvent(const std::string& key) {
        auto found = streams_.find(key);
        if (found == streams_.end()) return "no stream";
        Stream& stream = found->second;
        const std::string text = eventText(++stream.sent);
        soup_message_body_append(soup_server_message_get_response_body(stream.message),
                                 SOUP_MEMORY_COPY, text.data(), text.size());
        soup_server_message_unpause(stream.message);
        return "sent e" + std::to_string(stream.sent);
    }

    std::thread thread_;
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    SoupServer* servers_[2] = {nullptr, nullptr};
    char labels_[2] = {'A', 'B'};
    int ports_[2] = {0, 0};
    // Server thread only.
    std::map<std::string, Stream> streams_;
    std::set<SoupWebsocketConnection*> sockets_;

    mutable std::mutex mutex_;
    std::map<std::string, std::string> pages_;
    std::vector<Logged> log_;
};

ConformanceServer::ConformanceServer() : impl_(std::make_unique<Impl>()) {}
ConformanceServer::~ConformanceServer() = default;

std::string ConformanceServer::origin(char label) const {
    return impl_->origin(label);
}

void ConformanceServer::page(const std::string& path, std::string html) {
    impl_->page(path, std::move(html));
}

std::string ConformanceServer::newRun() {
    return "/run" + std::to_string(++runs);
}

std::vector<ConformanceRequest> ConformanceServer::log(const std::string& run) const {
    return impl_->log(run);
}

std::string ConformanceServer::normalise(std::string text, const std::string& run) const {
    return impl_->normalise(std::move(text), run);
}

}  // namespace webtesting
