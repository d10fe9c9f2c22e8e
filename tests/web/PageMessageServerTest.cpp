// The app's end of the page message socket: what a web process sends is kept
// for its page under its serial until the view takes it, within bounds, and
// only for pages whose views take messages; a connection that breaks the
// protocol is closed.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "web/PageMessageServer.h"

namespace {

using web::PageMessageServer;
using web::protocol::Decision;
using web::protocol::MessageHeader;

// Page ids far above the engine's own.
constexpr std::uint64_t kPage = std::uint64_t(1) << 60;

MessageHeader header(std::uint64_t page, std::uint64_t serial, std::uint64_t length,
                     std::uint32_t flags = 0) {
    MessageHeader header;
    header.pageId = page;
    header.serial = serial;
    header.length = length;
    header.flags = flags;
    return header;
}

class PageMessageServerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server);
        server->setReceiving(kPage, true);
    }
    void TearDown() override { server->setReceiving(kPage, false); }

    PageMessageServer* server = PageMessageServer::shared(nullptr);
};

TEST_F(PageMessageServerTest, AMessageIsKeptForItsPageUnderItsSerialAndTakenOnce) {
    EXPECT_EQ(server->offer(header(kPage, 7, 3), "abc"), Decision::allow);
    // A serial kept already is not replaced.
    EXPECT_EQ(server->offer(header(kPage, 7, 3), "xyz"), Decision::refuse);
    // A page whose view takes no messages keeps none.
    EXPECT_EQ(server->offer(header(kPage + 1, 8, 3), "abc"), Decision::refuse);
    EXPECT_FALSE(server->take(kPage + 1, 7));
    EXPECT_FALSE(server->take(kPage, 8));
    const auto taken = server->take(kPage, 7);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->url, "abc");
    EXPECT_FALSE(server->take(kPage, 7));

    // One over the protocol's bound is kept as its length alone.
    const std::uint64_t huge = web::protocol::kMostMessageBytes + 1;
    EXPECT_EQ(server->offer(header(kPage, 9, huge, web::protocol::kMessageOmitted), ""),
              Decision::allow);
    EXPECT_EQ(server->take(kPage, 9)->omittedBytes, huge);

    // Stopping drops what waits.
    EXPECT_EQ(server->offer(header(kPage, 10, 1), "a"), Decision::allow);
    server->setReceiving(kPage, false);
    server->setReceiving(kPage, true);
    EXPECT_FALSE(server->take(kPage, 10));
    EXPECT_EQ(server->offer(header(kPage, 11, 1), "a"), Decision::allow);
    server->dropWaiting(kPage);
    EXPECT_EQ(server->waitingCount(kPage), 0u);
}

TEST_F(PageMessageServerTest, WhatWaitsIsBoundedInCountAndBytes) {
    for (std::uint64_t serial = 0; serial < PageMessageServer::kMostWaitingMessages; ++serial)
        ASSERT_EQ(server->offer(header(kPage, serial, 1), "a"), Decision::allow) << serial;
    EXPECT_EQ(server->offer(header(kPage, 1000, 1), "a"), Decision::refuse);
    // Taking one makes room for one.
    ASSERT_TRUE(server->take(kPage, 0));
    EXPECT_EQ(server->offer(header(kPage, 1000, 1), "a"), Decision::allow);
    server->dropWaiting(kPage);

    const std::string half(PageMessageServer::kMostWaitingBytes / 2, 'z');
    EXPECT_EQ(server->offer(header(kPage, 1, half.size()), half), Decision::allow);
    EXPECT_EQ(server->offer(header(kPage, 2, half.size()), half), Decision::allow);
    EXPECT_EQ(server->offer(header(kPage, 3, 1), "a"), Decision::refuse);
    ASSERT_TRUE(server->take(kPage, 1));
    EXPECT_EQ(server->offer(header(kPage, 3, 1), "a"), Decision::allow);
}

class Client {
public:
    explicit Client(const std::string& path) {
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Client() { close(fd_); }
    [[nodiscard]] bool connected() const { return connected_; }
    void write(const void* data, size_t size) const {
        ASSERT_EQ(send(fd_, data, size, MSG_NOSIGNAL), ssize_t(size));
    }
    // The answer byte; 0 when the server closed the connection, -1 on time-out.
    [[nodiscard]] int answer() const {
        pollfd entry{fd_, POLLIN, 0};
        if (poll(&entry, 1, 10'000) != 1) return -1;
        char byte = 0;
        return recv(fd_, &byte, 1, 0) == 1 ? byte : 0;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

TEST_F(PageMessageServerTest, ASocketsMessagesAreReadInPiecesAndAProtocolBreachEndsIt) {
    Client client(server->socketPath());
    ASSERT_TRUE(client.connected());
    // Header and text cut anywhere.
    const std::string url = "dmsg://x/m?d=" + std::string(100'000, 'q');
    const MessageHeader first = header(kPage, 21, url.size());
    client.write(&first, 5);
    client.write(reinterpret_cast<const char*>(&first) + 5, sizeof first - 5);
    client.write(url.data(), 40'000);
    client.write(url.data() + 40'000, url.size() - 40'000);
    EXPECT_EQ(client.answer(), 'A');
    EXPECT_EQ(server->take(kPage, 21)->url, url);
    // The next one on the same connection, for a page that takes none.
    const MessageHeader second = header(kPage + 2, 22, 1);
    client.write(&second, sizeof second);
    client.write("z", 1);
    EXPECT_EQ(client.answer(), 'R');
    // A length over the bound that does not say it left the text out.
    const MessageHeader breach = header(kPage, 23, web::protocol::kMostMessageBytes + 1);
    client.write(&breach, sizeof breach);
    EXPECT_EQ(client.answer(), 0);
    EXPECT_FALSE(server->take(kPage, 23));
}

}  // namespace
