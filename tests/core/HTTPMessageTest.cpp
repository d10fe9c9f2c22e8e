#include <gtest/gtest.h>

#include "URLPrinting.h"
#include "core/HTTPURLResponse.h"
#include "core/NetworkError.h"
#include "core/URLRequest.h"

namespace {

using core::HTTPHeaders;
using core::HTTPURLResponse;
using core::URL;
using core::URLRequest;

const URL kURL = *URL::create("https://example.org/a");

HTTPURLResponse responseWith(HTTPHeaders headers) {
    return HTTPURLResponse(kURL, 200, std::move(headers));
}

TEST(HTTPMessageTest, RequestDefaultsAndHeaders) {
    URLRequest request(kURL);
    EXPECT_EQ(request.method(), "GET");
    EXPECT_EQ(request.timeoutInterval(), 60);
    EXPECT_FALSE(request.hasTimeoutInterval());
    request.setTimeoutInterval(5);
    EXPECT_TRUE(request.hasTimeoutInterval());
    EXPECT_EQ(request.timeoutInterval(), 5);

    request.setValue("Accept", "a");
    request.setValue("accept", "b");
    EXPECT_EQ(request.headers().values("Accept"), std::vector<std::string>{"b"});
    request.addValue("Accept", "c");
    EXPECT_EQ(request.value("ACCEPT"), "b, c");
    request.setValue("Accept", std::nullopt);
    EXPECT_FALSE(request.headers().contains("Accept"));
}

TEST(HTTPMessageTest, ByteRangesReplaceEachOther) {
    URLRequest request(kURL);
    request.setByteRange(0, 99);
    EXPECT_EQ(request.value("Range"), "bytes=0-99");
    request.setByteRange(100);
    EXPECT_EQ(request.value("range"), "bytes=100-");
    EXPECT_EQ(request.headers().size(), 1u);
}

TEST(HTTPMessageTest, ResponseReadsContentLength) {
    EXPECT_EQ(responseWith({{"Content-Length", " 42 "}}).expectedContentLength(), 42);
    EXPECT_EQ(responseWith({}).expectedContentLength(), -1);
    EXPECT_EQ(responseWith({{"Content-Length", "12abc"}}).expectedContentLength(), -1);
    EXPECT_EQ(responseWith({{"Content-Length", "-3"}}).expectedContentLength(), -1);
    EXPECT_EQ(responseWith({{"Content-Length", "5"}, {"Transfer-Encoding", "chunked"}})
                  .expectedContentLength(),
              -1);
}

TEST(HTTPMessageTest, ResponseReadsMediaTypeAndCharset) {
    const auto plain = responseWith({{"Content-Type", "Text/HTML"}});
    EXPECT_EQ(plain.mimeType(), "text/html");
    EXPECT_FALSE(plain.textEncodingName());

    const auto quoted =
        responseWith({{"content-type", "text/plain; format=flowed; CHARSET=\"GBK\""}});
    EXPECT_EQ(quoted.mimeType(), "text/plain");
    EXPECT_EQ(quoted.textEncodingName(), "gbk");

    const auto none = responseWith({});
    EXPECT_FALSE(none.mimeType());
    EXPECT_FALSE(none.textEncodingName());
}

TEST(HTTPMessageTest, ErrorMessagesCarryLibcurlText) {
    const auto error = core::NetworkError::make(core::NetworkError::Code::cannotConnectToHost,
                                                kURL.absoluteString(), "Could not connect to x",
                                                "Connection refused");
    EXPECT_EQ(error.message, "Could not connect to x (Connection refused)");
    EXPECT_EQ(error.codeName(), "cannotConnectToHost");
    EXPECT_EQ(core::NetworkError::make(core::NetworkError::Code::cancelled, "u", "m").message, "m");
}

}  // namespace
