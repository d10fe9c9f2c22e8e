// The listener for navigation bodies: a body within the bound reaches the
// handler whole; one past it, announced or in chunks, is refused without
// reaching it.

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

#include "core/NetworkThread.h"
#include "core/RunLoop.h"
#include "web/MainLoop.h"
#include "web/NavigationBodyServer.h"

namespace {

using web::NavigationBodyServer;

struct Filler {
    curl_off_t left = 0;
};

size_t fill(char* buffer, size_t size, size_t count, void* data) {
    auto& filler = *static_cast<Filler*>(data);
    const size_t sent = size_t(std::min(curl_off_t(size * count), filler.left));
    std::fill(buffer, buffer + sent, 'b');
    filler.left -= curl_off_t(sent);
    return sent;
}

size_t ignore(char*, size_t size, size_t count, void*) {
    return size * count;
}

// Posts bytes of filler to url from another thread while the main loop
// runs; answers the status.
long post(const std::string& url, curl_off_t bytes, bool chunked) {
    (void)core::NetworkThread::shared();
    std::atomic<long> status{-1};
    std::thread client([&] {
        Filler filler{bytes};
        CURL* easy = curl_easy_init();
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, fill);
        curl_easy_setopt(easy, CURLOPT_READDATA, &filler);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, ignore);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT, 60L);
        curl_slist* headers = curl_slist_append(nullptr, "Content-Type: text/plain");
        if (chunked) {
            headers = curl_slist_append(headers, "Transfer-Encoding: chunked");
        } else {
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, bytes);
        }
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        long answered = 0;
        if (curl_easy_perform(easy) == CURLE_OK)
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &answered);
        curl_slist_free_all(headers);
        curl_easy_cleanup(easy);
        status = answered;
    });
    EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return status >= 0; }, 60));
    client.join();
    return status;
}

TEST(NavigationBodyServerService, TakesBodiesWithinTheBoundAndRefusesLargerOnesUnheld) {
    web::MainLoop::install();
    std::string error;
    NavigationBodyServer* server = NavigationBodyServer::shared(&error);
    ASSERT_NE(server, nullptr) << error;
    std::optional<NavigationBodyServer::Body> received;
    server->setHandler([&](NavigationBodyServer::Body body) { received = std::move(body); });

    EXPECT_EQ(post(server->baseURL() + "7/1", 100'000, true), 204);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->pageId, 7u);
    EXPECT_EQ(received->method, "POST");
    EXPECT_EQ(received->data, core::Data(100'000, 'b'));
    EXPECT_EQ(received->contentType, "text/plain");

    received.reset();
    const curl_off_t tooMany = NavigationBodyServer::kMostBodyBytes + 1;
    EXPECT_EQ(post(server->baseURL() + "8/1", tooMany, false), 413);
    EXPECT_EQ(post(server->baseURL() + "9/1", tooMany, true), 413);
    EXPECT_FALSE(received);
    server->setHandler(nullptr);
}

}  // namespace
