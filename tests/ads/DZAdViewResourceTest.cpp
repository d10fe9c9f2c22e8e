#include <gtest/gtest.h>

#include "ResourceCollectionTesting.h"
#include "ads/foundation/DZHashing.h"
#include "ads/web/intercept/DZAdViewResource.h"
#include "ads/web/intercept/DZAdViewResourceRequest.h"
#include "ads/web/intercept/DZHostAddressResolution.h"

using namespace ads;
using resourcetesting::request;
using resourcetesting::url;

namespace {

using Record = DZAdViewResourceRequest;

core::Value header(const std::string& name, const std::string& value) {
    return core::Dictionary{{"name", DZBase64String(name)}, {"value", DZBase64String(value)}};
}

core::Data bytes(const std::string& text) {
    return core::Data(text.begin(), text.end());
}

// No test looks a host up in DNS.
class DZAdViewResourceTest : public ::testing::Test {
    resourcetesting::ResolverScope resolver_{{}};
};

}  // namespace

TEST(DZAdViewResourceRequest, CopiesTheRequestAndGivesBarePathsTheRoot) {
    core::URLRequest made =
        request("https://a.example", "https://page.example?p=1", {{"Accept", "*/*"}});
    made.setMethod("POST");
    made.setBody("k=v");
    made.setCachePolicy(core::URLRequest::CachePolicy::reloadIgnoringLocalCacheData);
    made.setNetworkServiceType(core::URLRequest::NetworkServiceType::video);
    made.setHTTPShouldHandleCookies(false);
    const Record record(made);
    EXPECT_EQ(record.URL().absoluteString(), "https://a.example/");
    ASSERT_TRUE(record.mainDocumentURL());
    EXPECT_EQ(record.mainDocumentURL()->absoluteString(), "https://page.example/?p=1")
        << "the query stays";
    EXPECT_EQ(record.method(), "POST");
    EXPECT_EQ(record.headers().value("accept"), "*/*");
    EXPECT_EQ(record.body().kept(), bytes("k=v"));
    EXPECT_EQ(record.equalityHints(), (Record::EqualityHints{1, 2, false, true}));
    EXPECT_EQ(record.description(), "(POST https://a.example/\n{Accept: */*}\n3 byte body)");

    EXPECT_EQ(Record(request("https://a.example")), Record(request("https://a.example/")));
    EXPECT_EQ(Record(request("https://a.example/x")).URL().absoluteString(), "https://a.example/x");
}

// URLs as the engine wrote them are kept as they are, a bare one given the
// root all the same.
TEST(DZAdViewResourceRequest, KeepsURLsAsTheEngineWroteThem) {
    const Record record(resourcetesting::webRequest("https://a.example?x=a|b&cb=[1]",
                                                    "https://page.example/ad|page/%zz"));
    EXPECT_EQ(record.URL().absoluteString(), "https://a.example/?x=a|b&cb=[1]");
    ASSERT_TRUE(record.mainDocumentURL());
    EXPECT_EQ(record.mainDocumentURL()->absoluteString(), "https://page.example/ad|page/%zz");
    EXPECT_EQ(record.dictionaryRepresentationExcludingHeaders({})["firstline"]["uri"],
              core::Value(DZBase64String("https://a.example/?x=a|b&cb=[1]")));
}

TEST(DZAdViewResourceRequest, Equality) {
    const Record base(request("https://a.example/x", "https://p.example/",
                              {{"Accept", "*/*"}, {"X-Duzo-Annotation-Note", "one"}}));
    const auto variant = [](const std::function<void(core::URLRequest&)>& change) {
        core::URLRequest made = request("https://a.example/x", "https://p.example/",
                                        {{"Accept", "*/*"}, {"X-Duzo-Annotation-Note", "two"}});
        change(made);
        return Record(made);
    };
    const std::vector<std::pair<const char*, Record>> equal{
        {"annotation differs", variant([](auto&) {})},
        {"header on one side", variant([](auto& r) { r.setValue("Cookie", "c=1"); })},
        {"header missing", variant([](auto& r) { r.setValue("Accept", std::nullopt); })},
    };
    for (const auto& [what, other] : equal) {
        EXPECT_EQ(base, other) << what;
        EXPECT_EQ(base.hash(), other.hash()) << what;
    }
    const std::vector<std::pair<const char*, Record>> different{
        {"header value", variant([](auto& r) { r.setValue("accept", "text/html"); })},
        {"method", variant([](auto& r) { r.setMethod("POST"); })},
        {"body", variant([](auto& r) { r.setBody("b"); })},
        {"url", variant([](auto& r) { r.setURL(url("https://a.example/y")); })},
        {"page", variant([](auto& r) { r.setMainDocumentURL(std::nullopt); })},
        {"cache policy", variant([](auto& r) {
             r.setCachePolicy(core::URLRequest::CachePolicy::reloadIgnoringLocalCacheData);
         })},
        {"service type", variant([](auto& r) {
             r.setNetworkServiceType(core::URLRequest::NetworkServiceType::voice);
         })},
        {"cookies", variant([](auto& r) { r.setHTTPShouldHandleCookies(false); })},
        {"cellular", variant([](auto& r) { r.setAllowsCellularAccess(false); })},
    };
    for (const auto& [what, other] : different) EXPECT_FALSE(base == other) << what;
}

TEST(DZAdViewResourceRequest, DictionaryWithExcludedHeadersInAnyCase) {
    core::URLRequest made =
        request("https://a.example/x", std::nullopt, {{"Accept", "*/*"}, {"COOKIE", "secret"}});
    made.setMethod("POST");
    made.setBody("hello");
    const core::Dictionary dictionary =
        Record(made).dictionaryRepresentationExcludingHeaders({"cookie"});
    EXPECT_EQ(dictionary["firstline"],
              core::Value(core::Dictionary{{"uri", DZBase64String("https://a.example/x")},
                                           {"verb", DZBase64String("POST")}}));
    EXPECT_EQ(dictionary["headers"], core::Value(core::Array{header("Accept", "*/*")}));
    EXPECT_EQ(dictionary["body"], core::Value("aGVsbG8="));
    EXPECT_EQ(dictionary["bodydigest"], core::Value(DZBase64String(DZMD5Digest(bytes("hello")))));
    EXPECT_EQ(dictionary["bodylength"], core::Value(5));

    const core::Dictionary bare =
        Record(request("https://a.example/")).dictionaryRepresentationExcludingHeaders({});
    EXPECT_EQ(bare.keys(), (std::vector<std::string>{"firstline", "headers"}));
}

TEST_F(DZAdViewResourceTest, HeaderMerging) {
    const auto merged = [](std::initializer_list<core::HTTPHeaders::Field> stored,
                           core::HTTPHeaders given) {
        const auto resource = DZAdViewResource::create(
            Record(request("https://a.example/", std::nullopt, stored)), 0);
        resource->addRequestHeaders(given);
        return resource->request().headers();
    };
    using H = core::HTTPHeaders;
    EXPECT_EQ(merged({{"A", "1"}, {"B", "2"}}, H{{"A", "1"}, {"C", "3"}}),
              (H{{"A", "1"}, {"B", "2"}}))
        << "neither side contains the other";
    EXPECT_EQ(merged({{"A", "1"}, {"B", "2"}}, H{{"A", "1"}, {"B", "2"}, {"C", "3"}}),
              (H{{"A", "1"}, {"B", "2"}, {"C", "3"}}))
        << "a new header, the others repeated";
    EXPECT_EQ(merged({{"A", "1"}}, H{{"a", "1"}}), (H{{"A", "1"}})) << "names in any case";
    EXPECT_EQ(merged({{"A", "1"}, {"B", "2"}}, H{{"A", "9"}}), (H{{"A", "1"}, {"B", "2"}}))
        << "a conflicting value changes nothing";
    EXPECT_EQ(merged({{"A", "1"}}, H{{"x-duzo-annotation-missing-request", "n"}}),
              (H{{"A", "1"}, {"x-duzo-annotation-missing-request", "n"}}));
    EXPECT_EQ(merged({}, H{{"A", "1"}}), (H{{"A", "1"}}));
    EXPECT_EQ(merged({{"A", "1"}}, H{}), (H{{"A", "1"}}));
}

TEST_F(DZAdViewResourceTest, ChildrenMoveBetweenParents) {
    const auto a = DZAdViewResource::create(Record(request("https://a.example/")), 0);
    const auto b = DZAdViewResource::create(Record(request("https://b.example/")), 1);
    const auto c = DZAdViewResource::create(Record(request("https://c.example/")), 2);
    a->addChild(c);
    b->addChild(c);
    EXPECT_TRUE(a->children().empty());
    EXPECT_EQ(b->children(), (std::vector{c}));
    EXPECT_EQ(c->parent(), b);
    c->addChild(c);
    EXPECT_TRUE(c->children().empty());
    EXPECT_EQ(c->parent(), b);
    EXPECT_EQ(c->description(), "DZAdViewResource #2 (https://c.example/)");
}

TEST_F(DZAdViewResourceTest, DictionaryAndRemoteAddress) {
    resourcetesting::ResolverScope resolver({{"a.example", "192.0.2.7"}, {"p.example", "::1"}});
    const auto bare = DZAdViewResource::create(Record(request("https://unknown.example/")), 4);
    const core::Dictionary bareEntry = bare->dictionaryRepresentationExcludingHeaders({});
    EXPECT_EQ(bareEntry.keys(),
              (std::vector<std::string>{"id", "url", "request", "child_ids", "ad_resource_type"}))
        << "no response entry without response, content or address; no parent";
    EXPECT_EQ(bareEntry["child_ids"], core::Value(core::Array{}));

    const auto parent = DZAdViewResource::create(Record(request("https://a.example/")), 0);
    const auto resource = DZAdViewResource::create(Record(request("https://a.example/x")), 1);
    const auto child = DZAdViewResource::create(Record(request("https://a.example/y")), 2);
    parent->addChild(resource);
    resource->addChild(child);
    resource->setType(DZAdViewResource::kAfterTouch);
    resource->setResponse(core::HTTPURLResponse(
        url("https://a.example/x"), 200, {{"Content-Type", "text/html"}, {"Set-Cookie", "s"}}));
    resource->appendContent(bytes("<p>"));
    resource->appendContent(bytes("hi"));
    const core::Dictionary dictionary =
        resource->dictionaryRepresentationExcludingHeaders({"set-cookie"});
    EXPECT_EQ(dictionary["parent_id"], core::Value(0));
    EXPECT_EQ(dictionary["child_ids"], core::Value(core::Array{2}));
    EXPECT_EQ(dictionary["ad_resource_type"], core::Value(2));
    EXPECT_EQ(dictionary["response"],
              core::Value(core::Dictionary{
                  {"headers", core::Array{header("Content-Type", "text/html")}},
                  {"firstline", core::Dictionary{{"code", 200}}},
                  {"body", DZBase64String(std::string_view("<p>hi"))},
                  {"bodydigest", DZBase64String(DZMD5Digest(bytes("<p>hi")))},
                  {"bodylength", 5},
                  {"remote_ip", DZBase64String(std::string_view("192.0.2.7"))},
              }));

    // Without a host of its own, the page's host is looked up.
    const auto blank =
        DZAdViewResource::create(Record(request("about:blank", "https://p.example/")), 3);
    EXPECT_EQ(blank->networkAddress(), "::1");
    EXPECT_EQ(
        blank->dictionaryRepresentationExcludingHeaders({})["response"],
        core::Value(core::Dictionary{{"remote_ip", DZBase64String(std::string_view("::1"))}}));
}

TEST_F(DZAdViewResourceTest, ContentIsKeptUpToTheLimitAndCountedBeyond) {
    const auto resource = DZAdViewResource::create(Record(request("https://a.example/")), 0);
    const core::Data chunk(DZCapturedBytes::kResourceLimit - 10, 'a');
    EXPECT_EQ(resource->appendContent(chunk), chunk.size());
    EXPECT_EQ(resource->appendContent(bytes("0123456789abcdef")), 10U);
    EXPECT_EQ(resource->appendContent(bytes("more")), 0U);
    EXPECT_EQ(resource->content().kept().size(), DZCapturedBytes::kResourceLimit);
    EXPECT_EQ(resource->content().length(), DZCapturedBytes::kResourceLimit + 10);
    const core::Dictionary response =
        *resource->dictionaryRepresentationExcludingHeaders({})["response"].dictionary();
    EXPECT_EQ(response["bodylength"],
              core::Value(std::int64_t(DZCapturedBytes::kResourceLimit + 10)));

    core::URLRequest upload = request("https://a.example/up");
    upload.setBody(core::Data(DZCapturedBytes::kResourceLimit + 1, 'u'));
    const Record record(upload);
    EXPECT_EQ(record.body().kept().size(), DZCapturedBytes::kResourceLimit);
    EXPECT_EQ(record.body().length(), DZCapturedBytes::kResourceLimit + 1);

    // A body still on its way: what is at hand of its start, and the length
    // it declared (or, without one, what is at hand).
    for (const bool declared : {true, false}) {
        const size_t atHand = DZCapturedBytes::kResourceLimit + 100;
        auto stream = std::make_shared<core::URLBodyStream>(
            declared ? std::optional<std::int64_t>(std::int64_t(70) << 20) : std::nullopt);
        stream->write(std::string(atHand, 's'));
        core::URLRequest streamed = request("https://a.example/up");
        streamed.setBodyStream(stream);
        const Record whileComing(streamed);
        EXPECT_EQ(whileComing.body().kept(), core::Data(DZCapturedBytes::kResourceLimit, 's'));
        EXPECT_EQ(whileComing.body().length(), declared ? std::uint64_t(70) << 20 : atHand);
    }
}

TEST(DZHostAddressResolution, SystemResolverWritesNumericHostsWithoutLookingUp) {
    EXPECT_EQ(DZResolveHostAddress("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(DZResolveHostAddress("::1"), "::1");
    EXPECT_EQ(DZResolveHostAddress(""), std::nullopt);
}
