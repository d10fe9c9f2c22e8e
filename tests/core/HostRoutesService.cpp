// Routed host names reach the loopback servers they name, keeping their own
// name for the server and for TLS; the off-machine watch counts what goes
// elsewhere, routes to this machine excepted.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "URLSessionTesting.h"
#include "core/HostRoutes.h"
#include "core/OffMachineRequests.h"
#include "core/URLSession.h"
#include "fixtures/LoopbackServer.h"
#include "fixtures/StableOrigins.h"
#include "fixtures/TestCertificates.h"

namespace {

using core::HostRoutes;
using core::OffMachineRequests;
using fixtures::LoopbackRequest;
using fixtures::LoopbackResponse;
using testsupport::fetch;

constexpr const char* kName = "routed.vantor.localhost";

class HostRoutesService : public ::testing::Test {
protected:
    HostRoutesService() {
        server_.startTLS();
        server_.onPrefix("GET", "/", [](const LoopbackRequest& request) {
            if (request.path == "/hop") return LoopbackResponse::redirect("/landed");
            return LoopbackResponse::text(request.path + " for " +
                                          request.header("Host").value_or("?"));
        });
        core::URLSessionConfiguration configuration;
        configuration.trustedCertificatesPEM = fixtures::TestCertificates::shared().authorityPEM();
        session_ = core::URLSession::create(configuration);
    }
    ~HostRoutesService() override {
        for (const auto& route : HostRoutes::all()) HostRoutes::remove(route.host, route.port);
        OffMachineRequests::stopWatching();
        session_->invalidateAndCancel();
    }

    fixtures::LoopbackServer server_;
    std::shared_ptr<core::URLSession> session_;
};

TEST_F(HostRoutesService, ARoutedNameReachesItsServerUnderItsOwnName) {
    ASSERT_TRUE(HostRoutes::add("Routed.Vantor.Localhost", 80, "127.0.0.1", server_.port()));
    // The stable name of the photo service is one the test authority signed.
    ASSERT_TRUE(
        HostRoutes::add(fixtures::kStablePhotoHost, 443, "127.0.0.1", server_.securePort()));

    auto plain = fetch(*session_, *core::URL::create(std::string("http://") + kName + "/a"));
    EXPECT_EQ(plain.text(), std::string("/a for ") + kName);
    // Each hop of a redirect is routed again.
    auto hop = fetch(*session_, *core::URL::create(std::string("http://") + kName + "/hop"));
    EXPECT_EQ(hop.text(), std::string("/landed for ") + kName);
    auto secure = fetch(
        *session_, *core::URL::create(std::string("https://") + fixtures::kStablePhotoHost + "/b"));
    EXPECT_FALSE(secure.error) << (secure.error ? secure.error->message : "");
    EXPECT_EQ(secure.text(), std::string("/b for ") + fixtures::kStablePhotoHost);

    // A later route of the same name and port replaces the first.
    fixtures::LoopbackServer other;
    other.on("GET", "/a", [](const LoopbackRequest&) { return LoopbackResponse::text("other"); });
    ASSERT_TRUE(HostRoutes::add(kName, 80, "127.0.0.1", other.port()));
    EXPECT_EQ(HostRoutes::all().size(), 2u);
    EXPECT_EQ(fetch(*session_, *core::URL::create(std::string("http://") + kName + "/a")).text(),
              "other");
    HostRoutes::remove(kName, 80);
    EXPECT_FALSE(HostRoutes::find(kName, 80));
    const auto left = HostRoutes::all();
    EXPECT_TRUE(std::none_of(left.begin(), left.end(),
                             [](const HostRoutes::Route& route) { return route.host == kName; }));
}

TEST_F(HostRoutesService, RoutesRefuseWhatCannotBeRouted) {
    EXPECT_FALSE(HostRoutes::add("", 80, "127.0.0.1", 1));
    EXPECT_FALSE(HostRoutes::add("::1", 80, "127.0.0.1", 1));
    EXPECT_FALSE(HostRoutes::add(kName, 0, "127.0.0.1", 1));
    EXPECT_FALSE(HostRoutes::add(kName, 80, "127.0.0.1", 70000));
    EXPECT_TRUE(HostRoutes::all().empty());
    EXPECT_EQ(HostRoutes::connectToEntry({"a.localhost", 443, "::1", 8443}),
              "a.localhost:443:[::1]:8443");
}

TEST_F(HostRoutesService, OnlyRequestsLeavingTheMachineAreCountedAndNamedOnce) {
    for (const char* local : {"localhost", "LOCALHOST", "a.b.localhost", "127.0.0.1", "127.9.8.7",
                              "::1", "::ffff:127.0.0.1"})
        EXPECT_TRUE(OffMachineRequests::isOnThisMachine(local, 80)) << local;
    for (const char* far : {"10.0.0.1", "192.0.2.1", "example.com", "localhost.example",
                            "::ffff:10.0.0.1", "2001:db8::1"})
        EXPECT_FALSE(OffMachineRequests::isOnThisMachine(far, 80)) << far;
    ASSERT_TRUE(HostRoutes::add("photos.example", 80, "127.0.0.1", server_.port()));
    ASSERT_TRUE(HostRoutes::add("far.example", 80, "192.0.2.1", 80));
    EXPECT_TRUE(OffMachineRequests::isOnThisMachine("photos.example", 80));
    EXPECT_FALSE(OffMachineRequests::isOnThisMachine("photos.example", 443));
    EXPECT_FALSE(OffMachineRequests::isOnThisMachine("far.example", 80));

    // Nothing is counted before watching starts.
    (void)fetch(*session_, server_.url("/before"));
    auto told = std::make_shared<std::atomic<int>>(0);
    OffMachineRequests::watch([told](const std::string& host) {
        if (host == "192.0.2.1") ++*told;
    });
    (void)fetch(*session_, server_.url("/local"));
    EXPECT_EQ(fetch(*session_, *core::URL::create("http://photos.example/routed")).text(),
              "/routed for photos.example");
    EXPECT_EQ(OffMachineRequests::count(), 0u);

    // An address of the documentation range: counted when its request
    // starts, whether or not it ever connects.
    for (int i = 0; i < 2; ++i) {
        auto task = session_->dataTask(
            core::URLRequest(*core::URL::create("http://192.0.2.1:9/x")), [](auto, auto, auto) {},
            core::Queue::main());
        task->resume();
        EXPECT_TRUE(testsupport::waitUntil(
            [&] { return OffMachineRequests::count() == static_cast<size_t>(i + 1); }));
        task->cancel();
    }
    EXPECT_EQ(OffMachineRequests::hosts(), (std::map<std::string, size_t>{{"192.0.2.1", 2}}));
    EXPECT_EQ(told->load(), 1);

    OffMachineRequests::stopWatching();
    EXPECT_FALSE(OffMachineRequests::watching());
    OffMachineRequests::watch();
    EXPECT_EQ(OffMachineRequests::count(), 0u);
}

}  // namespace
