#pragma once
// HTTP/1.1 message heads as the engine proxy reads and writes them, as
// bytes: a request head keeps its method, target and fields exactly as the
// client wrote them (nothing decoded, re-encoded or folded), and an answer's
// head is written from the status, the reason phrase and the fields as they
// are. Heads are read as their bytes come, no byte again on a later read,
// within the bounds of ProxyGuards.h. Also the chunked framing of bodies,
// both ways. Plain functions and values; a reader belongs to one thread at
// a time.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChunkedReader.h"
#include "core/HTTPHeaders.h"
#include "web/proxy/ProxyGuards.h"

namespace web::proxy {

// How a message's body is delimited: not at all (there is none), by its
// length, in chunks, or (an answer's only) by the end of its connection.
enum class Framing { none, length, chunked, close };

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

// What a HeadReader made of the bytes read so far.
struct HeadParse {
    // Set once a head is whole and sound.
    std::optional<RequestHead> head;
    // Bytes of the input the head took (blank lines before it included).
    size_t consumed = 0;
    // The status to refuse the head with (400, 414, 431, 501, 505); 0 while
    // it may still become a sound head.
    unsigned refusal = 0;
};

// The lines of a message head as its bytes come: a read looks only at the
// bytes that came since the one before, and a line is handed out (and taken
// apart) once, when its end is there, so a head costs time in proportion to
// its bytes however its reads cut it. Lines end with LF (the CR before it
// is the line's to drop); up to 8 blank lines before the head are skipped.
class HeadLines {
public:
    enum class Next { line, more, tooLong };

    explicit HeadLines(size_t mostBytes) : mostBytes_(mostBytes) {}
    // bytes: the head's bytes from its start, as buffered so far (what the
    // last call was given, and more after it). Next::line with the next
    // line, without its LF; Next::more until its end comes; Next::tooLong
    // once the head would pass mostBytes.
    Next next(std::string_view bytes, std::string_view& line);
    // Bytes taken so far, through the last line handed out.
    [[nodiscard]] size_t consumed() const { return lineStart_; }
    // No line of the head itself was handed out yet.
    [[nodiscard]] bool atFirstLine() const { return !started_; }

private:
    size_t mostBytes_;
    size_t start_ = 0;      // the head's first byte, after blank lines
    size_t lineStart_ = 0;  // the line being read
    size_t scanned_ = 0;    // bytes looked at
    int blankLines_ = 0;
    bool started_ = false;
};

// Reads one request head as its bytes come, keeping what it read across
// reads (see HeadLines). A CR anywhere but before a line's LF, a NUL,
// folded fields, a field name that is no token, conflicting lengths or a
// transfer coding other than chunked are refused, as is a head over
// kMostHeadBytes or kMostHeadFields.
class HeadReader {
public:
    // bytes: as for HeadLines::next. Once it answers a head or a refusal,
    // the reader is done; another head needs another reader.
    HeadParse read(std::string_view bytes);

private:
    [[nodiscard]] unsigned takeRequestLine(std::string_view line);
    [[nodiscard]] unsigned takeFieldLine(std::string_view line);
    [[nodiscard]] HeadParse refuse(unsigned status);

    HeadLines lines_{kMostHeadBytes};
    RequestHead head_;
    size_t fields_ = 0;
    bool done_ = false;
};

// One request head from the start of bytes, read at once.
[[nodiscard]] HeadParse parseRequestHead(std::string_view bytes);

// The head of an origin's answer, as the proxy reads it itself (a
// WebSocket's origin): its status line and its fields as bytes.
struct AnswerHead {
    std::string version;  // "HTTP/1.1"
    int status = 0;
    // As written after the status code, bytes and all; empty without one.
    std::string reason;
    core::HTTPHeaders fields;
};
struct AnswerParse {
    std::optional<AnswerHead> head;
    size_t consumed = 0;
    // It is no HTTP/1 answer head, or is over kMostOriginHeadBytes.
    bool malformed = false;
};
// Reads an answer's head as its bytes come, as HeadReader does a request's:
// "HTTP/1.x", spaces, a three-digit status and the reason, then fields
// under the same rules.
class AnswerHeadReader {
public:
    AnswerParse read(std::string_view bytes);

private:
    HeadLines lines_{kMostOriginHeadBytes};
    AnswerHead head_;
    size_t fields_ = 0;
    bool done_ = false;
};

// "<version> <status> <reason>\r\n", the fields, and the blank line. The
// reason as given (a server's own, bytes and all), else the usual one.
[[nodiscard]] std::string answerHead(int status, const std::optional<std::string>& reason,
                                     const core::HTTPHeaders& fields,
                                     std::string_view version = "HTTP/1.1");
// "Name: value\r\n" for each field, as they are.
void appendFields(std::string& head, const core::HTTPHeaders& fields);

// A chunked body of a request, read within the proxy's bounds: a size line
// longer than kMostChunkLineBytes (extensions and all), or trailers longer
// than kMostTrailerBytes, make the body malformed (see core::ChunkedReader).
class ChunkedReader : public core::ChunkedReader {
public:
    ChunkedReader() : core::ChunkedReader(kMostChunkLineBytes, kMostTrailerBytes) {}
};

// The chunk that carries bytes ("<hex size>\r\n<bytes>\r\n"), and the last.
[[nodiscard]] std::string chunkOf(std::string_view bytes);
inline constexpr std::string_view kLastChunk = "0\r\n\r\n";

}  // namespace web::proxy
