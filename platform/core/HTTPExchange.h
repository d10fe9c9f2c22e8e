#pragma once
// One HTTP request and its response over a libcurl easy handle, without
// redirects: the unit of work of the network thread (internal to the URL
// session). Made on any thread; from open() on it belongs to the network
// thread, which reports through it to its task: the final response header,
// the body as it arrives, and the outcome.
//
// The time-outs read core::Clock::current(), so a manual clock drives them:
// the exchange expires when no byte has arrived for the idle time-out, at
// the resource deadline, or, once the response header is in, when body
// bytes arrive slower than the low-speed limit. A body larger than its limit
// (the session's, or a redirect's smaller one), or a header section larger
// than kMaximumHeaderBytes, ends the exchange with dataLengthExceedsMaximum:
// at the header when Content-Length says so, else as soon as the bytes pass
// it. Nothing thrown while handling libcurl's callbacks leaves them: it
// fails the exchange instead.
//
// The response's head is read as the web engine reads heads
// (HTTPResponseHead): an answer whose framing it would refuse fails with
// badServerResponse at the head, before anything of it is reported. A head
// that the connection's end cuts short fails too, unless the limits read
// answers as the engine does (see URLSessionConfiguration::
// readsAnswersAsTheEngine); a chunked body is then taken apart here rather
// than by libcurl, so that its last chunk is seen.
//
// Its task may hold the body back (setHeld): the exchange then takes no
// more of it from libcurl, which stops reading the connection, so that the
// server waits instead of the body piling up in memory. Time spent held
// counts towards no time-out but the resource deadline.
//
// A request whose body is a stream (URLRequest::bodyStream) sends it as it
// comes: when the stream has nothing yet, the upload pauses until the
// stream wakes the exchange (resume()), and that wait, the writer's, counts
// towards no time-out but the resource deadline either. Each byte sent
// counts as activity, as each byte received does. The stream must be
// claimed for the exchange before it opens (URLSessionTask does so).

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChunkedReader.h"
#include "core/Clock.h"
#include "core/ConnectionCounts.h"
#include "core/HTTPResponseHead.h"
#include "core/NetworkError.h"
#include "core/URLRequest.h"

namespace core {

class URLSessionTask;

class HTTPExchange {
public:
    // Header bytes one exchange may receive, interim and trailing ones
    // included.
    static constexpr std::int64_t kMaximumHeaderBytes = 256 * 1024;
    // Bytes of one chunk's size line of a body taken apart here.
    static constexpr size_t kMostChunkLineBytes = 64 * 1024;

    struct Limits {
        // Exchanges with the same key share connectionsPerHost.
        std::string hostKey;
        int connectionsPerHost = 6;
        double idleTimeout = 60;
        double resourceTimeout = 0;   // seconds, for the message
        double resourceDeadline = 0;  // on the current clock's monotonic scale
        // Off when either is 0; see URLSessionConfiguration.
        std::int64_t lowSpeedLimit = 0;
        double lowSpeedTime = 0;
        // The final response's body; the bodies of redirects to follow get
        // less (see URLSessionTask::kMaximumRedirectBodyBytes).
        std::int64_t maximumResponseBytes = 0;
        // See URLSessionConfiguration::followsRedirects.
        bool followsRedirects = true;
        // See URLSessionConfiguration::refusedLocalPorts.
        std::vector<int> refusedLocalPorts;
        // See URLSessionConfiguration::sendsOnlyRequestFields.
        bool onlyRequestFields = false;
        // See URLSessionConfiguration::readsAnswersAsTheEngine.
        bool asTheEngine = false;
    };
    // Certificate authorities trusted besides the system's (see
    // URLSessionConfiguration).
    struct Trust {
        std::string certificatesFile;
        std::string certificatesPEM;
    };

    HTTPExchange(std::shared_ptr<URLSessionTask> task, URLRequest request, Limits limits,
                 Trust trust);
    // Loads the store of authorities exchanges of that trust use.
    static void prepare(const Trust& trust);
    ~HTTPExchange();
    HTTPExchange(const HTTPExchange&) = delete;
    HTTPExchange& operator=(const HTTPExchange&) = delete;

    [[nodiscard]] const Limits& limits() const { return limits_; }
    [[nodiscard]] const URLRequest& request() const { return request_; }

    // From any thread. Holding takes effect at the next piece of the body;
    // letting go needs resume() on the network thread.
    void setHeld(bool held) { held_.store(held); }

    // Network thread only from here on.

    // The configured easy handle, or null when libcurl cannot make one.
    // share holds the TLS sessions and DNS answers of every exchange.
    [[nodiscard]] CURL* open(CURLSH* share);
    // Starts the idle clock.
    void started();
    // The time-out error once a time-out has passed.
    [[nodiscard]] std::optional<NetworkError> expired();
    // Takes the body in again if it was held and is no longer, and sends
    // the request's body stream again if it waited for it.
    void resume();
    // Reports the outcome to the task, which hears nothing more after it.
    void finish(CURLcode code);
    void fail(NetworkError error);

private:
    static size_t onHeader(char* buffer, size_t size, size_t count, void* exchange);
    static size_t onBody(char* buffer, size_t size, size_t count, void* exchange);
    static size_t onSend(char* buffer, size_t size, size_t count, void* exchange);
    static int onSeek(void* exchange, curl_off_t offset, int origin);
    static curl_socket_t openSocket(void* exchange, curlsocktype purpose, curl_sockaddr* address);
    static int beforeRequest(void* exchange, char* peerAddress, char* localAddress, int peerPort,
                             int localPort);

    // False when the exchange must stop: refusal_ then says why.
    [[nodiscard]] bool headerLine(std::string_view line);
    // A piece of the body as libcurl hands it over, and its data.
    [[nodiscard]] bool body(const char* bytes, size_t count);
    [[nodiscard]] bool data(const char* bytes, size_t count);
    [[nodiscard]] bool responded();

    [[nodiscard]] bool refuse(NetworkError error);
    void refuseAfterException(const char* what) noexcept;
    void touch();
    [[nodiscard]] std::optional<NetworkError> tooSlow(double now);
    [[nodiscard]] curl_slist* headerList() const;
    // Sends the request's body stream as it comes.
    void sendStream();
    void applyTrust();
    // Connects routed hosts where HostRoutes says.
    void applyRoutes();

    std::shared_ptr<URLSessionTask> task_;  // null once the outcome is reported
    const URLRequest request_;
    Limits limits_;
    const Trust trust_;
    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
    curl_slist* connectTo_ = nullptr;
    char errorBuffer_[CURL_ERROR_SIZE] = {};

    std::shared_ptr<Clock> clock_;  // the clock the times below were read on
    double lastActivity_ = 0;
    // The low-speed span under way: since when, and the body bytes before.
    double spanStart_ = 0;
    std::int64_t spanStartBytes_ = 0;
    std::int64_t headerBytes_ = 0;

    HTTPResponseHead head_;
    bool responded_ = false;
    std::int64_t received_ = 0;
    std::int64_t expected_ = -1;
    std::int64_t bodyLimit_ = 0;
    bool redirectBody_ = false;
    // Why a callback stopped the transfer; reported instead of libcurl's
    // write error.
    std::optional<NetworkError> refusal_;
    // A connection openSocket refused; reported when no other one was made.
    std::optional<NetworkError> refusedConnection_;
    std::atomic<bool> held_{false};
    // libcurl holds a piece of the body this exchange refused while held.
    bool paused_ = false;
    // The upload waits for its body stream's next bytes.
    bool sendPaused_ = false;
    // What libcurl handed over of the exchange's connection, for the cut
    // heads asTheEngine reads (plain http); null where it is not counted.
    std::shared_ptr<ConnectionCounts::Count> counted_;
    // The final answer's chunked body, taken apart here (asTheEngine).
    std::optional<ChunkedReader> chunks_;
};

}  // namespace core
