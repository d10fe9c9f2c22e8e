#pragma once
// One HTTP request and its response over a libcurl easy handle, without
// redirects: the unit of work of the network thread (internal to the URL
// session). Made on any thread; from open() on it belongs to the network
// thread, which reports through it to its task: the final response header,
// the body as it arrives, and the outcome.
//
// The time-outs read core::Clock::current(), so a manual clock drives them:
// the exchange expires when no byte has arrived for the idle time-out, or at
// the resource deadline.

#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Clock.h"
#include "core/HTTPHeaders.h"
#include "core/NetworkError.h"
#include "core/URLRequest.h"

namespace core {

class URLSessionTask;

class HTTPExchange {
public:
    struct Limits {
        // Exchanges with the same key share connectionsPerHost.
        std::string hostKey;
        int connectionsPerHost = 6;
        double idleTimeout = 60;
        double resourceDeadline = 0;  // on the current clock's monotonic scale
    };
    // Certificate authorities trusted besides the system's (see
    // URLSessionConfiguration).
    struct Trust {
        std::string certificatesFile;
        std::string certificatesPEM;
    };

    HTTPExchange(std::shared_ptr<URLSessionTask> task, URLRequest request, Limits limits,
                 Trust trust);
    ~HTTPExchange();
    HTTPExchange(const HTTPExchange&) = delete;
    HTTPExchange& operator=(const HTTPExchange&) = delete;

    [[nodiscard]] const Limits& limits() const { return limits_; }
    [[nodiscard]] const URLRequest& request() const { return request_; }

    // Network thread only from here on.

    // The configured easy handle, or null when libcurl cannot make one.
    [[nodiscard]] CURL* open();
    // Starts the idle clock.
    void started();
    // The time-out error once a time-out has passed.
    [[nodiscard]] std::optional<NetworkError> expired();
    // Reports the outcome to the task, which hears nothing more after it.
    void finish(CURLcode code);
    void fail(NetworkError error);

private:
    static size_t onHeader(char* buffer, size_t size, size_t count, void* exchange);
    static size_t onBody(char* buffer, size_t size, size_t count, void* exchange);

    void headerLine(std::string_view line);
    void body(const char* bytes, size_t count);
    void touch();
    [[nodiscard]] curl_slist* headerList() const;
    void applyTrust();

    std::shared_ptr<URLSessionTask> task_;  // null once the outcome is reported
    const URLRequest request_;
    Limits limits_;
    const Trust trust_;
    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
    char errorBuffer_[CURL_ERROR_SIZE] = {};

    std::shared_ptr<Clock> clock_;  // the clock lastActivity_ was read on
    double lastActivity_ = 0;

    int status_ = 0;
    std::vector<HTTPHeaders::Field> fields_;
    bool responded_ = false;
    std::int64_t received_ = 0;
    std::int64_t expected_ = -1;
};

}  // namespace core
