#include "web/PageMessageServer.h"

#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "web/DecisionServer.h"
#include "web/EngineMessages.h"

namespace web {

// One web process's connection: a header, then the URL it announces.
class PageMessageServer::Connection {
public:
    explicit Connection(int fd) : fd_(fd) {}
    ~Connection() { close(fd_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    [[nodiscard]] int fd() const { return fd_; }

    // False once the connection is done (closed, or it broke the protocol).
    bool readable(PageMessageServer& server) {
        for (;;) {
            char* into = nullptr;
            size_t wanted = 0;
            if (headerRead_ < sizeof header_) {
                into = reinterpret_cast<char*>(&header_) + headerRead_;
                wanted = sizeof header_ - headerRead_;
            } else {
                // The text grows as it comes, so that what a header
                // announces is not held before it is sent.
                if (urlRead_ == url_.size() && url_.size() < length_)
                    url_.resize(std::min(length_, url_.size() + kGrowth));
                into = url_.data() + urlRead_;
                wanted = url_.size() - urlRead_;
            }
            if (wanted > 0) {
                const ssize_t got = recv(fd_, into, wanted, MSG_DONTWAIT);
                if (got < 0 && errno == EINTR) continue;
                if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
                if (got <= 0) return false;
                if (headerRead_ < sizeof header_) {
                    headerRead_ += size_t(got);
                    if (headerRead_ < sizeof header_) continue;
                    const bool omitted = header_.flags & protocol::kMessageOmitted;
                    if (!omitted && header_.length > protocol::kMostMessageBytes) return false;
                    length_ = omitted ? 0 : size_t(header_.length);
                    url_.clear();
                    urlRead_ = 0;
                } else {
                    urlRead_ += size_t(got);
                }
            }
            if (headerRead_ == sizeof header_ && urlRead_ == length_) {
                const char answer = char(server.offer(header_, std::move(url_)));
                url_ = std::string();
                headerRead_ = 0;
                urlRead_ = 0;
                if (send(fd_, &answer, 1, MSG_NOSIGNAL) != 1) return false;
            }
        }
    }

private:
    const int fd_;
    protocol::MessageHeader header_;
    size_t headerRead_ = 0;
    static constexpr size_t kGrowth = size_t(4) << 20;
    size_t length_ = 0;
    std::string url_;
    size_t urlRead_ = 0;
};

PageMessageServer* PageMessageServer::shared(std::string* error) {
    static PageMessageServer* server = nullptr;
    static std::string failure;
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    if (server) return server;
    if (failure.empty()) {
        std::string reason;
        DecisionServer* decisions = DecisionServer::shared(&reason);
        if (decisions) {
            auto candidate = std::unique_ptr<PageMessageServer>(new PageMessageServer);
            candidate->socketPath_ = protocol::messageSocketPath(decisions->socketPath());
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (candidate->socketPath_.size() < sizeof(address.sun_path) && fd >= 0) {
                std::strncpy(address.sun_path, candidate->socketPath_.c_str(),
                             sizeof(address.sun_path) - 1);
                (void)unlink(address.sun_path);
                if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    listen(fd, 16) == 0) {
                    candidate->listener_ = fd;
                    server = candidate.release();  // for the life of the process
                    std::thread([] { server->serve(); }).detach();
                    return server;
                }
            }
            if (fd >= 0) close(fd);
            reason = "cannot listen at " + candidate->socketPath_;
        }
        failure = "web views: no page message socket (" + reason + ")";
    }
    if (error) *error = failure;
    return nullptr;
}

void PageMessageServer::serve() {
    pthread_setname_np(pthread_self(), "page messages");
    std::vector<std::unique_ptr<Connection>> connections;
    std::vector<pollfd> entries;
    for (;;) {
        entries.clear();
        entries.push_back({listener_, POLLIN, 0});
        for (const auto& connection : connections) entries.push_back({connection->fd(), POLLIN, 0});
        if (poll(entries.data(), entries.size(), -1) < 0) continue;  // EINTR
        // Connections first: their entries follow the listener's.
        for (size_t at = entries.size(); at-- > 1;) {
            if (!entries[at].revents) continue;
            if (!connections[at - 1]->readable(*this))
                connections.erase(connections.begin() + long(at - 1));
        }
        if (entries[0].revents & POLLIN) {
            const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            if (connections.size() >= kMostConnections) {
                close(fd);
                continue;
            }
            connections.push_back(std::make_unique<Connection>(fd));
        }
    }
}

protocol::Decision PageMessageServer::offer(const protocol::MessageHeader& header,
                                            std::string url) {
    const bool omitted = header.flags & protocol::kMessageOmitted;
    const size_t bytes = omitted ? 0 : url.size();
    // Whether the page takes it, asked before the text is read as a URL, and
    // again after (its view may have stopped taking messages meanwhile).
    const auto admits = [&](Form* form) {
        const auto receiving = receiving_.find(header.pageId);
        if (receiving == receiving_.end()) return false;
        if (form) *form = receiving->second;
        const auto page = waiting_.find(header.pageId);
        return page == waiting_.end() || (!page->second.messages.count(header.serial) &&
                                          page->second.messages.size() < kMostWaitingMessages &&
                                          page->second.bytes + bytes <= kMostWaitingBytes);
    };
    Form form = Form::text;
    {
        const std::lock_guard lock(mutex_);
        if (!admits(&form)) return protocol::Decision::refuse;
    }
    Message message;
    message.length = omitted ? header.length : url.size();
    if (omitted) {
        message.omittedBytes = header.length;
    } else if (form == Form::url) {
        message.parsed = urlOfEngine(url);
    } else {
        message.url = std::move(url);
    }
    const std::lock_guard lock(mutex_);
    if (!admits(nullptr)) return protocol::Decision::refuse;
    Waiting& waiting = waiting_[header.pageId];
    waiting.bytes += bytes;
    waiting.messages.emplace(header.serial, std::move(message));
    return protocol::Decision::allow;
}

void PageMessageServer::setReceiving(std::uint64_t pageId, bool receiving, Form form) {
    const std::lock_guard lock(mutex_);
    if (receiving) {
        receiving_[pageId] = form;
    } else {
        receiving_.erase(pageId);
        waiting_.erase(pageId);
    }
}

void PageMessageServer::dropWaiting(std::uint64_t pageId) {
    const std::lock_guard lock(mutex_);
    waiting_.erase(pageId);
}

std::optional<PageMessageServer::Message> PageMessageServer::take(std::uint64_t pageId,
                                                                  std::uint64_t serial) {
    const std::lock_guard lock(mutex_);
    const auto page = waiting_.find(pageId);
    if (page == waiting_.end()) return std::nullopt;
    const auto found = page->second.messages.find(serial);
    if (found == page->second.messages.end()) return std::nullopt;
    Message message = std::move(found->second);
    page->second.messages.erase(found);
    page->second.bytes -= message.omittedBytes ? 0 : size_t(message.length);
    return message;
}

size_t PageMessageServer::waitingCount(std::uint64_t pageId) {
    const std::lock_guard lock(mutex_);
    const auto page = waiting_.find(pageId);
    return page == waiting_.end() ? 0 : page->second.messages.size();
}

}  // namespace web
