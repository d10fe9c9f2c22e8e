#include <gtest/gtest.h>

#include "ads/foundation/DZSawmillNetworkIO.h"
#include "core/RunLoop.h"

using namespace ads;

namespace {

core::Dictionary withURL(core::Dictionary parameters) {
    parameters.set("url", "http://127.0.0.1:9/upload");
    return parameters;
}

std::string rejection(const core::Value& parameters) {
    Error error;
    const auto request = DZSawmillNetworkIO::requestFromParameters(parameters, &error);
    EXPECT_FALSE(request);
    EXPECT_EQ(error.code, kDZErrorInternalError);
    return error.message;
}

std::string bodyOf(const core::URLRequest& request) {
    return std::string(request.body().begin(), request.body().end());
}

}  // namespace

TEST(DZSawmillNetworkIOTest, BuildsTheRequestTheScriptDescribes) {
    const auto bytes = DZSawmillNetworkIO::requestFromParameters(
        withURL({{"body_type", "byte_array"},
                 {"body", core::Array{104, 105}},
                 {"request_type", "POST"},
                 {"request_headers", core::Dictionary{{"Content-Type", "text/plain"}}}}),
        nullptr);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bodyOf(*bytes), "hi");
    EXPECT_EQ(bytes->method(), "POST");
    EXPECT_EQ(bytes->value("Content-Type"), "text/plain");
    EXPECT_EQ(bytes->url().absoluteString(), "http://127.0.0.1:9/upload");

    const auto text = DZSawmillNetworkIO::requestFromParameters(
        withURL({{"body_type", "string"}, {"body", "\xE4\xBD\xA0"}}), nullptr);
    ASSERT_TRUE(text);
    EXPECT_EQ(bodyOf(*text), "\xE4\xBD\xA0");
    EXPECT_EQ(text->method(), "GET");

    for (const core::Dictionary& noBody :
         {withURL({{"body_type", "byte_array"}, {"body", core::Array{}}}),
          withURL({{"body_type", "base64"}, {"body", "aGk="}}),
          withURL({{"body", core::Value()}, {"request_headers", core::Value()}})}) {
        const auto request = DZSawmillNetworkIO::requestFromParameters(noBody, nullptr);
        ASSERT_TRUE(request);
        EXPECT_TRUE(request->body().empty());
    }
}

TEST(DZSawmillNetworkIOTest, RefusesWhatTheScriptCannotMeanAndSaysWhy) {
    EXPECT_NE(rejection(core::Value("http://a")), "");
    EXPECT_NE(rejection(core::Dictionary{}).find("url"), std::string::npos);
    EXPECT_NE(rejection(core::Dictionary{{"url", 5}}).find("url"), std::string::npos);
    EXPECT_NE(rejection(core::Dictionary{{"url", "file:///etc/passwd"}}).find("url"),
              std::string::npos);
    EXPECT_NE(rejection(core::Dictionary{{"url", "javascript:alert(1)"}}).find("url"),
              std::string::npos);

    for (const core::Value& body : {core::Value(core::Array{256}), core::Value(core::Array{-1}),
                                    core::Value(core::Array{1.5}), core::Value(core::Array{"104"}),
                                    core::Value(core::Array{true}), core::Value("hi")}) {
        EXPECT_NE(rejection(withURL({{"body_type", "byte_array"}, {"body", body}})).find("body"),
                  std::string::npos);
    }
    EXPECT_NE(rejection(withURL({{"body_type", "string"}, {"body", core::Array{1}}})).find("body"),
              std::string::npos);

    for (const core::Value& headers :
         {core::Value("Accept: */*"), core::Value(core::Dictionary{{"Accept", 1}}),
          core::Value(core::Dictionary{{"X-Bad", "a\r\nInjected: yes"}}),
          core::Value(core::Dictionary{{"Bad Name", "v"}})}) {
        EXPECT_NE(rejection(withURL({{"request_headers", headers}})).find("request_headers"),
                  std::string::npos);
    }
    EXPECT_NE(rejection(withURL({{"request_type", "GET /x HTTP/1.1\r\n"}})).find("request_type"),
              std::string::npos);
    EXPECT_NE(rejection(withURL({{"request_type", 1}})).find("request_type"), std::string::npos);
}

TEST(DZSawmillNetworkIOTest, RefusedParametersAnswerTheFailureCallbackLater) {
    bool answered = false;
    DZSawmillNetworkIOResult result;
    DZSawmillNetworkIO::send(core::Dictionary{{"url", "ftp://x/"}}, core::Queue::main(),
                             [&](DZSawmillNetworkIOResult answer) {
                                 result = std::move(answer);
                                 answered = true;
                             });
    EXPECT_FALSE(answered);
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return answered; }, 5.0));
    EXPECT_FALSE(result.succeeded);
    EXPECT_EQ(result.argument["status_code"], core::Value(0));
    EXPECT_EQ(result.argument["error_code"], core::Value(11));
    EXPECT_EQ(result.argument["response"], core::Value(""));
    EXPECT_TRUE(result.argument["error_message"].string());
}
