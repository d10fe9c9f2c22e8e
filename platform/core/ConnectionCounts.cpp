#include "core/ConnectionCounts.h"

#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <utility>

#include "core/SocketAddresses.h"

namespace core {

namespace {

std::mutex mutex;
// The counted sockets that are open.
std::map<curl_socket_t, std::shared_ptr<ConnectionCounts::Count>>& open() {
    static auto* made = new std::map<curl_socket_t, std::shared_ptr<ConnectionCounts::Count>>;
    return *made;
}

// The socket's ports, local then peer; nullopt for one that is not
// connected.
std::optional<std::pair<int, int>> portsOf(curl_socket_t socket) {
    sockaddr_storage local{};
    sockaddr_storage peer{};
    socklen_t localLength = sizeof local;
    socklen_t peerLength = sizeof peer;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        ::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
        return std::nullopt;
    return std::make_pair(portOf(reinterpret_cast<const sockaddr*>(&local)),
                          portOf(reinterpret_cast<const sockaddr*>(&peer)));
}

// What the kernel says the socket received, a FIN counted as a byte.
std::optional<std::uint64_t> receivedOn(curl_socket_t socket) {
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &length) != 0 ||
        length < offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received)
        return std::nullopt;
    return info.tcpi_bytes_received;
}

}  // namespace

bool ConnectionCounts::Count::endedAfterAllHandedOver() const {
    std::optional<std::uint64_t> received;
    {
        const std::lock_guard lock(mutex);
        // libcurl keeps a connection its server ended until it looks at it
        // again: then it is still open, and nothing more can come.
        received = closed_ ? receivedAtClose_ : receivedOn(socket_);
    }
    return received && *received == handedOver_ + 1;
}

void ConnectionCounts::opened(curl_socket_t socket) {
    auto count = std::make_shared<Count>();
    count->socket_ = socket;
    const std::lock_guard lock(mutex);
    open()[socket] = std::move(count);
}

std::shared_ptr<ConnectionCounts::Count> ConnectionCounts::of(int localPort, int peerPort) {
    const std::lock_guard lock(mutex);
    for (auto& [socket, count] : open()) {
        if (!count->ports_) count->ports_ = portsOf(socket);
        if (count->ports_ == std::make_pair(localPort, peerPort)) return count;
    }
    return nullptr;
}

int ConnectionCounts::closeSocket(void*, curl_socket_t socket) {
    {
        const std::lock_guard lock(mutex);
        if (const auto found = open().find(socket); found != open().end()) {
            found->second->receivedAtClose_ = receivedOn(socket);
            found->second->closed_ = true;
            open().erase(found);
        }
    }
    return ::close(socket);
}

}  // namespace core
