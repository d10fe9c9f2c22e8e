#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "URLSessionTesting.h"
#include "core/URLRequest.h"
#include "core/URLSession.h"

namespace {

using core::URLRequest;

URLRequest request() {
    return URLRequest(*core::URL::create("http://127.0.0.1/"));
}

TEST(URLRequestHeaders, NamesMustBeTokens) {
    for (const char* name : {"X-Name", "x_name", "A1", "!#$%&'*+-.^_`|~"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(URLRequest::isToken(name));
    }
    for (const char* name : {"", "X Name", "X-Name:", "X\r\nInjected", "(x)", "X\"", "Ä"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(URLRequest::isToken(name));
        URLRequest refused = request();
        EXPECT_FALSE(refused.setValue(name, "v"));
        EXPECT_FALSE(refused.addValue(name, "v"));
        EXPECT_TRUE(refused.headers().empty());
    }
}

TEST(URLRequestHeaders, ValuesMayNotEndTheLine) {
    URLRequest sent = request();
    ASSERT_TRUE(sent.setValue("X-Value", "kept"));
    for (const std::string& value : {std::string("a\r\nX-Injected: 1"), std::string("a\nb"),
                                     std::string("a\rb"), std::string("a\0b", 3)}) {
        SCOPED_TRACE(value);
        EXPECT_FALSE(sent.setValue("X-Value", value));
        EXPECT_FALSE(sent.addValue("X-Value", value));
    }
    EXPECT_EQ(sent.value("X-Value"), "kept");
    EXPECT_EQ(sent.headers().size(), 1u);
    // Anything else is the server's to judge.
    EXPECT_TRUE(sent.setValue("X-Value", "\ttabs, spaces, \x7f and UTF-8 \xe5\xb1\xb1"));
    EXPECT_TRUE(sent.setValue("X-Empty", ""));
    EXPECT_TRUE(sent.setValue("X-Value", std::nullopt));
    EXPECT_FALSE(sent.headers().contains("X-Value"));
}

TEST(URLRequestHeaders, MethodsMustBeTokens) {
    URLRequest sent = request();
    EXPECT_TRUE(sent.setMethod("PROPFIND"));
    EXPECT_FALSE(sent.setMethod("GET / HTTP/1.1\r\nHost: a\r\n\r\nGET"));
    EXPECT_FALSE(sent.setMethod(""));
    EXPECT_EQ(sent.method(), "PROPFIND");
}

// Accepts one connection on loopback, keeps every byte the client sends
// until it has been quiet for a moment, then answers (200 unless told
// otherwise) and closes.
class RawListener {
public:
    explicit RawListener(std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n"
                                              "Connection: close\r\n\r\nok")
        : answer_(std::move(answer)) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            listen(fd_, 4) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "cannot listen on loopback";
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~RawListener() {
        thread_.join();
        close(fd_);
    }
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;

    [[nodiscard]] core::URL url(const std::string& path) const {
        return *core::URL::create("http://127.0.0.1:" + std::to_string(port_) + path);
    }
    // What the client sent; complete once its request has completed.
    [[nodiscard]] std::string received() const { return received_; }

private:
    void serve() {
        pollfd waiting{fd_, POLLIN, 0};
        if (poll(&waiting, 1, 10'000) <= 0) return;
        const int client = accept(fd_, nullptr, nullptr);
        if (client < 0) return;
        std::string bytes;
        char buffer[4096];
        for (;;) {
            pollfd readable{client, POLLIN, 0};
            const int quietMs = bytes.find("\r\n\r\n") == std::string::npos ? 10'000 : 300;
            if (poll(&readable, 1, quietMs) <= 0) break;
            const ssize_t count = recv(client, buffer, sizeof(buffer), 0);
            if (count <= 0) break;
            bytes.append(buffer, static_cast<size_t>(count));
        }
        received_ = bytes;
        (void)send(client, answer_.data(), answer_.size(), MSG_NOSIGNAL);
        close(client);
    }

    const std::string answer_;
    int fd_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::string received_;
};

size_t count(const std::string& text, const std::string& part) {
    size_t found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

TEST(URLRequestHeadersService, NothingSmuggledReachesTheWire) {
    const std::string smuggled = "x\r\n\r\nGET /smuggled HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    RawListener listener;
    URLRequest sent(listener.url("/page"));
    EXPECT_FALSE(sent.setValue("X-Page", smuggled));
    EXPECT_FALSE(sent.addValue("X-Page\r\nGET /smuggled HTTP/1.1\r\nX-A", "b"));
    EXPECT_FALSE(sent.setMethod("GET /smuggled HTTP/1.1\r\n\r\nGET"));
    EXPECT_TRUE(sent.setValue("X-Page", "plain"));
    // Headers a session adds go through the same check.
    core::URLSessionConfiguration configuration;
    configuration.HTTPAdditionalHeaders.add("X-Session", smuggled);
    configuration.userAgent = "agent\r\nX-Injected: 1";
    const auto outcome = testsupport::fetch(*core::URLSession::create(configuration), sent);
    EXPECT_FALSE(outcome.error) << outcome.error->message;
    EXPECT_EQ(outcome.text(), "ok");

    const std::string wire = listener.received();
    EXPECT_EQ(count(wire, " HTTP/1.1\r\n"), 1u) << wire;
    EXPECT_TRUE(wire.starts_with("GET /page HTTP/1.1\r\n")) << wire;
    EXPECT_EQ(wire.find("smuggled"), std::string::npos) << wire;
    EXPECT_EQ(wire.find("Injected"), std::string::npos) << wire;
    EXPECT_EQ(wire.find("X-Session"), std::string::npos) << wire;
    EXPECT_NE(wire.find("X-Page: plain\r\n"), std::string::npos) << wire;
}

// What a browser wrote passes as it stands: the target byte for byte
// (brackets, pipes, bad escapes, dot segments), field bytes that are not
// UTF-8, no field libcurl would add, and the server's own reason phrase.
TEST(URLRequestHeadersService, ARequestAsWrittenReachesTheWireAndTheReasonComesBack) {
    RawListener listener(
        "HTTP/1.1 418 Teapot \xe9t\xe9\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    const std::string target = "/br[ack]/a|b/%zz/%2F/../{x}?cb=[timestamp]&x=a|b&y=%";
    const auto url = core::URL::createFromWeb(
        "http://127.0.0.1:" + std::to_string(listener.url("/").port().value()) + target + "#frag");
    ASSERT_TRUE(url);
    URLRequest sent(*url);
    ASSERT_TRUE(sent.setMethod("POST"));
    ASSERT_TRUE(sent.setValue("X-Name", "caf\xe9"));
    sent.setBody(std::string_view("a=1"));
    core::URLSessionConfiguration configuration;
    configuration.userAgent.clear();
    configuration.sendsOnlyRequestFields = true;
    const auto outcome = testsupport::fetch(*core::URLSession::create(configuration), sent);
    ASSERT_FALSE(outcome.error) << outcome.error->message;
    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->statusCode(), 418);
    EXPECT_EQ(outcome.response->reasonPhrase(), "Teapot \xe9t\xe9");

    const std::string wire = listener.received();
    EXPECT_TRUE(wire.starts_with("POST " + target + " HTTP/1.1\r\n")) << wire;
    EXPECT_NE(wire.find("\r\nX-Name: caf\xe9\r\n"), std::string::npos) << wire;
    for (const char* added : {"Accept:", "Content-Type:", "User-Agent:", "Expect:"})
        EXPECT_EQ(wire.find(std::string("\r\n") + added), std::string::npos) << added << wire;
}

}  // namespace
