#pragma once
// A script exception as the caller sees it: the thrown value's "name" and
// "message", and where it was thrown. For a thrown value that is not an
// Error object, message is the value as text and name is empty.

#include <string>

namespace web {

struct JSException {
    std::string message;
    std::string name;
    int line = 0;  // 1-based; 0 when unknown
    std::string sourceURL;

    // "TypeError: x is not a function (page.js:3)", for logs.
    [[nodiscard]] std::string description() const;
};

}  // namespace web
