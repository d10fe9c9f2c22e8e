#pragma once
// HTTP/1.1 message heads as the engine proxy reads and writes them, as
// bytes: a request head keeps its method, target and fields exactly as the
// client wrote them (nothing decoded, re-encoded or folded), and an answer's
// head is written from the status, the reason phrase and the fields as they
// are. Also the chunked framing of bodies, both ways. Plain functions and
// values, safe on any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/HTTPHeaders.h"

namespace web::proxy {

// How a message's body is delimited.
enum class Framing { none, length, chunked };

struct RequestHead {
    std::string method;
    // As written: "/path?query", "http://host/path", "host:443".
    std::string target;
    // "HTTP/1.1" or "HTTP/1.0".
    std::string version;
    core::HTTPHeaders fields;
    Framing framing = Framing::none;
    // The declared length, with Framing::length.
    std::int64_t length = 0;
    // The client asked for "100 Continue" before it sends its body.
    bool expectsContinue = false;
    // The connection may carry another request after this one.
    bool keepAlive = true;

    // Every value of name joined with ", "; nullopt when absent.
    [[nodiscard]] std::optional<std::string> field(std::string_view name) const {
        return fields.value(name);
    }
    [[nodiscard]] bool hasBody() const { return framing != Framing::none; }
};

// What parseRequestHead made of the bytes read so far.
struct HeadParse {
    // Set once a head is whole and sound.
    std::optional<RequestHead> head;
    // Bytes of the input the head took (blank lines before it included).
    size_t consumed = 0;
    // The status to refuse the head with (400, 414, 431, 501, 505); 0 while
    // it may still become a sound head.
    unsigned refusal = 0;
};

// The most bytes of a request head, its request line included.
inline constexpr size_t kMostHeadBytes = size_t(4) << 20;

// Reads one request head from the start of bytes. Lines end with CRLF or a
// bare LF; a CR anywhere else, a NUL, folded fields, a field name that is
// no token, conflicting lengths or a transfer coding other than chunked are
// refused, as is a head over kMostHeadBytes.
[[nodiscard]] HeadParse parseRequestHead(std::string_view bytes);

// "HTTP/1.1 <status> <reason>\r\n", the fields, and the blank line. The
// reason as given (a server's own, bytes and all), else the usual one.
[[nodiscard]] std::string answerHead(int status, const std::optional<std::string>& reason,
                                     const core::HTTPHeaders& fields);
// "Name: value\r\n" for each field, as they are.
void appendFields(std::string& head, const core::HTTPHeaders& fields);

// A chunked body, taken apart as its bytes come: feed() answers the data
// the bytes held, and tells when the body ended or could not be read.
// Trailers are read and dropped.
class ChunkedReader {
public:
    enum class State { reading, ended, malformed };

    // Appends the data of bytes to out; the bytes after the body's end are
    // left (consumed says how many were taken).
    State feed(std::string_view bytes, std::string& out, size_t& consumed);
    [[nodiscard]] State state() const { return state_; }

private:
    enum class Step { size, extension, sizeEnd, data, dataEnd, trailer, trailerLine };
    State state_ = State::reading;
    Step step_ = Step::size;
    std::uint64_t size_ = 0;
    int digits_ = 0;
    bool sawCR_ = false;
    bool trailerEmpty_ = true;
};

// The chunk that carries bytes ("<hex size>\r\n<bytes>\r\n"), and the last.
[[nodiscard]] std::string chunkOf(std::string_view bytes);
inline constexpr std::string_view kLastChunk = "0\r\n\r\n";

}  // namespace web::proxy
