#include <gtest/gtest.h>

#include "web/ReadPolicy.h"

namespace {

using web::ReadPolicy;

core::URL url(const std::string& text) {
    return core::URL::create(text).value();
}

core::URLRequest request(const std::string& to, std::optional<std::string> origin,
                         std::optional<std::string> mode) {
    core::URLRequest made(url(to));
    if (origin) made.setValue("Origin", *origin);
    if (mode) made.setValue("Sec-Fetch-Mode", *mode);
    return made;
}

core::HTTPURLResponse answer(const std::string& at, std::optional<std::string> allowed = {}) {
    core::HTTPHeaders headers;
    if (allowed) headers.set("Access-Control-Allow-Origin", *allowed);
    return core::HTTPURLResponse(url(at), 200, headers);
}

core::HTTPURLResponse hop(const std::string& at, const std::string& to,
                          std::optional<std::string> allowed = {}) {
    core::HTTPHeaders headers{{"Location", to}};
    if (allowed) headers.set("Access-Control-Allow-Origin", *allowed);
    return core::HTTPURLResponse(url(at), 302, headers);
}

TEST(ReadPolicyTest, OriginsAreSchemeHostAndPortWithoutTheDefaultPort) {
    EXPECT_EQ(web::originOf(url("http://Example.COM/a?b")), "http://example.com");
    EXPECT_EQ(web::originOf(url("http://example.com:80/")), "http://example.com");
    EXPECT_EQ(web::originOf(url("https://example.com:443/")), "https://example.com");
    EXPECT_EQ(web::originOf(url("https://example.com:80/")), "https://example.com:80");
    EXPECT_EQ(web::originOf(url("HTTP://127.0.0.1:8080/x")), "http://127.0.0.1:8080");
    EXPECT_EQ(web::originOf(url("data:text/plain,x")), "null");
}

TEST(ReadPolicyTest, TheModeAndRequesterComeFromTheEnginesHeaders) {
    const auto image = ReadPolicy::of(request("http://b.test/i.png", {}, "no-cors"));
    EXPECT_EQ(image.mode, ReadPolicy::Mode::open);
    EXPECT_EQ(ReadPolicy::of(request("http://b.test/f", {}, "navigate")).mode,
              ReadPolicy::Mode::open);
    EXPECT_EQ(ReadPolicy::of(request("http://b.test/f", {}, "same-origin")).mode,
              ReadPolicy::Mode::sameOrigin);
    // The engine's synchronous request names no mode: read as cors.
    const auto sync = ReadPolicy::of(request("http://b.test/s", "http://a.test:81", {}));
    EXPECT_EQ(sync.mode, ReadPolicy::Mode::cors);
    EXPECT_EQ(sync.origin, "http://a.test:81");
    // Without Origin the engine deemed the load same-origin.
    EXPECT_EQ(ReadPolicy::of(request("http://a.test/x", {}, "cors")).origin, "http://a.test");
    EXPECT_EQ(ReadPolicy::of(request("http://a.test/x", "null", "cors")).origin, "null");
}

TEST(ReadPolicyTest, AForeignAnswerIsReadOnlyWithItsPermission) {
    const auto policy = ReadPolicy::of(request("http://b.test/s", "http://a.test", "cors"));
    EXPECT_FALSE(policy.allows({}, answer("http://b.test/s")));
    EXPECT_FALSE(policy.allows({}, answer("http://b.test/s", "http://c.test")));
    EXPECT_FALSE(policy.allows({}, answer("http://b.test/s", "http://a.test, http://c.test")));
    EXPECT_FALSE(policy.allows({}, answer("http://b.test/s", "")));
    EXPECT_TRUE(policy.allows({}, answer("http://b.test/s", "http://a.test")));
    EXPECT_TRUE(policy.allows({}, answer("http://b.test/s", " * ")));
    // Another port is another origin.
    const auto ports = ReadPolicy::of(request("http://a.test:81/s", "http://a.test", {}));
    EXPECT_FALSE(ports.allows({}, answer("http://a.test:81/s")));
    // The requester's own answers need nothing, nor do loads nobody reads.
    const auto own = ReadPolicy::of(request("http://a.test/s", {}, {}));
    EXPECT_TRUE(own.allows({}, answer("http://a.test/s")));
    const auto image = ReadPolicy::of(request("http://b.test/i", "http://a.test", "no-cors"));
    EXPECT_TRUE(image.allows({hop("http://b.test/i", "http://c.test/i")}, answer("http://c.test/i")));
}

TEST(ReadPolicyTest, RedirectsAreCheckedHopByHop) {
    const auto own = ReadPolicy::of(request("http://a.test/go", {}, "cors"));
    // Home, then abroad: the foreign answer needs the permission.
    EXPECT_FALSE(own.allows({hop("http://a.test/go", "http://b.test/s")}, answer("http://b.test/s")));
    EXPECT_TRUE(own.allows({hop("http://a.test/go", "http://b.test/s")},
                           answer("http://b.test/s", "http://a.test")));
    // Home twice: nothing needed.
    EXPECT_TRUE(own.allows({hop("http://a.test/go", "http://a.test/s")}, answer("http://a.test/s")));

    const auto abroad = ReadPolicy::of(request("http://b.test/go", "http://a.test", "cors"));
    // A foreign redirect needs the permission itself.
    EXPECT_FALSE(abroad.allows({hop("http://b.test/go", "http://a.test/s")}, answer("http://a.test/s")));
    // From one foreign origin to another the request is tainted: only "*"
    // or "null" let it through, the requester's own name no more.
    const std::vector<core::HTTPURLResponse> tainted = {
        hop("http://b.test/go", "http://c.test/s", "http://a.test")};
    EXPECT_FALSE(abroad.allows(tainted, answer("http://c.test/s", "http://a.test")));
    EXPECT_TRUE(abroad.allows(tainted, answer("http://c.test/s", "*")));
    EXPECT_TRUE(abroad.allows(tainted, answer("http://c.test/s", "null")));
    // ... and even coming home it stays tainted.
    const std::vector<core::HTTPURLResponse> back = {
        hop("http://b.test/go", "http://a.test/s", "*")};
    EXPECT_FALSE(abroad.allows(back, answer("http://a.test/s")));

    const auto strict = ReadPolicy::of(request("http://a.test/go", {}, "same-origin"));
    EXPECT_TRUE(strict.allows({hop("http://a.test/go", "http://a.test/s")}, answer("http://a.test/s")));
    EXPECT_FALSE(strict.allows({hop("http://a.test/go", "http://b.test/s")},
                               answer("http://b.test/s", "*")));
}

TEST(ReadPolicyTest, ContentThatCameFromAnotherOriginThanAskedIsHiddenOnlyWhereScriptMayNotRead) {
    auto image = request("http://a.test/go", {}, "no-cors");
    image.setValue("Sec-Fetch-Dest", " Image");
    const auto open = ReadPolicy::of(image);
    EXPECT_EQ(open.destination, "image");
    EXPECT_EQ(open.asked, "http://a.test");
    EXPECT_FALSE(open.hidesOrigin({}, answer("http://a.test/go")));
    EXPECT_FALSE(
        open.hidesOrigin({hop("http://a.test/go", "http://a.test/s")}, answer("http://a.test/s")));
    EXPECT_TRUE(
        open.hidesOrigin({hop("http://a.test/go", "http://b.test/s")}, answer("http://b.test/s")));
    // Abroad and home again: it passed through the other origin's hands.
    EXPECT_TRUE(open.hidesOrigin(
        {hop("http://a.test/go", "http://b.test/s"), hop("http://b.test/s", "http://a.test/t")},
        answer("http://a.test/t")));
    // What script reads under CORS is judged by allows() alone.
    const auto cors = ReadPolicy::of(request("http://a.test/go", {}, "cors"));
    EXPECT_FALSE(cors.hidesOrigin({hop("http://a.test/go", "http://b.test/s")},
                                  answer("http://b.test/s", "*")));
    EXPECT_EQ(cors.destination, "");
}

}  // namespace
