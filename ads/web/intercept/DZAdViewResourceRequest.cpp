#include "ads/web/intercept/DZAdViewResourceRequest.h"

#include <bit>
#include <functional>

#include "ads/foundation/DZHashing.h"
#include "core/Unicode.h"

namespace ads {

namespace {

constexpr std::string_view kAnnotationPrefix = "x-duzo-annotation-";

// "http://a.example?q" reads as "http://a.example/?q".
core::URL withRootPath(const core::URL& url) {
    if (url.host().empty() || !url.path().empty()) return url;
    std::string text = url.absoluteString();
    const size_t authorityStart = url.scheme().size() + 3;  // "scheme://"
    text.insert(std::min(text.find_first_of("?#", authorityStart), text.size()), "/");
    return core::URL::createFromWeb(text).value_or(url);
}

// The request's body as the report keeps it. One still on its way (a
// stream) gives its first bytes and the length it declared; without one,
// the bytes at hand are its length as far as anyone can tell yet.
DZCapturedBytes capturedBody(const core::URLRequest& request) {
    const auto& stream = request.bodyStream();
    if (!stream) return DZCapturedBytes(request.body(), DZCapturedBytes::kResourceLimit);
    const core::Data first = stream->firstBytes(DZCapturedBytes::kResourceLimit);
    DZCapturedBytes captured(first, DZCapturedBytes::kResourceLimit);
    const std::int64_t length = stream->length().value_or(stream->held());
    if (length > std::int64_t(first.size())) captured.count(std::uint64_t(length) - first.size());
    return captured;
}

}  // namespace

DZAdViewResourceRequest::DZAdViewResourceRequest(const core::URLRequest& request)
    : hints_{static_cast<std::uint32_t>(request.cachePolicy()),
             static_cast<std::uint32_t>(request.networkServiceType()),
             request.HTTPShouldHandleCookies(), request.allowsCellularAccess()},
      url_(withRootPath(request.url())), method_(request.method()), headers_(request.headers()),
      body_(capturedBody(request)) {
    if (request.mainDocumentURL()) mainDocumentURL_ = withRootPath(*request.mainDocumentURL());
}

DZAdViewResourceRequest
DZAdViewResourceRequest::resourceRequestWithHeaders(core::HTTPHeaders headers) const {
    DZAdViewResourceRequest copy = *this;
    copy.headers_ = std::move(headers);
    return copy;
}

bool DZAdViewResourceRequest::isEqual(const DZAdViewResourceRequest& other) const {
    return url_ == other.url_ && mainDocumentURL_ == other.mainDocumentURL_ &&
           method_ == other.method_ && body_ == other.body_ && hints_ == other.hints_ &&
           ordinaryHeadersMatch(headers_, other.headers_, false);
}

std::size_t DZAdViewResourceRequest::hash() const {
    std::size_t hints = std::hash<std::uint64_t>{}((std::uint64_t(hints_.cachePolicy) << 32) ^
                                                   (std::uint64_t(hints_.networkServiceType) << 2) ^
                                                   (std::uint64_t(hints_.handlesCookies) << 1) ^
                                                   std::uint64_t(hints_.allowsCellularAccess));
    return std::hash<std::string>{}(url_.absoluteString()) ^
           std::rotl(static_cast<std::uint64_t>(hints), 32);
}

std::string DZAdViewResourceRequest::description() const {
    std::string headers = "{";
    for (const auto& [name, value] : headers_) {
        if (headers.size() > 1) headers += "; ";
        headers += name + ": " + value;
    }
    headers += "}";
    const std::string body =
        body_.empty() ? "no body" : std::to_string(body_.length()) + " byte body";
    return "(" + method_ + " " + url_.absoluteString() + "\n" + headers + "\n" + body + ")";
}

core::Dictionary DZAdViewResourceRequest::dictionaryRepresentationExcludingHeaders(
    const std::set<std::string>& excludedHeaders) const {
    core::Dictionary firstLine{{"uri", DZBase64String(url_.absoluteString())}};
    if (!method_.empty()) firstLine.set("verb", DZBase64String(method_));
    core::Dictionary dictionary{{"firstline", std::move(firstLine)},
                                {"headers", headerList(headers_, excludedHeaders)}};
    body_.addReportEntries(dictionary);
    return dictionary;
}

core::Array DZAdViewResourceRequest::headerList(const core::HTTPHeaders& headers,
                                                const std::set<std::string>& excludedHeaders) {
    core::Array list;
    for (const auto& [name, value] : headers) {
        if (excludedHeaders.contains(core::Unicode::toLower(name, ""))) continue;
        list.emplace_back(
            core::Dictionary{{"name", DZBase64String(name)}, {"value", DZBase64String(value)}});
    }
    return list;
}

bool DZAdViewResourceRequest::ordinaryHeadersMatch(const core::HTTPHeaders& from,
                                                   const core::HTTPHeaders& in,
                                                   bool missingDisagrees) {
    for (const auto& [name, value] : from) {
        if (isAnnotationHeader(name)) continue;
        const std::optional<std::string> other = in.value(name);
        if (other ? *other != from.value(name) : missingDisagrees) return false;
    }
    return true;
}

bool DZAdViewResourceRequest::isAnnotationHeader(std::string_view name) {
    return name.size() >= kAnnotationPrefix.size() &&
           core::Unicode::equalsCaseInsensitive(name.substr(0, kAnnotationPrefix.size()),
                                                kAnnotationPrefix);
}

}  // namespace ads
