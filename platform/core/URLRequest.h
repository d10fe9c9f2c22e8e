#pragma once
// An HTTP request as a URLSession or URLConnection sends it: URL, method,
// header fields, body and the time-out between bytes. Header names compare
// case-insensitively; setting a header replaces every field of that name.
//
// Methods and header names must be HTTP tokens, and header values may not
// hold CR, LF or NUL: text from a page or a server that ended a line could
// otherwise add headers, or a whole second request, on the wire. Such a
// method or header is refused and the request stays as it was.
//
// It also carries what the loading layer and URL protocols read but libcurl
// does not: the URL of the page that issued it, a cache policy, the loading
// hints (service type, cookie handling, cellular access; kept for those who
// record requests, since the process keeps no HTTP cache, cookie store or
// radio choice of its own), and a map of properties that URL protocols set
// on requests to recognise them later.
//
// A value type; its copies share a body stream, when it has one.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/HTTPHeaders.h"
#include "core/URL.h"
#include "core/URLBodyStream.h"
#include "core/Value.h"

namespace core {

class URLRequest {
public:
    static constexpr double kDefaultTimeoutInterval = 60;

    enum class CachePolicy : std::uint32_t {
        useProtocolCachePolicy = 0,
        reloadIgnoringLocalCacheData = 1,
    };
    enum class NetworkServiceType : std::uint32_t {
        standard = 0,
        background = 1,
        video = 2,
        voice = 3,
        responsiveData = 4,
    };

    explicit URLRequest(URL url);

    [[nodiscard]] const URL& url() const { return url_; }
    void setURL(URL url) { url_ = std::move(url); }

    // "GET" unless set; sent as given. False when refused.
    [[nodiscard]] const std::string& method() const { return method_; }
    bool setMethod(std::string method);

    [[nodiscard]] const HTTPHeaders& headers() const { return headers_; }
    [[nodiscard]] std::optional<std::string> value(std::string_view name) const {
        return headers_.value(name);
    }
    // nullopt removes the header. False when refused.
    bool setValue(std::string_view name, std::optional<std::string> value);
    // Adds another field of that name. False when refused.
    bool addValue(std::string name, std::string value);
    // A token of RFC 9110: one or more of the letters, digits and
    // "!#$%&'*+-.^_`|~".
    [[nodiscard]] static bool isToken(std::string_view text);
    // Free of CR, LF and NUL.
    [[nodiscard]] static bool isSafeHeaderValue(std::string_view value);

    // The copies of a request share one body, which is never changed in
    // place: a large upload is held once however often its request is
    // copied on the way. Setting it takes the place of a body stream, and
    // an empty one is no body (see setSendsEmptyBody).
    [[nodiscard]] const Data& body() const { return body_.get(); }
    void setBody(Data body);
    void setBody(std::string_view text);
    // A body sent as it comes (URLBodyStream), in place of a whole one; its
    // copies share it, and it is sent once. Null when the body is whole.
    [[nodiscard]] const std::shared_ptr<URLBodyStream>& bodyStream() const {
        return body_.stream();
    }
    void setBodyStream(std::shared_ptr<URLBodyStream> stream);
    // An empty body that is a body all the same: sent with
    // "Content-Length: 0" whatever the method (but GET and HEAD), as a
    // browser frames a PUT without content. Off unless set, when an empty
    // body goes as none (a POST's but with that length).
    [[nodiscard]] bool sendsEmptyBody() const { return body_.sendsEmpty(); }
    void setSendsEmptyBody(bool sends);

    // Seconds without data after which the request fails. Until set, the
    // session's timeoutIntervalForRequest applies; this reads 60 then.
    [[nodiscard]] double timeoutInterval() const {
        return timeoutInterval_.value_or(kDefaultTimeoutInterval);
    }
    [[nodiscard]] bool hasTimeoutInterval() const { return timeoutInterval_.has_value(); }
    void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }

    // Sets "Range: bytes=from-to" (both inclusive), or "bytes=from-" without to.
    void setByteRange(std::int64_t from, std::optional<std::int64_t> to = std::nullopt);

    // The page that issued the request; nullopt for requests of no page.
    [[nodiscard]] const std::optional<URL>& mainDocumentURL() const { return mainDocumentURL_; }
    void setMainDocumentURL(std::optional<URL> url) { mainDocumentURL_ = std::move(url); }

    [[nodiscard]] CachePolicy cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(CachePolicy policy) { cachePolicy_ = policy; }
    [[nodiscard]] NetworkServiceType networkServiceType() const { return networkServiceType_; }
    void setNetworkServiceType(NetworkServiceType type) { networkServiceType_ = type; }
    [[nodiscard]] bool HTTPShouldHandleCookies() const { return HTTPShouldHandleCookies_; }
    void setHTTPShouldHandleCookies(bool handle) { HTTPShouldHandleCookies_ = handle; }
    [[nodiscard]] bool allowsCellularAccess() const { return allowsCellularAccess_; }
    void setAllowsCellularAccess(bool allows) { allowsCellularAccess_ = allows; }

    // Properties for URL protocols, by key; nullopt when absent.
    [[nodiscard]] std::optional<Value> property(std::string_view key) const;
    [[nodiscard]] bool hasProperty(std::string_view key) const;
    void setProperty(std::string key, Value value);
    void removeProperty(std::string_view key);

    friend bool operator==(const URLRequest&, const URLRequest&) = default;

private:
    class SharedBody {
    public:
        [[nodiscard]] const Data& get() const {
            static const Data empty;
            return data_ ? *data_ : empty;
        }
        [[nodiscard]] const std::shared_ptr<URLBodyStream>& stream() const { return stream_; }
        [[nodiscard]] bool sendsEmpty() const { return sendsEmpty_; }
        void set(Data data);
        void set(std::shared_ptr<URLBodyStream> stream);
        void setSendsEmpty(bool sends) { sendsEmpty_ = sends; }
        friend bool operator==(const SharedBody& a, const SharedBody& b) {
            return a.stream_ == b.stream_ && a.sendsEmpty_ == b.sendsEmpty_ &&
                   (a.data_ == b.data_ || a.get() == b.get());
        }

    private:
        std::shared_ptr<const Data> data_;
        std::shared_ptr<URLBodyStream> stream_;
        bool sendsEmpty_ = false;
    };

    URL url_;
    std::string method_ = "GET";
    HTTPHeaders headers_;
    SharedBody body_;
    std::optional<double> timeoutInterval_;
    std::optional<URL> mainDocumentURL_;
    CachePolicy cachePolicy_ = CachePolicy::useProtocolCachePolicy;
    NetworkServiceType networkServiceType_ = NetworkServiceType::standard;
    bool HTTPShouldHandleCookies_ = true;
    bool allowsCellularAccess_ = true;
    std::map<std::string, Value, std::less<>> properties_;
};

}  // namespace core
