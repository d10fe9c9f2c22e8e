#pragma once
// The head of an HTTP response read a line at a time, as libcurl hands it
// over (each line with its line end), the way the web engine reads heads,
// so that an answer the app carries for a page reads as it would without
// the app:
//  - the status line's parts may be set apart by any run of spaces and
//    tabs ("HTTP/1.1  200 OK" is 200), and its reason phrase goes without
//    the blanks around it;
//  - a field line that starts with a space or a tab continues the field
//    before it (the two joined by one space), and is dropped where no field
//    came before; a field line whose name is empty or holds a blank is
//    dropped, as is a line without a colon;
//  - an interim (1xx) head is followed by another, whose status line starts
//    the head over.
// framingRefusal() says when the engine would not read the body the fields
// frame.
//
// A value type with no shared state.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/HTTPHeaders.h"

namespace core {

class HTTPResponseHead {
public:
    struct StatusLine {
        // "HTTP/1.1", "HTTP/1.0", "HTTP/2"; empty before one.
        std::string version;
        int status = 0;
        // As written, without the blanks around it; nullopt for HTTP/2 and
        // HTTP/3, whose status lines have none.
        std::optional<std::string> reasonPhrase;
    };
    // "HTTP/1.1 200 OK", "HTTP/1.0\t404", "HTTP/2 200"; nullopt for a line
    // that is no status line (no "HTTP/<version>", or a status of other
    // than three digits).
    [[nodiscard]] static std::optional<StatusLine> parseStatusLine(std::string_view line);

    // Why the engine would refuse to read the body these fields frame, or
    // nullopt when it reads it. It decides on the fields in their order: a
    // Transfer-Encoding field of "chunked" (ASCII case ignored) makes the
    // body chunked, one of "identity" changes nothing, and any other value
    // names a coding it cannot read, until a later Transfer-Encoding or
    // Content-Length field decides again; a Content-Length field frames a
    // body that is not chunked, and one that is no number is unreadable.
    // (Answers without a body, to HEAD or with a 1xx, 204 or 304, are not
    // read by their framing at all.)
    [[nodiscard]] static std::optional<std::string> framingRefusal(const HTTPHeaders& fields);

    enum class Line {
        status,  // a head's first line
        field,   // a field line, kept or dropped
        end,     // the blank line that ends a head
    };
    // Takes the next line. The first line of a head is its status line,
    // which status() is 0 after when it could not be read.
    Line take(std::string_view line);

    // Of the latest status line: empty, 0 and nullopt before one.
    [[nodiscard]] const std::string& version() const { return status_.version; }
    [[nodiscard]] int status() const { return status_.status; }
    [[nodiscard]] const std::optional<std::string>& reasonPhrase() const {
        return status_.reasonPhrase;
    }
    // The fields of the head under way (or ended last), in order.
    [[nodiscard]] HTTPHeaders fields() const;
    // Whether a status line came since the last head ended.
    [[nodiscard]] bool started() const { return !awaitingStatus_; }

private:
    StatusLine status_;
    std::vector<HTTPHeaders::Field> fields_;
    bool awaitingStatus_ = true;
    // The last field line was dropped: lines that continue it are too.
    bool droppedLast_ = false;
};

}  // namespace core
