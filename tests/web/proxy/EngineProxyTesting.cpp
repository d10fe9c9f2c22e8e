#include "EngineProxyTesting.h"

#include <arpa/inet.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "core/NetworkThread.h"
#include "core/URLProtocolRegistry.h"
#include "web/PageMark.h"

namespace proxytesting {

namespace {

struct Transfer {
    Reply* reply;
    const Request* request;
    curl_off_t fillerLeft = 0;
};

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto& reply = *static_cast<Transfer*>(user)->reply;
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.starts_with("HTTP/")) {
        reply.headers = {};
    } else if (const size_t colon = line.find(':'); colon != std::string::npos) {
        size_t start = colon + 1;
        while (start < line.size() && line[start] == ' ') ++start;
        reply.headers.add(line.substr(0, colon), line.substr(start));
    }
    return size * count;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::string piece(data, size * count);
    transfer.reply->body += piece;
    if (transfer.request->onData) transfer.request->onData(piece);
    return size * count;
}

size_t onRead(char* buffer, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const auto bytes = static_cast<curl_off_t>(size * count);
    const size_t sent = size_t(std::min(bytes, transfer.fillerLeft));
    std::fill(buffer, buffer + sent, 'x');
    transfer.fillerLeft -= curl_off_t(sent);
    return sent;
}

}  // namespace

RawConnection::RawConnection(int port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
}

RawConnection::~RawConnection() {
    close(fd_);
}

bool RawConnection::send(std::string_view bytes) const {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
}

std::string RawConnection::readSome(int limitMs) {
    if (!buffered_.empty()) return std::exchange(buffered_, {});
    pollfd readable{fd_, POLLIN, 0};
    if (poll(&readable, 1, limitMs) != 1) return {};
    char buffer[4096];
    const ssize_t count = recv(fd_, buffer, sizeof buffer, 0);
    return count > 0 ? std::string(buffer, size_t(count)) : std::string();
}

std::string RawConnection::readHead(int limitMs) {
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos) {
        std::string piece = readSome(limitMs);
        if (piece.empty()) return {};
        head += piece;
    }
    const size_t end = head.find("\r\n\r\n") + 4;
    buffered_ = head.substr(end);
    return head.substr(0, end);
}

std::string RawConnection::readAnswer(int limitMs) {
    std::string head = readHead(limitMs);
    const size_t field = head.find("Content-Length: ");
    size_t length = field == std::string::npos ? 0 : size_t(std::atol(head.c_str() + field + 16));
    while (buffered_.size() < length) {
        std::string piece = readSome(limitMs);
        if (piece.empty()) return {};
        buffered_ += piece;
    }
    buffered_.erase(0, length);
    return head;
}

bool RawConnection::closedWithin(int limitMs) {
    buffered_.clear();
    for (;;) {
        pollfd readable{fd_, POLLIN, 0};
        if (poll(&readable, 1, limitMs) != 1) return false;
        char buffer[4096];
        if (recv(fd_, buffer, sizeof buffer, 0) <= 0) return true;
    }
}

RawListener::RawListener(bool everywhere) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(everywhere ? INADDR_ANY : INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(listen(fd_, 256), 0);
    EXPECT_EQ(getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length), 0);
    port_ = ntohs(address.sin_port);
}

RawListener::~RawListener() {
    close(fd_);
}

std::unique_ptr<RawConnection> RawListener::accept(int limitMs) const {
    pollfd readable{fd_, POLLIN, 0};
    if (poll(&readable, 1, limitMs) != 1) return nullptr;
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? nullptr : std::make_unique<RawConnection>(RawConnection::Accepted{fd});
}

int statusOf(const std::string& head) {
    return head.starts_with("HTTP/1.") && head.size() > 12 ? std::atoi(head.c_str() + 9) : 0;
}

std::string credentialsField(const web::EngineProxy& proxy) {
    const std::string credentials = proxy.user() + ":" + proxy.password();
    gchar* encoded =
        g_base64_encode(reinterpret_cast<const guchar*>(credentials.data()), credentials.size());
    std::string field = "Proxy-Authorization: Basic " + std::string(encoded) + "\r\n";
    g_free(encoded);
    return field;
}

const std::string kUpgrade =
    "Upgrade: websocket\r\nConnection: Upgrade\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";
const std::string kPreflight = "Origin: http://page.test\r\nAccess-Control-Request-Method: PUT\r\n";

std::string pageMark(const std::string& key, std::uint64_t pageId, const std::string& document,
                     const std::string& method, const std::string& url) {
    web::protocol::PageMarkSeal seal(key);
    return std::string(web::protocol::kPageHeader) + ": " +
           seal.seal(pageId, document, method, url);
}

Reply fetch(const web::EngineProxy& proxy, const std::string& url, Request request) {
    (void)core::NetworkThread::shared();  // libcurl set up once for the process
    Reply reply;
    Transfer transfer{&reply, &request, request.fillerBytes.value_or(0)};
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.uri().c_str());
    const std::string credentials =
        proxy.user() + ":" + request.password.value_or(proxy.password());
    if (request.credentials) curl_easy_setopt(easy, CURLOPT_PROXYUSERPWD, credentials.c_str());
    const std::string authority = proxy.authorityPEM();
    curl_blob blob{const_cast<char*>(authority.data()), authority.size(), CURL_BLOB_COPY};
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
    curl_easy_setopt(easy, CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, request.timeoutMs);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_slist* headers = nullptr;
    for (const auto& header : request.headers) headers = curl_slist_append(headers, header.c_str());
    if (request.chunked) headers = curl_slist_append(headers, "Transfer-Encoding: chunked");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    if (request.method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (request.fillerBytes) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, onRead);
        curl_easy_setopt(easy, CURLOPT_READDATA, &transfer);
        if (!request.chunked)
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, *request.fillerBytes);
    } else if (request.method != "GET") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
    }
    reply.code = curl_easy_perform(easy);
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &reply.connectStatus);
    curl_certinfo* certificates = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CERTINFO, &certificates) == CURLE_OK && certificates &&
        certificates->num_of_certs > 0) {
        for (curl_slist* field = certificates->certinfo[0]; field; field = field->next) {
            const std::string text = field->data;
            if (text.starts_with("Subject:")) reply.certificateSubject = text.substr(8);
            if (text.starts_with("Issuer:")) reply.certificateIssuer = text.substr(7);
        }
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(easy);
    return reply;
}

EngineLoads::EngineLoads(const web::EngineProxy& proxy, std::string url, int pauseMs)
    : thread_([this, &proxy, url = std::move(url), pauseMs] {
          // One at least, made while the test goes on.
          do {
              const auto start = std::chrono::steady_clock::now();
              const Reply reply = fetch(proxy, url);
              const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
              ++record_.loads;
              record_.slowestSeconds = std::max(record_.slowestSeconds, took.count());
              if ((reply.code != CURLE_OK || reply.status != 200) && record_.failure.empty())
                  record_.failure = "load " + std::to_string(record_.loads) + ": " +
                                    curl_easy_strerror(reply.code) + ", status " +
                                    std::to_string(reply.status);
              if (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
          } while (!stop_);
      }) {}

EngineLoads::~EngineLoads() {
    (void)stop();
}

EngineLoads::Record EngineLoads::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return record_;
}

class RecordingFactory::Protocol final : public core::URLProtocol {
public:
    Protocol(core::URLRequest request, std::shared_ptr<core::URLProtocolClient> client,
             std::shared_ptr<const RecordingFactory> factory)
        : URLProtocol(std::move(request), std::move(client)), factory_(std::move(factory)) {}

    void startLoading() override {
        ++factory_->starts;
        {
            std::lock_guard lock(factory_->mutex_);
            factory_->requests_.push_back(request());
        }
        switch (factory_->behaviour_) {
        case Behaviour::answer: {
            core::HTTPHeaders headers{{"Content-Type", "text/plain"},
                                      {"Content-Length", std::to_string(factory_->body_.size())}};
            client()->didReceiveResponse(
                core::HTTPURLResponse(request().url(), 200, std::move(headers)),
                core::CachedURLResponse::StoragePolicy::notAllowed);
            client()->didLoadData(core::Data(factory_->body_.begin(), factory_->body_.end()));
            client()->didFinishLoading();
            break;
        }
        case Behaviour::fail:
            client()->didFailWithError(
                core::NetworkError::make(core::NetworkError::Code::cannotConnectToHost,
                                         request().url().absoluteString(), "refused by the test"));
            break;
        case Behaviour::hold:
            break;
        case Behaviour::breakOffSized:
        case Behaviour::breakOffUnsized: {
            core::HTTPHeaders headers{{"Content-Type", "text/plain"}};
            if (factory_->behaviour_ == Behaviour::breakOffSized)
                headers.add("Content-Length", std::to_string(factory_->body_.size() * 2));
            client()->didReceiveResponse(
                core::HTTPURLResponse(request().url(), 200, std::move(headers)),
                core::CachedURLResponse::StoragePolicy::notAllowed);
            client()->didLoadData(core::Data(factory_->body_.begin(), factory_->body_.end()));
            client()->didFailWithError(core::NetworkError::make(
                core::NetworkError::Code::networkConnectionLost, request().url().absoluteString(),
                "broken off by the test"));
            break;
        }
        }
    }
    void stopLoading() override { ++factory_->stops; }

private:
    const std::shared_ptr<const RecordingFactory> factory_;
};

std::shared_ptr<core::URLProtocol>
RecordingFactory::make(core::URLRequest request,
                       std::shared_ptr<core::URLProtocolClient> client) const {
    return std::make_shared<Protocol>(std::move(request), std::move(client), shared_from_this());
}

std::vector<core::URLRequest> RecordingFactory::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

Registered::Registered(std::shared_ptr<RecordingFactory> factory) : factory_(std::move(factory)) {
    EXPECT_TRUE(core::URLProtocolRegistry::shared().registerFactory(factory_));
}

Registered::~Registered() {
    core::URLProtocolRegistry::shared().unregisterFactory(factory_);
}

}  // namespace proxytesting
