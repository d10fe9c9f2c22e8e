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

// A page id far above the engine's own.
constexpr std::uint64_t kPage = std::uint64_t(1) << 60;

web::protocol::MessageHeader header(std::uint64_t page, std::uint64_t serial,
                                    std::uint64_t length, std::uint32_t flags = 0) {
    return {page, serial, length, flags, 0};
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

TEST_F(PageMessageServerTest, AMessageIsKeptForItsPageUnderItsSerialWithinBoundsAndTakenOnce) {
    EXPECT_EQ(server->offer(header(kPage, 7, 3), "abc"), Decision::allow);
    EXPECT_EQ(server->offer(header(kPage, 7, 3), "xyz"), Decision::refuse);  // not replaced
    EXPECT_EQ(server->offer(header(kPage + 1, 8, 3), "abc"), Decision::refuse);  // takes none
    EXPECT_FALSE(server->take(kPage, 8));
    const auto seventh = server->take(kPage, 7);
    ASSERT_TRUE(seventh);
    EXPECT_EQ(seventh->url, "abc");
    EXPECT_FALSE(server->take(kPage, 7));
    // One over the protocol's bound is kept as its length alone.
    const std::uint64_t huge = web::protocol::kMostMessageBytes + 1;
    EXPECT_EQ(server->offer(header(kPage, 9, huge, web::protocol::kMessageOmitted), ""),
              Decision::allow);
    const auto ninth = server->take(kPage, 9);
    ASSERT_TRUE(ninth);
    EXPECT_EQ(ninth->omittedBytes, huge);

    const std::string half(PageMessageServer::kMostWaitingBytes / 2, 'z');
    EXPECT_EQ(server->offer(header(kPage, 1, half.size()), half), Decision::allow);
    EXPECT_EQ(server->offer(header(kPage, 2, half.size()), half), Decision::allow);
    EXPECT_EQ(server->offer(header(kPage, 3, 1), "a"), Decision::refuse);
    ASSERT_TRUE(server->take(kPage, 1));  // makes room
    EXPECT_EQ(server->offer(header(kPage, 3, 1), "a"), Decision::allow);
    // Stopping drops what waits.
    server->setReceiving(kPage, false);
    server->setReceiving(kPage, true);
    EXPECT_EQ(server->waitingCount(kPage), 0u);
}

TEST_F(PageMessageServerTest, APageWhoseViewAsksItsDelegateHasItsMessagesReadAsURLs) {
    server->setReceiving(kPage, true, PageMessageServer::Form::url);
    const std::string url = "dmsg://x/m?d=" + std::string(100'000, 'q');
    EXPECT_EQ(server->offer(header(kPage, 1, url.size()), url), Decision::allow);
    EXPECT_EQ(server->offer(header(kPage, 2, 9), "not a url"), Decision::allow);
    const auto taken = server->take(kPage, 1);
    ASSERT_TRUE(taken && taken->parsed);
    EXPECT_EQ(taken->parsed->absoluteString(), url);
    EXPECT_EQ(taken->parsed->query(), "d=" + std::string(100'000, 'q'));
    EXPECT_EQ(taken->length, url.size());
    EXPECT_TRUE(taken->url.empty());  // held once, as the URL
    // Text that is no URL keeps its length, for the view's bound.
    const auto unread = server->take(kPage, 2);
    ASSERT_TRUE(unread);
    EXPECT_FALSE(unread->parsed);
    EXPECT_EQ(unread->length, 9u);
    // Text form again: the text, unread.
    server->setReceiving(kPage, true, PageMessageServer::Form::text);
    EXPECT_EQ(server->offer(header(kPage, 3, 3), "a b"), Decision::allow);
    const auto text = server->take(kPage, 3);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->url, "a b");
}

TEST_F(PageMessageServerTest, ASocketsMessagesAreReadInPiecesAndAProtocolBreachEndsIt) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, server->socketPath().c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const auto write = [&](const void* data, size_t size) {
        ASSERT_EQ(send(fd, data, size, MSG_NOSIGNAL), ssize_t(size));
    };
    // The answer byte; 0 once the server closed the connection, -1 for none.
    const auto answer = [&] {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 10'000) != 1) return -1;
        char byte = 0;
        return recv(fd, &byte, 1, 0) == 1 ? int(byte) : 0;
    };
    const std::string url = "dmsg://x/m?d=" + std::string(100'000, 'q');
    const auto first = header(kPage, 21, url.size());
    write(&first, 5);
    write(reinterpret_cast<const char*>(&first) + 5, sizeof first - 5);
    write(url.data(), 40'000);
    write(url.data() + 40'000, url.size() - 40'000);
    EXPECT_EQ(answer(), 'A');
    const auto pieced = server->take(kPage, 21);
    ASSERT_TRUE(pieced);
    EXPECT_EQ(pieced->url, url);
    // The next one on the same connection, for a page that takes none.
    const auto second = header(kPage + 2, 22, 1);
    write(&second, sizeof second);
    write("z", 1);
    EXPECT_EQ(answer(), 'R');
    // A length over the bound that does not say it left the text out.
    const auto breach = header(kPage, 23, web::protocol::kMostMessageBytes + 1);
    write(&breach, sizeof breach);
    EXPECT_EQ(answer(), 0);
    close(fd);
}

}  // namespace
