#pragma once
// What libcurl handed over of each plain TCP connection, against what the
// kernel says the connection received, so that an answer the connection's
// end cut short can be told to end right after what libcurl handed over (a
// whole line) or inside what it kept back (part of a line, or the rest of a
// head it could not read). Only exchanges that read answers as the engine
// does count (HTTPExchange), with libcurl's transfer decoding off so that
// every byte it reads is handed over; a connection one of them did not open
// is not counted, and tells nothing.
//
// Network thread only (libcurl's callbacks): sockets are counted from their
// opening to their closing; a count lasts while an exchange holds it.

#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace core {

class ConnectionCounts {
public:
    class Count {
    public:
        void handedOver(size_t bytes) { handedOver_ += bytes; }
        // The connection has ended, and received nothing but what was
        // handed over of it, then its end.
        [[nodiscard]] bool endedAfterAllHandedOver() const;

    private:
        friend class ConnectionCounts;
        curl_socket_t socket_ = CURL_SOCKET_BAD;
        std::optional<std::pair<int, int>> ports_;  // local, peer
        std::uint64_t handedOver_ = 0;
        // What the socket received in all as it closed, its end included.
        std::optional<std::uint64_t> receivedAtClose_;
        bool closed_ = false;
    };

    // A socket libcurl is to connect for a counting exchange (from its
    // CURLOPT_OPENSOCKETFUNCTION).
    static void opened(curl_socket_t socket);
    // The count of the connection between the ports (as libcurl's
    // CURLOPT_PREREQFUNCTION names them); null where it is not counted.
    [[nodiscard]] static std::shared_ptr<Count> of(int localPort, int peerPort);
    // libcurl's CURLOPT_CLOSESOCKETFUNCTION: what a counted socket received
    // is kept as it closes.
    static int closeSocket(void* unused, curl_socket_t socket);
};

}  // namespace core
