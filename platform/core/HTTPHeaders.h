#pragma once
// The header fields of an HTTP request or response: an ordered list of
// name/value pairs whose names compare ASCII case-insensitively. A name may
// appear several times (Set-Cookie); set() replaces every field of a name
// with one, add() appends another. Names keep the case they were given.
//
// A value type with no shared state.

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace core {

class HTTPHeaders {
public:
    using Field = std::pair<std::string, std::string>;

    HTTPHeaders() = default;
    HTTPHeaders(std::initializer_list<Field> fields);

    // Replaces the first field of that name in place and drops the others;
    // appends when absent.
    void set(std::string_view name, std::string value);
    void add(std::string name, std::string value);
    // False when absent.
    bool remove(std::string_view name);

    [[nodiscard]] bool contains(std::string_view name) const;
    // The values of every field of that name joined with ", ", in order;
    // nullopt when absent.
    [[nodiscard]] std::optional<std::string> value(std::string_view name) const;
    [[nodiscard]] std::vector<std::string> values(std::string_view name) const;

    [[nodiscard]] const std::vector<Field>& fields() const { return fields_; }
    [[nodiscard]] size_t size() const { return fields_.size(); }
    [[nodiscard]] bool empty() const { return fields_.empty(); }
    [[nodiscard]] auto begin() const { return fields_.begin(); }
    [[nodiscard]] auto end() const { return fields_.end(); }

    // ASCII case-insensitive equality of field names.
    [[nodiscard]] static bool sameName(std::string_view a, std::string_view b);

    friend bool operator==(const HTTPHeaders&, const HTTPHeaders&) = default;

private:
    std::vector<Field> fields_;
};

}  // namespace core
