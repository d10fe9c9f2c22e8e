#pragma once
// A plain HTTP/1.1 origin for tests that must see requests exactly as a
// client wrote them: a TCP listener on 127.0.0.1 (and on ::1 at the same
// port, where the machine has it), a thread per connection, that logs each
// request's line and header fields as raw bytes, neither decoded nor
// normalised, with its body (a chunked one unframed), and answers as the
// test told it. It reads no more of a request than its framing needs:
// nothing here decodes a path, folds a field or looks at a charset.
//
// Targets are expected below a folder per run ("/run<N>/<tag>/..."), the
// tag a word and a number ("fetch-3", "img-12", "redir-4-to"); what a
// request is answered with:
//  - the answer of the longest prefix of its target given to answer(), as
//    given (status line, fields and body bytes; a Content-Length is added
//    when the fields name none and the status may have a body), or, for a
//    RawAnswer::raw, its bytes alone, after which the connection ends;
//  - a target of more than kMostTargetBytes: 414 (as origins answer);
//  - a WebSocket handshake: 101 (with the status line of the answer given
//    for its prefix, if any), then every text or binary message sent back,
//    until the client closes;
//  - otherwise by the tag's word: "img" a 1x1 PNG; "script" a script that
//    pushes document.currentScript.src onto window.ran; "frame", "nav" and
//    "form" an HTML page that sets window.served to "<method> <target>" and
//    posts {served, href: location.href} to its parent when it has one;
//    anything else text/plain, "<method> <target>" and, after a line
//    break, the body. Each of those allows any origin to read it and may
//    not be cached.
//
// Member functions are safe on any thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

// One request as it arrived.
struct RawRequest {
    bool overIPv6 = false;
    std::string method;
    std::string target;   // the request line's, byte for byte
    std::string version;  // "HTTP/1.1"
    // Name and value as sent, the value without the blanks around it; in
    // the order sent.
    std::vector<std::pair<std::string, std::string>> fields;
    std::string body;

    // The first field of the name (ASCII case ignored), or nullptr.
    [[nodiscard]] const std::string* field(std::string_view name) const;
    // The line, the fields and the body, bytes outside printable ASCII as
    // "\xHH".
    [[nodiscard]] std::string describe() const;
};

// What a prefix is answered with.
struct RawAnswer {
    std::string statusLine;  // "HTTP/1.1 418 Teapot Here", any bytes
    std::vector<std::pair<std::string, std::string>> fields;
    std::string body;
    // Set: the whole answer, sent as it stands in place of the above, and
    // the connection's end after it.
    std::optional<std::string> bytes = std::nullopt;
    // Set: sent as soon as the request's head is in, before its body, which
    // is then read and dropped (as a server that refuses an upload early
    // does), not logged.
    bool beforeBody = false;
    // Set: never answered, and nothing more of the request read (a server
    // that hangs): the connection stays as it is until the origin ends.
    bool held = false;

    // 200 OK with the body as text/html, readable by any origin.
    [[nodiscard]] static RawAnswer html(std::string page);
    // An answer of any shape, whole or not, well formed or not.
    [[nodiscard]] static RawAnswer raw(std::string bytes);
};

class RawOrigin {
public:
    static constexpr size_t kMostTargetBytes = 65536;
    static constexpr size_t kMostHeadBytes = 1 << 20;

    // everyLoopbackAddress: the port answers at 127.0.0.2 and on too (each
    // a host of its own to a client), not only at 127.0.0.1.
    explicit RawOrigin(bool everyLoopbackAddress = false);
    ~RawOrigin();
    RawOrigin(const RawOrigin&) = delete;
    RawOrigin& operator=(const RawOrigin&) = delete;

    [[nodiscard]] int port() const;
    // Whether ::1 answers at port() too.
    [[nodiscard]] bool hasIPv6() const;
    // "http://127.0.0.1:<port>".
    [[nodiscard]] std::string origin() const;

    void answer(std::string prefix, RawAnswer answer);
    // The requests whose target starts with prefix, in order of arrival.
    [[nodiscard]] std::vector<RawRequest> log(const std::string& prefix) const;
    // "/run<N>", new to the process.
    [[nodiscard]] static std::string newRun();

    // "\xHH" for every byte outside printable ASCII.
    [[nodiscard]] static std::string printable(std::string_view bytes);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace testsupport
