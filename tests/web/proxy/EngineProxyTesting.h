#pragma once
// Shared by the engine proxy's service tests: requests through the proxy as
// the engine makes them (a libcurl easy handle with the proxy's URI and
// credentials, trusting its authority for https), raw connections and
// listeners of the tests' own where the point is bytes that neither the
// engine nor libcurl would send or take, and URL protocols that record what
// reaches them and answer, fail or hold.

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/HTTPHeaders.h"
#include "core/NetworkThread.h"
#include "core/ScopedEnvironment.h"
#include "core/URLProtocolFactory.h"
#include "core/URLRequest.h"
#include "core/URLSessionConfiguration.h"
#include "web/proxy/EngineProxy.h"

namespace proxytesting {

// Seconds a request through the proxy may take, sanitizers included.
constexpr long kRequestLimitMs = 20'000;
constexpr int kRawLimitMs = 20'000;

// A test of the process's engine proxy, started once for the process, with
// no certificates file of the environment's trusted by the app's sessions.
class ProxyTest : public testing::Test {
protected:
    void SetUp() override {
        environment.set(core::kTrustedCertificatesFileVariable, std::nullopt);
        (void)core::NetworkThread::shared();  // libcurl set up once for the process
        std::string error;
        proxy = web::EngineProxy::shared(&error);
        ASSERT_NE(proxy, nullptr) << error;
    }

    testsupport::ScopedEnvironment environment;
    web::EngineProxy* proxy = nullptr;
};

// A TCP connection of the test's own to a loopback port, or one it accepted.
class RawConnection {
public:
    struct Accepted {
        int fd;
    };
    explicit RawConnection(Accepted accepted) : fd_(accepted.fd) {}
    explicit RawConnection(int port);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    [[nodiscard]] int fd() const { return fd_; }
    bool send(std::string_view bytes) const;
    // What arrives within limitMs, at least a byte; empty when nothing did or
    // the peer closed.
    std::string readSome(int limitMs = kRawLimitMs);
    // An answer's or a request's head, through its blank line; empty when
    // the connection closed first, or nothing came within limitMs.
    std::string readHead(int limitMs = kRawLimitMs);
    // An answer's head, its body (by its Content-Length) read and dropped.
    std::string readAnswer(int limitMs = kRawLimitMs);
    // Whether the peer closed (or reset) the connection within limitMs;
    // what arrives before is dropped.
    bool closedWithin(int limitMs);

private:
    int fd_;
    std::string buffered_;
};

// A listening socket of the test's own on loopback (every loopback address
// when everywhere is set: 127.0.0.2 and on too).
class RawListener {
public:
    explicit RawListener(bool everywhere = false);
    ~RawListener();
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;

    [[nodiscard]] int port() const { return port_; }
    // A connection that arrived within limitMs; null when none did.
    [[nodiscard]] std::unique_ptr<RawConnection> accept(int limitMs) const;

private:
    int fd_;
    int port_ = 0;
};

// The status of an answer's head; 0 without one.
[[nodiscard]] int statusOf(const std::string& head);
// "Proxy-Authorization: Basic ...\r\n" with the run's credentials.
[[nodiscard]] std::string credentialsField(const web::EngineProxy& proxy);
// Fields of a WebSocket upgrade, and of a CORS preflight.
extern const std::string kUpgrade;
extern const std::string kPreflight;

struct Request {
    std::string method = "GET";
    std::string body;
    std::vector<std::string> headers;  // "Name: value"
    bool credentials = true;
    // The proxy's password instead of the right one.
    std::optional<std::string> password;
    long timeoutMs = kRequestLimitMs;
    // Called with each piece of the body as it arrives.
    std::function<void(const std::string&)> onData;
    // Sent with an announced length without being held in memory.
    std::optional<curl_off_t> fillerBytes;
    bool chunked = false;
};

struct Reply {
    CURLcode code = CURLE_OK;
    long status = 0;
    // The proxy's answer to a CONNECT; 0 without one.
    long connectStatus = 0;
    // The fields of the last response.
    core::HTTPHeaders headers;
    std::string body;
    // The subject and issuer of the certificate the client was shown.
    std::string certificateSubject;
    std::string certificateIssuer;
};

[[nodiscard]] Reply fetch(const web::EngineProxy& proxy, const std::string& url,
                          Request request = {});

// Loads as the engine makes them (fetch(), with the run's credentials),
// one after another on a new connection each, from a thread of their own
// while the test attacks the proxy, the first at once: how many there were,
// the slowest, and the first that failed or was not answered 200.
class EngineLoads {
public:
    EngineLoads(const web::EngineProxy& proxy, std::string url, int pauseMs = 100);
    ~EngineLoads();
    EngineLoads(const EngineLoads&) = delete;
    EngineLoads& operator=(const EngineLoads&) = delete;

    struct Record {
        int loads = 0;
        double slowestSeconds = 0;
        std::string failure;
    };
    // Ends the loads (the one under way first) and tells how they went.
    Record stop();

private:
    std::atomic<bool> stop_{false};
    Record record_;
    std::thread thread_;
};

// "<page field>: <value>", the page mark as the web process extension seals
// it with key for a request of (method, url).
[[nodiscard]] std::string pageMark(const std::string& key, std::uint64_t pageId,
                                   const std::string& document, const std::string& method,
                                   const std::string& url);

// A URL protocol for requests whose path starts with a prefix: it records
// what it was given and answers with status and body, fails, holds the
// load until stopped, or sends the body and then fails, after telling twice
// its length or no length. Its records are safe from any thread.
class RecordingFactory final : public core::URLProtocolFactory,
                               public std::enable_shared_from_this<RecordingFactory> {
public:
    enum class Behaviour { answer, fail, hold, breakOffSized, breakOffUnsized };

    RecordingFactory(std::string prefix, Behaviour behaviour, std::string body = {})
        : prefix_(std::move(prefix)), behaviour_(behaviour), body_(std::move(body)) {}

    bool canInit(const core::URLRequest& request) const override {
        return request.url().path().starts_with(prefix_);
    }
    std::shared_ptr<core::URLProtocol>
    make(core::URLRequest request, std::shared_ptr<core::URLProtocolClient> client) const override;

    [[nodiscard]] std::vector<core::URLRequest> requests() const;
    mutable std::atomic<int> starts{0};
    mutable std::atomic<int> stops{0};

private:
    class Protocol;

    const std::string prefix_;
    const Behaviour behaviour_;
    const std::string body_;
    mutable std::mutex mutex_;
    mutable std::vector<core::URLRequest> requests_;
};

// Registers a factory for the test's life.
class Registered {
public:
    explicit Registered(std::shared_ptr<RecordingFactory> factory);
    ~Registered();
    Registered(const Registered&) = delete;
    Registered& operator=(const Registered&) = delete;

private:
    std::shared_ptr<RecordingFactory> factory_;
};

}  // namespace proxytesting
