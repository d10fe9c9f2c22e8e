#include "RawOrigin.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace testsupport {

namespace {

std::atomic<unsigned> runs{0};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool containsIgnoringCase(std::string_view text, std::string_view word) {
    if (word.size() > text.size()) return false;
    for (size_t at = 0; at + word.size() <= text.size(); ++at)
        if (equalsIgnoringCase(text.substr(at, word.size()), word)) return true;
    return false;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::uint32_t crc32Of(std::string_view bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        c ^= std::uint8_t(byte);
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFu;
}

void appendBigEndian(std::string& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes += char((value >> shift) & 0xFF);
}

// One grey RGB pixel, in a stored (uncompressed) deflate block.
std::string onePixelPng() {
    std::string png = "\x89PNG\r\n\x1a\n";
    const auto chunk = [&png](std::string_view type, const std::string& data) {
        appendBigEndian(png, std::uint32_t(data.size()));
        const std::string typed = std::string(type) + data;
        png += typed;
        appendBigEndian(png, crc32Of(typed));
    };
    std::string header;
    appendBigEndian(header, 1);
    appendBigEndian(header, 1);
    header += std::string("\x08\x02\x00\x00\x00", 5);
    chunk("IHDR", header);
    const std::string raw("\x00\x80\x80\x80", 4);  // filter byte, then the pixel
    std::string deflated("\x78\x01\x01\x04\x00\xFB\xFF", 7);
    deflated += raw;
    std::uint32_t a = 1, b = 0;
    for (const char byte : raw) {
        a = (a + std::uint8_t(byte)) % 65521;
        b = (b + a) % 65521;
    }
    appendBigEndian(deflated, (b << 16) | a);
    chunk("IDAT", deflated);
    chunk("IEND", "");
    return png;
}

// The bytes as a JavaScript string literal's inside, each byte one
// character (as Latin-1 reads them).
std::string scriptText(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::strchr(" ._~-", c)) {
            text += c;
        } else {
            text += "\\u00";
            text += digits[byte >> 4];
            text += digits[byte & 15];
        }
    }
    return text;
}

std::string websocketAccept(const std::string& key) {
    const std::string keyed = key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(keyed.data(), keyed.size(), digest, &length, EVP_sha1(), nullptr);
    std::array<unsigned char, 64> encoded{};
    const int size = EVP_EncodeBlock(encoded.data(), digest, int(length));
    return std::string(reinterpret_cast<const char*>(encoded.data()), size_t(size));
}

// The tag's word: "fetch" of "/run3/fetch-12/x".
std::string tagWord(std::string_view target) {
    if (target.empty() || target.front() != '/') return {};
    const size_t second = target.find('/', 1);
    if (second == std::string_view::npos) return {};
    std::string_view tag = target.substr(second + 1);
    tag = tag.substr(0, tag.find_first_of("/?"));
    return std::string(tag.substr(0, tag.find_first_of("-0123456789")));
}

}  // namespace

const std::string* RawRequest::field(std::string_view name) const {
    for (const auto& [fieldName, value] : fields)
        if (equalsIgnoringCase(fieldName, name)) return &value;
    return nullptr;
}

std::string RawRequest::describe() const {
    std::string text = RawOrigin::printable(method + " " + target + " " + version);
    for (const auto& [name, value] : fields)
        text += "\n    " + RawOrigin::printable(name) + ": " + RawOrigin::printable(value);
    if (!body.empty()) text += "\n    (body) " + RawOrigin::printable(body.substr(0, 512));
    return text;
}

RawAnswer RawAnswer::html(std::string page) {
    return {"HTTP/1.1 200 OK",
            {{"Content-Type", "text/html; charset=utf-8"},
             {"Access-Control-Allow-Origin", "*"},
             {"Cache-Control", "no-store"}},
            std::move(page)};
}

RawAnswer RawAnswer::raw(std::string bytes) {
    RawAnswer answer;
    answer.bytes = std::move(bytes);
    return answer;
}

class RawOrigin::Impl {
public:
    explicit Impl(bool everyLoopbackAddress) : everyLoopbackAddress_(everyLoopbackAddress) {
        if (::pipe2(wake_, O_CLOEXEC) != 0) return;
        listeners_[0] = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(listeners_[0], SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in v4{};
        v4.sin_family = AF_INET;
        // Every address of the machine's, but connections to none outside
        // 127.0.0.0/8 are served (serve()).
        v4.sin_addr.s_addr = htonl(everyLoopbackAddress ? INADDR_ANY : INADDR_LOOPBACK);
        if (::bind(listeners_[0], reinterpret_cast<sockaddr*>(&v4), sizeof v4) != 0 ||
            ::listen(listeners_[0], 128) != 0)
            return;
        socklen_t size = sizeof v4;
        ::getsockname(listeners_[0], reinterpret_cast<sockaddr*>(&v4), &size);
        port_ = ntohs(v4.sin_port);
        listeners_[1] = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::setsockopt(listeners_[1], IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof yes);
        ::setsockopt(listeners_[1], SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in6 v6{};
        v6.sin6_family = AF_INET6;
        v6.sin6_addr = in6addr_loopback;
        v6.sin6_port = htons(std::uint16_t(port_));
        if (listeners_[1] < 0 ||
            ::bind(listeners_[1], reinterpret_cast<sockaddr*>(&v6), sizeof v6) != 0 ||
            ::listen(listeners_[1], 128) != 0) {
            if (listeners_[1] >= 0) ::close(listeners_[1]);
            listeners_[1] = -1;
        }
        acceptor_ = std::thread([this] { acceptLoop(); });
    }

    ~Impl() {
        if (acceptor_.joinable()) {
            const char byte = 0;
            (void)!::write(wake_[1], &byte, 1);
            acceptor_.join();
        }
        std::vector<std::thread> connections;
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
            for (const int fd : open_) ::shutdown(fd, SHUT_RDWR);
            connections.swap(connections_);
        }
        for (auto& connection : connections) connection.join();
        for (const int fd : {listeners_[0], listeners_[1], wake_[0], wake_[1]})
            if (fd >= 0) ::close(fd);
    }

    [[nodiscard]] int port() const { return port_; }
    [[nodiscard]] bool hasIPv6() const { return listeners_[1] >= 0; }

    void answer(std::string prefix, RawAnswer answer) {
        const std::lock_guard lock(mutex_);
        answers_[std::move(prefix)] = std::move(answer);
    }

    [[nodiscard]] std::vector<RawRequest> log(const std::string& prefix) const {
        const std::lock_guard lock(mutex_);
        std::vector<RawRequest> found;
        for (const auto& request : log_)
            if (request.target.starts_with(prefix)) found.push_back(request);
        return found;
    }

private:
    void acceptLoop() {
        for (;;) {
            std::array<pollfd, 3> watched{};
            size_t count = 0;
            watched[count++] = {wake_[0], POLLIN, 0};
            for (const int fd : listeners_)
                if (fd >= 0) watched[count++] = {fd, POLLIN, 0};
            if (::poll(watched.data(), count, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (watched[0].revents) return;
            for (size_t i = 1; i < count; ++i) {
                if (!(watched[i].revents & POLLIN)) continue;
                const int fd = ::accept4(watched[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0) continue;
                const bool v6 = watched[i].fd == listeners_[1];
                const std::lock_guard lock(mutex_);
                if (stopping_) {
                    ::close(fd);
                    continue;
                }
                open_.insert(fd);
                connections_.emplace_back([this, fd, v6] {
                    serve(fd, v6);
                    const std::lock_guard lock(mutex_);
                    open_.erase(fd);
                    ::close(fd);
                });
            }
        }
    }

    static bool readMore(int fd, std::string& buffer) {
        char chunk[65536];
        for (;;) {
            const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            buffer.append(chunk, size_t(got));
            return true;
        }
    }

    static bool sendAll(int fd, std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR) continue;
            if (sent <= 0) return false;
            bytes.remove_prefix(size_t(sent));
        }
        return true;
    }

    // count bytes from the buffer, reading as needed.
    static std::optional<std::string> take(int fd, std::string& buffer, size_t count) {
        while (buffer.size() < count)
            if (!readMore(fd, buffer)) return std::nullopt;
        std::string taken = buffer.substr(0, count);
        buffer.erase(0, count);
        return taken;
    }

    // The request's body, read and dropped as its head frames it.
    static bool dropBody(int fd, std::string& buffer, const RawRequest& request) {
        const std::string* encoding = request.field("Transfer-Encoding");
        if (encoding && containsIgnoringCase(*encoding, "chunked"))
            return chunkedBody(fd, buffer).has_value();
        const std::string* length = request.field("Content-Length");
        for (size_t left = length ? std::strtoull(length->c_str(), nullptr, 10) : 0; left > 0;) {
            if (buffer.empty() && !readMore(fd, buffer)) return false;
            const size_t dropped = std::min(left, buffer.size());
            buffer.erase(0, dropped);
            left -= dropped;
        }
        return true;
    }

    static std::optional<std::string> takeLine(int fd, std::string& buffer) {
        size_t end;
        while ((end = buffer.find("\r\n")) == std::string::npos) {
            if (buffer.size() > kMostHeadBytes || !readMore(fd, buffer)) return std::nullopt;
        }
        std::string line = buffer.substr(0, end);
        buffer.erase(0, end + 2);
        return line;
    }

    static std::optional<std::string> chunkedBody(int fd, std::string& buffer) {
        std::string body;
        for (;;) {
            const auto line = takeLine(fd, buffer);
            if (!line) return std::nullopt;
            const size_t size = std::strtoul(line->c_str(), nullptr, 16);
            if (size == 0) break;
            const auto data = take(fd, buffer, size + 2);
            if (!data) return std::nullopt;
            body += data->substr(0, size);
        }
        for (;;) {  // trailers, up to the empty line
            const auto line = takeLine(fd, buffer);
            if (!line) return std::nullopt;
            if (line->empty()) return body;
        }
    }

    static std::optional<RawRequest> parseHead(std::string_view head, bool v6) {
        RawRequest request;
        request.overIPv6 = v6;
        const size_t lineEnd = std::min(head.find("\r\n"), head.size());
        const std::string_view line = head.substr(0, lineEnd);
        const size_t first = line.find(' ');
        const size_t last = line.rfind(' ');
        if (first == std::string_view::npos || last == first) return std::nullopt;
        request.method = std::string(line.substr(0, first));
        request.target = std::string(line.substr(first + 1, last - first - 1));
        request.version = std::string(line.substr(last + 1));
        size_t at = lineEnd + 2;
        while (at < head.size()) {
            size_t end = head.find("\r\n", at);
            if (end == std::string_view::npos) end = head.size();
            const std::string_view fieldLine = head.substr(at, end - at);
            at = end + 2;
            const size_t colon = fieldLine.find(':');
            if (colon == std::string_view::npos) continue;
            request.fields.emplace_back(std::string(fieldLine.substr(0, colon)),
                                        std::string(trimmed(fieldLine.substr(colon + 1))));
        }
        return request;
    }

    void serve(int fd, bool v6) {
        if (everyLoopbackAddress_ && !v6) {
            sockaddr_in local{};
            socklen_t size = sizeof local;
            if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0 ||
                (ntohl(local.sin_addr.s_addr) >> 24) != 127)
                return;
        }
        std::string buffer;
        for (;;) {
            size_t end;
            while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
                if (buffer.size() > kMostHeadBytes) {
                    (void)sendAll(fd, "HTTP/1.1 431 Request Header Fields Too Large\r\n"
                                      "Content-Length: 0\r\nConnection: close\r\n\r\n");
                    return;
                }
                if (!readMore(fd, buffer)) return;
            }
            auto request = parseHead(std::string_view(buffer).substr(0, end), v6);
            buffer.erase(0, end + 4);
            if (!request) return;
            if (const auto given = givenFor(*request); given && given->held) {
                {
                    const std::lock_guard lock(mutex_);
                    log_.push_back(*request);
                }
                // Until the origin ends (its wake-up stays readable).
                pollfd stop{wake_[0], POLLIN, 0};
                while (::poll(&stop, 1, -1) < 0 && errno == EINTR) {
                }
                return;
            }
            if (const auto early = givenFor(*request); early && early->beforeBody) {
                if (!sendAll(fd, withFraming(*request, *early)) || !dropBody(fd, buffer, *request))
                    return;
                continue;
            }
            const std::string* encoding = request->field("Transfer-Encoding");
            if (encoding && containsIgnoringCase(*encoding, "chunked")) {
                auto body = chunkedBody(fd, buffer);
                if (!body) return;
                request->body = std::move(*body);
            } else if (const std::string* length = request->field("Content-Length")) {
                auto body = take(fd, buffer, std::strtoull(length->c_str(), nullptr, 10));
                if (!body) return;
                request->body = std::move(*body);
            }
            {
                const std::lock_guard lock(mutex_);
                log_.push_back(*request);
            }
            const std::string* upgrade = request->field("Upgrade");
            const std::string* key = request->field("Sec-WebSocket-Key");
            if (upgrade && key && containsIgnoringCase(*upgrade, "websocket")) {
                const auto given = givenFor(*request);
                echoWebSocket(fd, buffer, *key,
                              given ? given->statusLine : "HTTP/1.1 101 Switching Protocols");
                return;
            }
            const RawAnswer answer = answerFor(*request);
            if (answer.bytes) {
                (void)sendAll(fd, *answer.bytes);
                return;
            }
            if (!sendAll(fd, withFraming(*request, answer))) return;
            const std::string* connection = request->field("Connection");
            if ((connection && containsIgnoringCase(*connection, "close")) ||
                request->version != "HTTP/1.1")
                return;
        }
    }

    RawAnswer answerFor(const RawRequest& request) {
        auto given = givenFor(request);
        return given ? std::move(*given) : madeAnswer(request);
    }

    // The answer given for the longest prefix of the request's target.
    std::optional<RawAnswer> givenFor(const RawRequest& request) {
        std::optional<RawAnswer> given;
        size_t longest = 0;
        {
            const std::lock_guard lock(mutex_);
            for (const auto& [prefix, answer] : answers_) {
                if (prefix.size() >= longest && request.target.starts_with(prefix)) {
                    given = answer;
                    longest = prefix.size();
                }
            }
        }
        return given;
    }

    // The answer's status line, fields (with a Content-Length where it
    // needs one) and body.
    static std::string withFraming(const RawRequest& request, const RawAnswer& answer) {
        const bool bodiless = answer.statusLine.find(" 204") != std::string::npos ||
                              answer.statusLine.find(" 304") != std::string::npos;
        std::string bytes = answer.statusLine + "\r\n";
        bool framed = false;
        for (const auto& [name, value] : answer.fields) {
            bytes += name + ": " + value + "\r\n";
            framed = framed || equalsIgnoringCase(name, "Content-Length") ||
                     equalsIgnoringCase(name, "Transfer-Encoding");
        }
        if (!framed && !bodiless)
            bytes += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
        bytes += "\r\n";
        if (request.method != "HEAD" && !bodiless) bytes += answer.body;
        return bytes;
    }

    static RawAnswer madeAnswer(const RawRequest& request) {
        RawAnswer answer{"HTTP/1.1 200 OK",
                         {{"Access-Control-Allow-Origin", "*"}, {"Cache-Control", "no-store"}},
                         {}};
        const std::string served = request.method + " " + request.target;
        if (request.target.size() > kMostTargetBytes) {
            answer.statusLine = "HTTP/1.1 414 URI Too Long";
            answer.fields.emplace_back("Content-Type", "text/plain");
            answer.body = "too long";
            return answer;
        }
        const std::string word = tagWord(request.target);
        if (word == "img") {
            static const std::string png = onePixelPng();
            answer.fields.emplace_back("Content-Type", "image/png");
            answer.body = png;
        } else if (word == "script") {
            answer.fields.emplace_back("Content-Type", "text/javascript");
            answer.body = "(window.ran = window.ran || []).push(document.currentScript.src);\n";
        } else if (word == "frame" || word == "nav" || word == "form") {
            answer.fields.emplace_back("Content-Type", "text/html; charset=utf-8");
            answer.body = "<!doctype html><meta charset=utf-8><body><script>\n"
                          "window.served = \"" +
                          scriptText(served) +
                          "\";\n"
                          "if (parent !== window) parent.postMessage({served, href: "
                          "location.href}, '*');\n</script>\n";
        } else {
            answer.fields.emplace_back("Content-Type", "text/plain; charset=utf-8");
            answer.body = served + (request.body.empty() ? "" : "\n" + request.body);
        }
        return answer;
    }

    // Sends back every message until the client closes.
    static void echoWebSocket(int fd, std::string& buffer, const std::string& key,
                              const std::string& statusLine) {
        if (!sendAll(fd, statusLine +
                             "\r\nUpgrade: websocket\r\n"
                             "Connection: Upgrade\r\nSec-WebSocket-Accept: " +
                             websocketAccept(key) + "\r\n\r\n"))
            return;
        for (;;) {
            const auto head = take(fd, buffer, 2);
            if (!head) return;
            const auto first = std::uint8_t((*head)[0]);
            const auto second = std::uint8_t((*head)[1]);
            std::uint64_t length = second & 0x7F;
            if (length >= 126) {
                const auto extended = take(fd, buffer, length == 126 ? 2 : 8);
                if (!extended) return;
                length = 0;
                for (const char byte : *extended) length = (length << 8) | std::uint8_t(byte);
            }
            if (length > (64u << 20)) return;
            std::string mask(4, '\0');
            if (second & 0x80) {
                const auto taken = take(fd, buffer, 4);
                if (!taken) return;
                mask = *taken;
            }
            auto payload = take(fd, buffer, size_t(length));
            if (!payload) return;
            for (size_t i = 0; i < payload->size(); ++i) (*payload)[i] ^= mask[i % 4];
            const std::uint8_t opcode = first & 0x0F;
            std::string frame;
            frame += char(opcode == 9 ? (first & 0xF0) | 10 : first);
            if (payload->size() < 126) {
                frame += char(payload->size());
            } else if (payload->size() <= 0xFFFF) {
                frame += char(126);
                frame += char(payload->size() >> 8);
                frame += char(payload->size() & 0xFF);
            } else {
                frame += char(127);
                for (int shift = 56; shift >= 0; shift -= 8)
                    frame += char((std::uint64_t(payload->size()) >> shift) & 0xFF);
            }
            frame += *payload;
            if (opcode != 10 && !sendAll(fd, frame)) return;
            if (opcode == 8) return;
        }
    }

    int port_ = 0;
    int listeners_[2] = {-1, -1};
    const bool everyLoopbackAddress_;
    int wake_[2] = {-1, -1};
    std::thread acceptor_;

    mutable std::mutex mutex_;
    bool stopping_ = false;
    std::set<int> open_;
    std::vector<std::thread> connections_;
    std::map<std::string, RawAnswer> answers_;
    std::vector<RawRequest> log_;
};

RawOrigin::RawOrigin(bool everyLoopbackAddress)
    : impl_(std::make_unique<Impl>(everyLoopbackAddress)) {}
RawOrigin::~RawOrigin() = default;

int RawOrigin::port() const {
    return impl_->port();
}

bool RawOrigin::hasIPv6() const {
    return impl_->hasIPv6();
}

std::string RawOrigin::origin() const {
    return "http://127.0.0.1:" + std::to_string(port());
}

void RawOrigin::answer(std::string prefix, RawAnswer answer) {
    impl_->answer(std::move(prefix), std::move(answer));
}

std::vector<RawRequest> RawOrigin::log(const std::string& prefix) const {
    return impl_->log(prefix);
}

std::string RawOrigin::newRun() {
    return "/run" + std::to_string(++runs);
}

std::string RawOrigin::printable(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            text += c;
        } else {
            text += "\\x";
            text += digits[byte >> 4];
            text += digits[byte & 15];
        }
    }
    return text;
}

}  // namespace testsupport
