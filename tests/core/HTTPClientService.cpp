#include <gtest/gtest.h>

#include <thread>

#include "core/HTTPClient.h"
#include "core/PendingWork.h"
#include "core/RunLoop.h"
#include "fixtures/LoopbackServer.h"

using core::HTTPClient;
using core::Value;

namespace {

template <typename T>
struct Recorder {
    int calls = 0;
    bool onMain = false;
    core::HTTPResult<T> result;
    auto handler() {
        return [this](const core::HTTPResult<T>& r) {
            ++calls;
            onMain = core::RunLoop::isMainThread();
            result = r;
        };
    }
    bool wait() {
        return core::RunLoop::main().runUntil([this] { return calls > 0; }, 10);
    }
};

}  // namespace

TEST(HTTPClientURL, ParametersJoinTheQueryInOrderAndEscapeTheirText) {
    auto url = HTTPClient::encodedURL("https://api.test/search/photos",
                                      {{"query", "山 & sea"}, {"page", 2}, {"per_page", 30}});
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString(),
              "https://api.test/search/photos?query=%E5%B1%B1%20%26%20sea&page=2&per_page=30");
    EXPECT_EQ(HTTPClient::encodedURL("http://h/p?a=1#top", {{"b", "x=y"}})->absoluteString(),
              "http://h/p?a=1&b=x%3Dy#top");
    EXPECT_EQ(HTTPClient::encodedURL("http://h/p?", {{"b", 1}})->absoluteString(), "http://h/p?b=1");
    EXPECT_EQ(HTTPClient::encodedURL("http://h/p", {})->absoluteString(), "http://h/p");
    EXPECT_FALSE(HTTPClient::encodedURL("ftp://h/p", {}));
    EXPECT_FALSE(HTTPClient::encodedURL("not a url", {}));
}

TEST(HTTPClientService, JSONArraysAndFragmentsArriveOnceOnMain) {
    fixtures::LoopbackServer server;
    server.on("GET", "/list", [](const auto&) {
        return fixtures::LoopbackResponse::json(core::Array{1, "two"});
    });
    server.on("GET", "/fragment", [](const auto&) {
        return fixtures::LoopbackResponse::text("\"just text\"", 200, "application/json");
    });

    Recorder<Value> list;
    HTTPClient::requestJSON(core::URLSession::shared(), server.baseURL() + "/list", {{"page", 1}},
                            {{"Accept", "application/json"}, {"Authorization", "Bearer t"}},
                            list.handler());
    ASSERT_TRUE(list.wait());
    EXPECT_TRUE(list.onMain);
    ASSERT_TRUE(list.result.isSuccess());
    EXPECT_EQ(*list.result.value, Value(core::Array{1, "two"}));
    const auto logged = server.requestsTo("/list");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rawQuery, "page=1");
    EXPECT_EQ(logged[0].header("authorization"), "Bearer t");

    Recorder<Value> fragment;
    HTTPClient::requestJSON(core::URLSession::shared(), server.baseURL() + "/fragment", {}, {},
                            fragment.handler());
    ASSERT_TRUE(fragment.wait());
    EXPECT_EQ(fragment.result.value, Value("just text"));

    // Exactly once: nothing more arrives once no work is under way.
    ASSERT_TRUE(core::RunLoop::main().runUntil([] { return !core::PendingWork::any(); }, 10));
    EXPECT_EQ(list.calls, 1);
    EXPECT_EQ(fragment.calls, 1);
}

TEST(HTTPClientService, ErrorStatusesAndBadBodiesAreFailures) {
    fixtures::LoopbackServer server;
    server.on("GET", "/broken", [](const auto&) {
        return fixtures::LoopbackResponse::json(
            core::Dictionary{{"errors", core::Array{"Internal Server Error"}}}, 500);
    });
    server.on("GET", "/garbage", [](const auto&) {
        return fixtures::LoopbackResponse::text("[{\"id\": ", 200, "application/json");
    });

    Recorder<Value> status;
    HTTPClient::requestJSON(core::URLSession::shared(), server.baseURL() + "/broken", {}, {},
                            status.handler());
    ASSERT_TRUE(status.wait());
    EXPECT_FALSE(status.result.isSuccess());
    ASSERT_TRUE(status.result.error);
    EXPECT_EQ(status.result.error->statusCode, 500);
    EXPECT_NE(status.result.error->description().find("500"), std::string::npos);
    EXPECT_FALSE(status.result.body.empty());

    Recorder<Value> garbage;
    HTTPClient::requestJSON(core::URLSession::shared(), server.baseURL() + "/garbage", {}, {},
                            garbage.handler());
    ASSERT_TRUE(garbage.wait());
    EXPECT_FALSE(garbage.result.isSuccess());
    ASSERT_TRUE(garbage.result.error);
    EXPECT_NE(garbage.result.error->description().find("JSON"), std::string::npos);

    Recorder<core::Data> bytes;
    HTTPClient::requestData(core::URLSession::shared(), server.baseURL() + "/broken", {}, {},
                            bytes.handler());
    ASSERT_TRUE(bytes.wait());
    EXPECT_FALSE(bytes.result.isSuccess());
    ASSERT_TRUE(bytes.result.error);
    EXPECT_EQ(bytes.result.error->statusCode, 500);
}

TEST(HTTPClientService, UnusableURLsAndRefusedConnectionsFailOnMain) {
    Recorder<Value> invalid;
    HTTPClient::requestJSON(core::URLSession::shared(), "javascript:alert(1)", {}, {},
                            invalid.handler());
    EXPECT_EQ(invalid.calls, 0);  // never synchronously
    ASSERT_TRUE(invalid.wait());
    EXPECT_TRUE(invalid.onMain);
    EXPECT_FALSE(invalid.result.isSuccess());

    int port = 0;
    {
        fixtures::LoopbackServer gone;
        port = gone.port();
    }
    Recorder<core::Data> refused;
    HTTPClient::requestData(core::URLSession::shared(),
                            "http://127.0.0.1:" + std::to_string(port) + "/x", {}, {},
                            refused.handler());
    ASSERT_TRUE(refused.wait());
    EXPECT_FALSE(refused.result.isSuccess());
    ASSERT_TRUE(refused.result.error);
    ASSERT_TRUE(refused.result.error->network);
    EXPECT_EQ(refused.result.error->network->code, core::NetworkError::Code::cannotConnectToHost);
}
