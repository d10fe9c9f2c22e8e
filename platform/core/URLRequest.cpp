#include "core/URLRequest.h"

namespace core {

URLRequest::URLRequest(URL url) : url_(std::move(url)) {}

void URLRequest::setValue(std::string_view name, std::optional<std::string> value) {
    if (value) {
        headers_.set(name, std::move(*value));
    } else {
        headers_.remove(name);
    }
}

void URLRequest::addValue(std::string name, std::string value) {
    headers_.add(std::move(name), std::move(value));
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

}  // namespace core
