#include "core/HTTPExchange.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <mutex>
#include <string>

#include "core/ASCII.h"
#include "core/CurlErrors.h"
#include "core/HTTPURLResponse.h"
#include "core/HostRoutes.h"
#include "core/MD5.h"
#include "core/OffMachineRequests.h"
#include "core/SocketAddresses.h"
#include "core/URLSessionTask.h"

namespace core {

namespace {

constexpr long kConnectTimeoutSeconds = 30;  // a safety net; idle time-outs follow the Clock

// "10", "2.5"
std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

// The system's certificate authorities, loaded once for every connection
// instead of once per connection (the bundle holds over a hundred); null
// when OpenSSL cannot make a store.
X509_STORE* systemAuthorities() {
    static X509_STORE* const store = [] {
        X509_STORE* made = X509_STORE_new();
        if (made && X509_STORE_set_default_paths(made) != 1) {
            X509_STORE_free(made);
            made = nullptr;
        }
        ERR_clear_error();
        return made;
    }();
    return store;
}

CURLcode useAuthorities(CURL*, void* context, void* store) {
    SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(context), static_cast<X509_STORE*>(store));
    return CURLE_OK;
}

// The system's authorities and an app's own (a file, or PEM text), in one
// store loaded once per source (a file again once it changed), where
// libcurl would read the file, and search the system's folder, at every
// handshake; null when they cannot be read. stamp: the file's size and
// change time as loaded.
X509_STORE* authoritiesWith(const HTTPExchange::Trust& trust, std::string& stamp) {
    struct Entry {
        X509_STORE* store = nullptr;
        std::string stamp;  // a file's size and change time when loaded
    };
    static std::mutex mutex;
    static auto& stores = *new std::map<std::string, Entry>;
    const bool fromFile = trust.certificatesPEM.empty();
    stamp.clear();
    if (fromFile) {
        struct stat info {};
        if (::stat(trust.certificatesFile.c_str(), &info) != 0) return nullptr;
        stamp = std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
                std::to_string(info.st_mtim.tv_nsec);
    }
    const std::string key =
        fromFile ? "file:" + trust.certificatesFile : "pem:" + trust.certificatesPEM;
    std::lock_guard lock(mutex);
    Entry& entry = stores[key];
    if (entry.store && entry.stamp == stamp) return entry.store;
    X509_STORE* made = X509_STORE_new();
    bool loaded = made && X509_STORE_set_default_paths(made) == 1;
    if (loaded && fromFile) {
        loaded = X509_STORE_load_file(made, trust.certificatesFile.c_str()) == 1;
    } else if (loaded) {
        BIO* text =
            BIO_new_mem_buf(trust.certificatesPEM.data(), int(trust.certificatesPEM.size()));
        int added = 0;
        while (X509* certificate =
                   text ? PEM_read_bio_X509(text, nullptr, nullptr, nullptr) : nullptr) {
            added += X509_STORE_add_cert(made, certificate) == 1;
            X509_free(certificate);
        }
        BIO_free(text);
        loaded = added > 0;
    }
    ERR_clear_error();
    if (!loaded) {
        if (made) X509_STORE_free(made);
        return nullptr;
    }
    // Connections still handshaking hold the old store through their own
    // reference.
    if (entry.store) X509_STORE_free(entry.store);
    entry = {made, stamp};
    return made;
}

// The store exchanges of that trust verify with: the system's
// authorities, with an app's own where the trust names some.
X509_STORE* authoritiesFor(const HTTPExchange::Trust& trust, std::string& stamp) {
    stamp.clear();
    if (trust.certificatesPEM.empty() && trust.certificatesFile.empty()) return systemAuthorities();
    return authoritiesWith(trust, stamp);
}

// Stands where libcurl compares the CA path of connections and TLS sessions
// before reusing one, so that those of different trust (a file before and
// after it changed included) stay apart; libcurl adds it as a folder to
// search to a store that useAuthorities replaces.
std::string trustKey(const HTTPExchange::Trust& trust, const std::string& stamp) {
    const std::string source = trust.certificatesPEM.empty() ? trust.certificatesFile + "\n" + stamp
                                                             : trust.certificatesPEM;
    return "/nonexistent/vantor-authorities/" +
           std::string(trust.certificatesPEM.empty() ? "file-" : "pem-") + SHA256::hex(source);
}

// The environment's no-proxy list with loopback added: a proxy set in the
// environment must not swallow requests to local servers.
const char* noProxyList() {
    static const std::string list = [] {
        std::string hosts = "localhost,127.0.0.1,::1";
        for (const char* name : {"no_proxy", "NO_PROXY"}) {
            if (const char* value = std::getenv(name); value && *value) {
                return std::string(value) + "," + hosts;
            }
        }
        return hosts;
    }();
    return list.c_str();
}

// A URL's text split for libcurl: its scheme and authority with "/" (what
// libcurl connects to), and the request target, its path and query exactly
// as written ("/" when it has no path).
std::pair<std::string, std::string> originAndTarget(const URL& url) {
    const std::string& text = url.absoluteString();
    const size_t authority = text.find("//");
    const size_t end = authority == std::string::npos ? std::string::npos
                                                      : text.find_first_of("/?#", authority + 2);
    std::string origin = text.substr(0, end) + "/";
    std::string target = end == std::string::npos ? std::string() : text.substr(end);
    if (const size_t hash = target.find('#'); hash != std::string::npos) target.resize(hash);
    if (target.empty() || target.front() != '/') target.insert(0, "/");
    return {std::move(origin), std::move(target)};
}

}  // namespace

HTTPExchange::HTTPExchange(std::shared_ptr<URLSessionTask> task, URLRequest request, Limits limits,
                           Trust trust)
    : task_(std::move(task)), request_(std::move(request)), limits_(std::move(limits)),
      trust_(std::move(trust)) {}

void HTTPExchange::prepare(const Trust& trust) {
    std::string stamp;
    (void)authoritiesFor(trust, stamp);
}

HTTPExchange::~HTTPExchange() {
    if (easy_) curl_easy_cleanup(easy_);
    if (headers_) curl_slist_free_all(headers_);
    if (connectTo_) curl_slist_free_all(connectTo_);
}

CURL* HTTPExchange::open(CURLSH* share) {
    easy_ = curl_easy_init();
    if (!easy_) return nullptr;
    if (share) curl_easy_setopt(easy_, CURLOPT_SHARE, share);
    // The path and query go out byte for byte as the URL holds them (libcurl
    // would take dot segments out, and refuses some bytes a browser sends).
    const auto [origin, target] = originAndTarget(request_.url());
    curl_easy_setopt(easy_, CURLOPT_URL, origin.c_str());
    curl_easy_setopt(easy_, CURLOPT_REQUEST_TARGET, target.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
    // A body comes as the server coded it, less its chunks: libcurl would
    // also undo other transfer codings it knows, where a head names any
    // (see HTTPResponseHead::framingRefusal for those answers that stand).
    curl_easy_setopt(easy_, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    if (limits_.asTheEngine) {
        // Its chunks as they came, to be taken apart here (see body()); the
        // connections it opens are counted (openSocket), from the first
        // byte each hands over for it to what each received as it closes.
        curl_easy_setopt(easy_, CURLOPT_HTTP_TRANSFER_DECODING, 0L);
        curl_easy_setopt(easy_, CURLOPT_PREREQFUNCTION, &HTTPExchange::beforeRequest);
        curl_easy_setopt(easy_, CURLOPT_PREREQDATA, this);
        curl_easy_setopt(easy_, CURLOPT_CLOSESOCKETFUNCTION, &ConnectionCounts::closeSocket);
    }
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(easy_, CURLOPT_NOPROXY, noProxyList());
    curl_easy_setopt(easy_, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &HTTPExchange::onHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &HTTPExchange::onBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    applyTrust();
    applyRoutes();
    if (!limits_.refusedLocalPorts.empty() || limits_.asTheEngine) {
        curl_easy_setopt(easy_, CURLOPT_OPENSOCKETFUNCTION, &HTTPExchange::openSocket);
        curl_easy_setopt(easy_, CURLOPT_OPENSOCKETDATA, this);
    }
    OffMachineRequests::note(request_.url());

    const std::string& method = request_.method();
    const Data& body = request_.body();
    if (method == "GET") {
        curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
        curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    } else {
        if (method == "POST") {
            curl_easy_setopt(easy_, CURLOPT_POST, 1L);
        } else {
            curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str());
        }
        if (request_.bodyStream()) {
            sendStream();
        } else if (method == "POST" || !body.empty() || request_.sendsEmptyBody()) {
            curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(body.size()));
            curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, body.data());
        }
    }
    headers_ = headerList();
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
    return easy_;
}

void HTTPExchange::sendStream() {
    // Read as it comes, as a POST's (whatever the method's name): its
    // length, or chunks (-1) until its end.
    const auto& length = request_.bodyStream()->length();
    curl_easy_setopt(easy_, CURLOPT_POST, 1L);
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(length.value_or(-1)));
    curl_easy_setopt(easy_, CURLOPT_READFUNCTION, &HTTPExchange::onSend);
    curl_easy_setopt(easy_, CURLOPT_READDATA, this);
    curl_easy_setopt(easy_, CURLOPT_SEEKFUNCTION, &HTTPExchange::onSeek);
    curl_easy_setopt(easy_, CURLOPT_SEEKDATA, this);
    // libcurl sends a request again on a fresh connection when a reused one
    // turns out dead, from the body's start; a stream cannot go back, so it
    // starts on a fresh one.
    curl_easy_setopt(easy_, CURLOPT_FRESH_CONNECT, 1L);
}

void HTTPExchange::applyTrust() {
    // Peers and host names are always verified. An authority of our own goes
    // in as the CA file (or blob); the system's authorities stay trusted
    // through libcurl's CA path. Without one, the shared store of the
    // system's authorities replaces libcurl's own loading of its bundle. A
    // connection is reused only for requests that trust the same
    // authorities: libcurl compares the CA file, path and blob.
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    // Our own authorities with the system's, or the system's alone, from a
    // store loaded once; the CA path names our own for connection reuse.
    const bool systemOnly = trust_.certificatesPEM.empty() && trust_.certificatesFile.empty();
    std::string stamp;
    if (X509_STORE* store = authoritiesFor(trust_, stamp);
        store && curl_easy_setopt(easy_, CURLOPT_SSL_CTX_FUNCTION, &useAuthorities) == CURLE_OK) {
        curl_easy_setopt(easy_, CURLOPT_SSL_CTX_DATA, store);
        curl_easy_setopt(easy_, CURLOPT_CAINFO, nullptr);
        curl_easy_setopt(easy_, CURLOPT_CAPATH,
                         systemOnly ? nullptr : trustKey(trust_, stamp).c_str());
        return;
    }
    if (!trust_.certificatesPEM.empty()) {
        curl_blob blob{const_cast<char*>(trust_.certificatesPEM.data()),
                       trust_.certificatesPEM.size(), CURL_BLOB_NOCOPY};
        curl_easy_setopt(easy_, CURLOPT_CAINFO_BLOB, &blob);
    } else if (!trust_.certificatesFile.empty()) {
        curl_easy_setopt(easy_, CURLOPT_CAINFO, trust_.certificatesFile.c_str());
    }
}

// Every connection libcurl makes for the exchange, to whatever address its
// name resolved to or a route gave: a refused local port gets no socket, and
// libcurl tries the host's next address, if any.
curl_socket_t HTTPExchange::openSocket(void* exchange, curlsocktype purpose,
                                       curl_sockaddr* address) {
    auto* self = static_cast<HTTPExchange*>(exchange);
    const sockaddr* target = &address->addr;
    const auto& refused = self->limits_.refusedLocalPorts;
    if (purpose == CURLSOCKTYPE_IPCXN && isLoopbackOrUnspecified(target) &&
        std::find(refused.begin(), refused.end(), portOf(target)) != refused.end()) {
        try {
            const std::string& url = self->request_.url().absoluteString();
            if (!self->refusedConnection_)
                self->refusedConnection_ = NetworkError::make(
                    NetworkError::Code::cannotConnectToHost, url,
                    "Request to " + url + " refused: " + describeAddress(target) +
                        " is a local port this request may not reach");
        } catch (...) {
            // libcurl's own connection error follows.
        }
        return CURL_SOCKET_BAD;
    }
    const curl_socket_t socket =
        ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (socket >= 0 && self->limits_.asTheEngine && purpose == CURLSOCKTYPE_IPCXN &&
        self->request_.url().hasScheme("http"))
        ConnectionCounts::opened(socket);
    return socket;
}

// Once libcurl has the connection the request goes on: counted where an
// exchange like this one opened it.
int HTTPExchange::beforeRequest(void* exchange, char*, char*, int peerPort, int localPort) {
    auto* self = static_cast<HTTPExchange*>(exchange);
    if (self->request_.url().hasScheme("http"))
        self->counted_ = ConnectionCounts::of(localPort, peerPort);
    return CURL_PREREQFUNC_OK;
}

void HTTPExchange::applyRoutes() {
    // libcurl picks the entry of the request's host and port (and of every
    // redirect's, each an exchange of its own).
    for (const auto& route : HostRoutes::all())
        connectTo_ = curl_slist_append(connectTo_, HostRoutes::connectToEntry(route).c_str());
    // A name under localhost is the machine itself without a lookup, the
    // fully qualified form ("localhost.") too, as browsers take it; libcurl
    // knows the form without the dot alone.
    const URL& url = request_.url();
    const std::string host = asciiLowercased(url.host());
    if (host.ends_with(".") && (host == "localhost." || host.ends_with(".localhost.")) &&
        !HostRoutes::find(host, url.port().value_or(url.hasScheme("https") ? 443 : 80))) {
        const std::string port =
            std::to_string(url.port().value_or(url.hasScheme("https") ? 443 : 80));
        const std::string entry =
            host + ":" + port + ":" + host.substr(0, host.size() - 1) + ":" + port;
        connectTo_ = curl_slist_append(connectTo_, entry.c_str());
    }
    if (connectTo_) curl_easy_setopt(easy_, CURLOPT_CONNECT_TO, connectTo_);
}

curl_slist* HTTPExchange::headerList() const {
    curl_slist* list = nullptr;
    // libcurl writes a Host field of its own, or the request's, right after
    // the request line; "Host:" first keeps it from writing any, and the
    // request's own goes where the request has it.
    if (limits_.onlyRequestFields && request_.headers().contains("Host"))
        list = curl_slist_append(list, "Host:");
    for (const auto& [name, value] : request_.headers()) {
        // "Name;" is how libcurl sends a header with an empty value.
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        list = curl_slist_append(list, line.c_str());
    }
    // No "Expect: 100-continue" round trip before bodies.
    if (!request_.headers().contains("Expect")) list = curl_slist_append(list, "Expect:");
    if (limits_.onlyRequestFields) {
        // "Name:" keeps libcurl from adding its own.
        for (const char* name : {"Accept", "Content-Type"})
            if (!request_.headers().contains(name))
                list = curl_slist_append(list, (std::string(name) + ":").c_str());
    }
    return list;
}

void HTTPExchange::started() {
    touch();
}

void HTTPExchange::touch() {
    clock_ = Clock::current();
    lastActivity_ = clock_->monotonicSeconds();
}

void HTTPExchange::resume() {
    if (!easy_) return;
    const bool receive = paused_ && !held_.load();
    if (!receive && !sendPaused_) return;
    // The wait was the reader's or the writer's, not the server's.
    touch();
    if (receive) {
        paused_ = false;
        spanStart_ = lastActivity_;
        spanStartBytes_ = received_;
    }
    // The stream woke the exchange: it has bytes or its end.
    sendPaused_ = false;
    // libcurl hands the piece it kept over from inside this call.
    curl_easy_pause(easy_, paused_ ? CURLPAUSE_RECV : CURLPAUSE_CONT);
}

std::optional<NetworkError> HTTPExchange::expired() {
    auto clock = Clock::current();
    const double now = clock->monotonicSeconds();
    if (clock != clock_) {
        // Another clock was installed: keep the time already waited.
        const double shift = now - clock_->monotonicSeconds();
        lastActivity_ += shift;
        spanStart_ += shift;
        limits_.resourceDeadline += shift;
        clock_ = std::move(clock);
    }
    const std::string& url = request_.url().absoluteString();
    // Held, or waiting for its body's next bytes, the exchange waits for
    // its reader or writer, not for the server.
    const bool waiting = paused_ || sendPaused_;
    if (!waiting && now - lastActivity_ >= limits_.idleTimeout) {
        return NetworkError::make(NetworkError::Code::timedOut, url,
                                  "Request to " + url + " timed out: no data for " +
                                      seconds(limits_.idleTimeout) + " s");
    }
    if (now >= limits_.resourceDeadline) {
        return NetworkError::make(NetworkError::Code::timedOut, url,
                                  "Request to " + url + " timed out: the resource time-out of " +
                                      seconds(limits_.resourceTimeout) + " s has passed");
    }
    if (waiting) return std::nullopt;
    return tooSlow(now);
}

std::optional<NetworkError> HTTPExchange::tooSlow(double now) {
    if (!responded_ || limits_.lowSpeedLimit <= 0 || limits_.lowSpeedTime <= 0) {
        return std::nullopt;
    }
    const double span = now - spanStart_;
    if (span < limits_.lowSpeedTime) return std::nullopt;
    const double rate = static_cast<double>(received_ - spanStartBytes_) / span;
    spanStart_ = now;
    spanStartBytes_ = received_;
    if (rate >= static_cast<double>(limits_.lowSpeedLimit)) return std::nullopt;
    const std::string& url = request_.url().absoluteString();
    return NetworkError::make(NetworkError::Code::timedOut, url,
                              "Request to " + url + " timed out: fewer than " +
                                  std::to_string(limits_.lowSpeedLimit) + " bytes a second for " +
                                  seconds(span) + " s");
}

void HTTPExchange::finish(CURLcode code) {
    if (code == CURLE_OK && !responded_ && task_ && !refusal_ && head_.started()) {
        // The connection ended before the head did: libcurl says nothing of
        // it, nor of a line it left unfinished or could not read (a NUL).
        if (limits_.asTheEngine && head_.status() >= 200 && counted_ &&
            counted_->endedAfterAllHandedOver()) {
            (void)responded();
        } else {
            const std::string& url = request_.url().absoluteString();
            (void)refuse(NetworkError::make(NetworkError::Code::badServerResponse, url,
                                            "The server of " + url +
                                                " ended the connection before the head of its "
                                                "answer"));
        }
    }
    // Its last chunk came, then the connection's end, not the line after
    // it: whole to the engine, whose reader stops at that chunk.
    if (code == CURLE_PARTIAL_FILE && responded_ && !refusal_ && chunks_ &&
        chunks_->lastChunkCame())
        code = CURLE_OK;
    if (refusal_) {
        fail(std::move(*refusal_));
        return;
    }
    if (code == CURLE_OK && !responded_) code = CURLE_GOT_NOTHING;
    // libcurl reports some answers it cannot read as if the fault were the
    // request's (a status line as an unsupported protocol, a field line it
    // cannot fold as a bad argument): once connected, the server's answer is
    // what was bad.
    char* address = nullptr;
    if (!responded_ &&
        (code == CURLE_UNSUPPORTED_PROTOCOL || code == CURLE_BAD_FUNCTION_ARGUMENT) &&
        curl_easy_getinfo(easy_, CURLINFO_PRIMARY_IP, &address) == CURLE_OK && address &&
        *address) {
        const std::string text = *errorBuffer_ ? errorBuffer_ : curl_easy_strerror(code);
        fail(networkErrorFromCurl(CURLE_WEIRD_SERVER_REPLY, request_.url(), text, received_,
                                  expected_));
        return;
    }
    if (code == CURLE_OK) {
        if (auto task = std::move(task_)) task->exchangeFinished(*this, std::nullopt);
        return;
    }
    if (refusedConnection_ && code == CURLE_COULDNT_CONNECT) {
        fail(std::move(*refusedConnection_));
        return;
    }
    fail(networkErrorFromCurl(code, request_.url(), errorBuffer_, received_, expected_));
}

void HTTPExchange::fail(NetworkError error) {
    if (auto task = std::move(task_)) task->exchangeFinished(*this, std::move(error));
}

// libcurl is C: nothing may be thrown through it. A callback that throws
// (running out of memory, say) stops the transfer, which then fails.
size_t HTTPExchange::onHeader(char* buffer, size_t size, size_t count, void* exchange) {
    auto* self = static_cast<HTTPExchange*>(exchange);
    try {
        return self->headerLine(std::string_view(buffer, size * count)) ? size * count : 0;
    } catch (const std::exception& error) {
        self->refuseAfterException(error.what());
    } catch (...) {
        self->refuseAfterException("an unknown exception");
    }
    return 0;
}

size_t HTTPExchange::onBody(char* buffer, size_t size, size_t count, void* exchange) {
    auto* self = static_cast<HTTPExchange*>(exchange);
    // libcurl keeps the piece and stops reading until resume().
    if (self->held_.load() && self->task_ && !self->refusal_) {
        self->paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    try {
        return self->body(buffer, size * count) ? size * count : 0;
    } catch (const std::exception& error) {
        self->refuseAfterException(error.what());
    } catch (...) {
        self->refuseAfterException("an unknown exception");
    }
    return 0;
}

size_t HTTPExchange::onSend(char* buffer, size_t size, size_t count, void* exchange) {
    auto* self = static_cast<HTTPExchange*>(exchange);
    const auto read =
        self->request_.bodyStream()->read(reinterpret_cast<std::uint8_t*>(buffer), size * count);
    switch (read.status) {
    case URLBodyStream::Status::bytes:
        self->touch();
        return read.count;
    case URLBodyStream::Status::waiting:
        // Until the stream wakes the exchange (resume()).
        self->sendPaused_ = true;
        return CURL_READFUNC_PAUSE;
    case URLBodyStream::Status::ended:
        return 0;
    case URLBodyStream::Status::broken:
        break;
    }
    try {
        const std::string& url = self->request_.url().absoluteString();
        (void)self->refuse(
            NetworkError::make(NetworkError::Code::networkConnectionLost, url,
                               "Request to " + url + " failed: its body broke off before its end"));
    } catch (...) {
        // libcurl's own abort error follows.
    }
    return CURL_READFUNC_ABORT;
}

int HTTPExchange::onSeek(void* exchange, curl_off_t offset, int origin) {
    // Back to the start is no move while nothing was read.
    const auto* self = static_cast<HTTPExchange*>(exchange);
    return offset == 0 && origin == SEEK_SET && self->request_.bodyStream()->taken() == 0
               ? CURL_SEEKFUNC_OK
               : CURL_SEEKFUNC_CANTSEEK;
}

bool HTTPExchange::refuse(NetworkError error) {
    if (!refusal_) refusal_ = std::move(error);
    return false;
}

void HTTPExchange::refuseAfterException(const char* what) noexcept {
    try {
        const std::string& url = request_.url().absoluteString();
        (void)refuse(NetworkError::make(NetworkError::Code::unknown, url,
                                        "Request to " + url + " failed while receiving: " + what));
    } catch (...) {
        // Not even the message could be made: fail with libcurl's write error.
    }
}

bool HTTPExchange::headerLine(std::string_view line) {
    touch();
    if (counted_) counted_->handedOver(line.size());
    headerBytes_ += static_cast<std::int64_t>(line.size());
    if (headerBytes_ > kMaximumHeaderBytes) {
        const std::string& url = request_.url().absoluteString();
        return refuse(NetworkError::make(NetworkError::Code::dataLengthExceedsMaximum, url,
                                         "The response of " + url +
                                             " is too large: its header passed " +
                                             std::to_string(kMaximumHeaderBytes) + " bytes"));
    }
    if (responded_ || !task_) return true;  // trailers
    const HTTPResponseHead::Line taken = head_.take(line);
    // libcurl would send every later request on an HTTP/1.0 server's
    // connection as HTTP/1.0, whatever the request: none goes on it.
    if (taken == HTTPResponseHead::Line::status && line.starts_with("HTTP/1.0"))
        curl_easy_setopt(easy_, CURLOPT_FORBID_REUSE, 1L);
    if (taken != HTTPResponseHead::Line::end) return true;
    if (head_.status() == 0) {
        const std::string& url = request_.url().absoluteString();
        return refuse(NetworkError::make(NetworkError::Code::badServerResponse, url,
                                         "The server of " + url +
                                             " answered with a status line that is none"));
    }
    // An interim 1xx head is followed by another.
    return head_.status() < 200 || responded();
}

bool HTTPExchange::responded() {
    responded_ = true;
    spanStart_ = lastActivity_;
    HTTPURLResponse response(request_.url(), head_.status(), head_.fields());
    response.setReasonPhrase(head_.reasonPhrase());
    response.setHTTPVersion(head_.version());
    expected_ = response.expectedContentLength();
    redirectBody_ = limits_.followsRedirects && URLSessionTask::isRedirect(response) &&
                    URLSessionTask::redirectRequest(request_, response).has_value();
    bodyLimit_ = redirectBody_ ? std::min(limits_.maximumResponseBytes,
                                          URLSessionTask::kMaximumRedirectBodyBytes)
                               : limits_.maximumResponseBytes;
    // A HEAD answer, a 204 and a 304 announce a length they never send.
    const int status = head_.status();
    const bool bodiless = request_.method() == "HEAD" || status == 204 || status == 304;
    const std::string& url = request_.url().absoluteString();
    if (const auto refusal = HTTPResponseHead::framingRefusal(response.headers());
        refusal && !bodiless) {
        return refuse(
            NetworkError::make(NetworkError::Code::badServerResponse, url,
                               "The response of " + url + " frames its body with " + *refusal));
    }
    if (expected_ > bodyLimit_ && !bodiless) {
        return refuse(NetworkError::make(
            NetworkError::Code::dataLengthExceedsMaximum, url,
            std::string(redirectBody_ ? "The redirect response of " : "The response of ") + url +
                " is too large: its Content-Length of " + std::to_string(expected_) +
                " bytes is over the limit of " + std::to_string(bodyLimit_) + " bytes"));
    }
    if (limits_.asTheEngine && !bodiless && status >= 200) {
        // libcurl takes a body as chunked where any coding is.
        for (const auto& value : response.headers().values("Transfer-Encoding"))
            if (asciiLowercased(value).find("chunked") != std::string::npos)
                chunks_.emplace(kMostChunkLineBytes, size_t(kMaximumHeaderBytes));
    }
    task_->exchangeResponded(*this, std::move(response));
    return true;
}

bool HTTPExchange::body(const char* bytes, size_t count) {
    if (counted_) counted_->handedOver(count);
    if (!chunks_) return data(bytes, count);
    std::string taken;
    size_t consumed = 0;
    if (chunks_->feed(std::string_view(bytes, count), taken, consumed) ==
        ChunkedReader::State::malformed) {
        const std::string& url = request_.url().absoluteString();
        return refuse(NetworkError::make(NetworkError::Code::badServerResponse, url,
                                         "The response of " + url +
                                             " has a chunked body that cannot be read"));
    }
    touch();
    return taken.empty() || data(taken.data(), taken.size());
}

bool HTTPExchange::data(const char* bytes, size_t count) {
    touch();
    received_ += static_cast<std::int64_t>(count);
    if (received_ > bodyLimit_) {
        const std::string& url = request_.url().absoluteString();
        return refuse(NetworkError::make(
            NetworkError::Code::dataLengthExceedsMaximum, url,
            std::string(redirectBody_ ? "The redirect response of " : "The response of ") + url +
                " is too large: its body passed the limit of " + std::to_string(bodyLimit_) +
                " bytes"));
    }
    if (task_) task_->exchangeReceived(*this, reinterpret_cast<const std::uint8_t*>(bytes), count);
    return true;
}

}  // namespace core
