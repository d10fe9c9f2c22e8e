#include "core/HTTPHeaders.h"

#include <algorithm>

namespace core {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

HTTPHeaders::HTTPHeaders(std::initializer_list<Field> fields) {
    for (const auto& [name, value] : fields) add(name, value);
}

bool HTTPHeaders::sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

void HTTPHeaders::set(std::string_view name, std::string value) {
    auto first = std::find_if(fields_.begin(), fields_.end(),
                              [&](const Field& field) { return sameName(field.first, name); });
    if (first == fields_.end()) {
        fields_.emplace_back(std::string(name), std::move(value));
        return;
    }
    first->second = std::move(value);
    fields_.erase(std::remove_if(std::next(first), fields_.end(),
                                 [&](const Field& field) { return sameName(field.first, name); }),
                  fields_.end());
}

void HTTPHeaders::add(std::string name, std::string value) {
    fields_.emplace_back(std::move(name), std::move(value));
}

bool HTTPHeaders::remove(std::string_view name) {
    const auto count =
        std::erase_if(fields_, [&](const Field& field) { return sameName(field.first, name); });
    return count > 0;
}

bool HTTPHeaders::contains(std::string_view name) const {
    return std::any_of(fields_.begin(), fields_.end(),
                       [&](const Field& field) { return sameName(field.first, name); });
}

std::optional<std::string> HTTPHeaders::value(std::string_view name) const {
    std::optional<std::string> joined;
    for (const auto& [fieldName, fieldValue] : fields_) {
        if (!sameName(fieldName, name)) continue;
        if (joined) {
            joined->append(", ").append(fieldValue);
        } else {
            joined = fieldValue;
        }
    }
    return joined;
}

std::vector<std::string> HTTPHeaders::values(std::string_view name) const {
    std::vector<std::string> found;
    for (const auto& [fieldName, fieldValue] : fields_) {
        if (sameName(fieldName, name)) found.push_back(fieldValue);
    }
    return found;
}

}  // namespace core
