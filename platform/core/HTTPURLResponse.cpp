#include "core/HTTPURLResponse.h"

#include <charconv>

#include "core/ASCII.h"

namespace core {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::int64_t contentLength(const HTTPHeaders& headers) {
    const auto encoding = headers.value("Transfer-Encoding");
    if (encoding && asciiLowercased(*encoding).find("chunked") != std::string::npos) return -1;
    const auto values = headers.values("Content-Length");
    if (values.empty()) return -1;
    const std::string_view text = trimmed(values.front());
    std::int64_t length = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (error != std::errc() || end != text.data() + text.size() || length < 0) return -1;
    return length;
}

}  // namespace

HTTPURLResponse::HTTPURLResponse(URL url, int statusCode, HTTPHeaders headers)
    : url_(std::move(url)), statusCode_(statusCode), headers_(std::move(headers)) {
    expectedContentLength_ = contentLength(headers_);
    const auto contentType = headers_.value("Content-Type");
    if (!contentType) return;
    std::string_view rest = *contentType;
    size_t semicolon = rest.find(';');
    mimeType_ = asciiLowercased(trimmed(rest.substr(0, semicolon)));
    while (semicolon != std::string_view::npos) {
        rest.remove_prefix(semicolon + 1);
        semicolon = rest.find(';');
        const std::string_view parameter = trimmed(rest.substr(0, semicolon));
        const size_t equals = parameter.find('=');
        if (equals == std::string_view::npos) continue;
        if (asciiLowercased(trimmed(parameter.substr(0, equals))) != "charset") continue;
        std::string_view value = trimmed(parameter.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        textEncodingName_ = asciiLowercased(value);
        return;
    }
}

}  // namespace core
