#include "ScriptedOrigin.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace webtesting {

const std::string kPlainAnswer =
    "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n"
    "Access-Control-Allow-Origin: *\r\n\r\nok";

int listenEverywhere(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof address;
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(listen(fd, 1024), 0);
    EXPECT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    port = ntohs(address.sin_port);
    return fd;
}

ScriptedOrigin::ScriptedOrigin(Answer answer)
    : answer_(std::move(answer)), fd_(listenEverywhere(port_)) {
    EXPECT_EQ(fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK), 0);
    thread_ = std::thread([this] { serve(); });
}

ScriptedOrigin::~ScriptedOrigin() {
    stop_ = true;
    thread_.join();
    close(fd_);
    for (const pollfd& peer : peers_) close(peer.fd);
}

std::vector<std::string> ScriptedOrigin::heads() const {
    const std::lock_guard lock(mutex_);
    return heads_;
}

void ScriptedOrigin::serve() {
    std::vector<std::string> pending;
    while (!stop_) {
        std::vector<pollfd> waiting{{fd_, POLLIN, 0}};
        waiting.insert(waiting.end(), peers_.begin(), peers_.end());
        if (poll(waiting.data(), waiting.size(), 50) <= 0) continue;
        // The peers polled; those accepted below wait for the next round.
        for (size_t i = 0; i + 1 < waiting.size(); ++i) {
            if (!(waiting[i + 1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            const ssize_t count = recv(peers_[i].fd, buffer, sizeof buffer, 0);
            if (count <= 0) {
                peers_[i].events = 0;
                continue;
            }
            pending[i].append(buffer, size_t(count));
            for (size_t end; (end = pending[i].find("\r\n\r\n")) != std::string::npos;) {
                const std::string head = pending[i].substr(0, end + 4);
                pending[i].erase(0, end + 4);
                {
                    const std::lock_guard lock(mutex_);
                    heads_.push_back(head);
                }
                const std::string reply = answer_(head);
                if (!reply.empty())
                    (void)send(peers_[i].fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
            // Bodies are read and dropped: only heads are logged.
            if (pending[i].size() > (1 << 20)) pending[i].clear();
        }
        if (waiting[0].revents & POLLIN) {
            for (int peer; (peer = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
                peers_.push_back({peer, POLLIN, 0});
                pending.emplace_back();
                ++accepted_;
            }
        }
    }
}

}  // namespace webtesting
