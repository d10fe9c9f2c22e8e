#include "core/URLRequest.h"

#include <algorithm>

namespace core {

URLRequest::URLRequest(URL url) : url_(std::move(url)) {}

bool URLRequest::isToken(std::string_view text) {
    constexpr std::string_view kSymbols = "!#$%&'*+-.^_`|~";
    return !text.empty() && std::all_of(text.begin(), text.end(), [&](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               kSymbols.find(c) != std::string_view::npos;
    });
}

bool URLRequest::isSafeHeaderValue(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool URLRequest::setMethod(std::string method) {
    if (!isToken(method)) return false;
    method_ = std::move(method);
    return true;
}

bool URLRequest::setValue(std::string_view name, std::optional<std::string> value) {
    if (!value) {
        headers_.remove(name);
        return true;
    }
    if (!isToken(name) || !isSafeHeaderValue(*value)) return false;
    headers_.set(name, std::move(*value));
    return true;
}

bool URLRequest::addValue(std::string name, std::string value) {
    if (!isToken(name) || !isSafeHeaderValue(value)) return false;
    headers_.add(std::move(name), std::move(value));
    return true;
}

void URLRequest::setByteRange(std::int64_t from, std::optional<std::int64_t> to) {
    std::string range = "bytes=" + std::to_string(from) + "-";
    if (to) range += std::to_string(*to);
    headers_.set("Range", std::move(range));
}

std::optional<Value> URLRequest::property(std::string_view key) const {
    const auto found = properties_.find(key);
    if (found == properties_.end()) return std::nullopt;
    return found->second;
}

bool URLRequest::hasProperty(std::string_view key) const {
    return properties_.find(key) != properties_.end();
}

void URLRequest::setProperty(std::string key, Value value) {
    properties_.insert_or_assign(std::move(key), std::move(value));
}

void URLRequest::removeProperty(std::string_view key) {
    if (const auto found = properties_.find(key); found != properties_.end()) {
        properties_.erase(found);
    }
}

void URLRequest::SharedBody::set(Data data) {
    data_ = data.empty() ? nullptr : std::make_shared<const Data>(std::move(data));
    stream_.reset();
    sendsEmpty_ = false;
}

void URLRequest::SharedBody::set(std::shared_ptr<URLBodyStream> stream) {
    data_.reset();
    stream_ = std::move(stream);
    sendsEmpty_ = false;
}

void URLRequest::setBody(Data body) { body_.set(std::move(body)); }

void URLRequest::setBody(std::string_view text) { body_.set(Data(text.begin(), text.end())); }

void URLRequest::setBodyStream(std::shared_ptr<URLBodyStream> stream) {
    body_.set(std::move(stream));
}

void URLRequest::setSendsEmptyBody(bool sends) {
    body_.setSendsEmpty(sends);
}

}  // namespace core
