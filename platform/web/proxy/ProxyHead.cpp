#include "web/proxy/ProxyHead.h"

#include <libsoup/soup.h>

#include <algorithm>
#include <charconv>
#include <cstring>

#include "core/ASCII.h"
#include "core/HTTPResponseHead.h"
#include "core/URLRequest.h"

namespace web::proxy {

namespace {

std::string_view trimmedSpace(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The comma-separated elements of a field's values, trimmed, lower case.
std::vector<std::string> elementsOf(const core::HTTPHeaders& fields, std::string_view name) {
    std::vector<std::string> elements;
    for (const std::string& value : fields.values(name)) {
        std::string_view rest = value;
        while (true) {
            const size_t comma = rest.find(',');
            const std::string_view element = trimmedSpace(rest.substr(0, comma));
            if (!element.empty()) elements.push_back(core::asciiLowercased(element));
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    return elements;
}

bool isTargetByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && byte != 0x7F;
}

// The framing, declared length and persistence of a sound head; a refusal
// status otherwise.
unsigned settleFraming(RequestHead& head) {
    const auto codings = elementsOf(head.fields, "Transfer-Encoding");
    const auto lengths = elementsOf(head.fields, "Content-Length");
    const auto connection = elementsOf(head.fields, "Connection");
    const bool close = std::find(connection.begin(), connection.end(), "close") != connection.end();
    const bool keepAlive =
        std::find(connection.begin(), connection.end(), "keep-alive") != connection.end();
    head.keepAlive = head.version == "HTTP/1.1" ? !close : keepAlive && !close;
    if (head.fields.contains("Transfer-Encoding")) {
        if (head.version != "HTTP/1.1") return 400;
        if (codings != std::vector<std::string>{"chunked"}) return 501;
        head.framing = Framing::chunked;
        // A length beside a coding is a sign of smuggling: this request is
        // the connection's last.
        if (!lengths.empty()) head.keepAlive = false;
        return 0;
    }
    if (head.fields.contains("Content-Length")) {
        if (lengths.empty()) return 400;
        for (const std::string& length : lengths) {
            if (length != lengths.front()) return 400;
        }
        const std::string& text = lengths.front();
        std::int64_t length = -1;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
        if (error != std::errc() || end != text.data() + text.size() || length < 0 ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return 400;
        head.length = length;
        head.framing = length > 0 ? Framing::length : Framing::none;
    }
    return 0;
}

}  // namespace

HeadLines::Next HeadLines::next(std::string_view bytes, std::string_view& line) {
    while (true) {
        const size_t limit = std::min(bytes.size(), start_ + mostBytes_);
        const void* found = scanned_ < limit
                                ? std::memchr(bytes.data() + scanned_, '\n', limit - scanned_)
                                : nullptr;
        if (!found) {
            scanned_ = std::max(scanned_, limit);
            return scanned_ - start_ >= mostBytes_ ? Next::tooLong : Next::more;
        }
        const size_t end = size_t(static_cast<const char*>(found) - bytes.data());
        line = bytes.substr(lineStart_, end - lineStart_);
        lineStart_ = scanned_ = end + 1;
        if (!started_ && blankLines_ < 8 && (line.empty() || line == "\r")) {
            ++blankLines_;
            start_ = lineStart_;
            continue;
        }
        started_ = true;
        return Next::line;
    }
}

namespace {

// A line of a head without its line end; false when a CR or a NUL is left
// in it.
bool trimLineEnd(std::string_view& line) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    return line.find('\r') == std::string_view::npos && line.find('\0') == std::string_view::npos;
}

// Adds "Name: value" to fields: 0, or the status to refuse the head with
// (a folded line, a name that is no token, more than kMostHeadFields).
unsigned addField(std::string_view line, core::HTTPHeaders& fields, size_t& count) {
    const size_t colon = line.find(':');
    if (line.front() == ' ' || line.front() == '\t' || colon == std::string_view::npos ||
        !core::URLRequest::isToken(line.substr(0, colon)))
        return 400;
    if (++count > kMostHeadFields) return 431;
    fields.add(std::string(line.substr(0, colon)),
               std::string(trimmedSpace(line.substr(colon + 1))));
    return 0;
}

}  // namespace

HeadParse HeadReader::refuse(unsigned status) {
    done_ = true;
    HeadParse parse;
    parse.refusal = status;
    return parse;
}

HeadParse HeadReader::read(std::string_view bytes) {
    if (done_) return refuse(400);
    std::string_view line;
    while (true) {
        const auto next = lines_.next(bytes, line);
        if (next == HeadLines::Next::more) return {};
        if (next == HeadLines::Next::tooLong) return refuse(head_.method.empty() ? 414 : 431);
        if (!trimLineEnd(line)) return refuse(400);
        if (head_.method.empty()) {
            if (const unsigned refusal = takeRequestLine(line)) return refuse(refusal);
            continue;
        }
        if (line.empty()) break;
        if (const unsigned refusal = addField(line, head_.fields, fields_)) return refuse(refusal);
    }
    if (const unsigned refusal = settleFraming(head_)) return refuse(refusal);
    const auto expectations = elementsOf(head_.fields, "Expect");
    head_.expectsContinue =
        std::find(expectations.begin(), expectations.end(), "100-continue") != expectations.end();
    done_ = true;
    HeadParse parse;
    parse.consumed = lines_.consumed();
    parse.head = std::move(head_);
    return parse;
}

unsigned HeadReader::takeRequestLine(std::string_view line) {
    const size_t first = line.find(' ');
    const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos)
        return 400;
    const std::string_view method = line.substr(0, first);
    const std::string_view target = line.substr(first + 1, second - first - 1);
    const std::string_view version = line.substr(second + 1);
    if (!core::URLRequest::isToken(method) || target.empty() ||
        !std::all_of(target.begin(), target.end(), isTargetByte))
        return 400;
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return version.starts_with("HTTP/") ? 505 : 400;
    head_.method = std::string(method);
    head_.target = std::string(target);
    head_.version = std::string(version);
    return 0;
}

HeadParse parseRequestHead(std::string_view bytes) {
    return HeadReader().read(bytes);
}

AnswerParse AnswerHeadReader::read(std::string_view bytes) {
    AnswerParse parse;
    if (done_) {
        parse.malformed = true;
        return parse;
    }
    std::string_view line;
    while (true) {
        const auto next = lines_.next(bytes, line);
        if (next == HeadLines::Next::more) return parse;
        parse.malformed = next == HeadLines::Next::tooLong || !trimLineEnd(line);
        if (parse.malformed) break;
        if (head_.status == 0) {
            // "HTTP/1.1 200 OK", read as the URL layer reads an origin's.
            const auto status = core::HTTPResponseHead::parseStatusLine(line);
            parse.malformed = !status || status->status < 100 || !line.starts_with("HTTP/1.");
            if (parse.malformed) break;
            head_.version = std::string(line.substr(0, line.find_first_of(" \t")));
            head_.status = status->status;
            head_.reason = status->reasonPhrase.value_or("");
            continue;
        }
        if (line.empty()) {
            done_ = true;
            parse.consumed = lines_.consumed();
            parse.head = std::move(head_);
            return parse;
        }
        parse.malformed = addField(line, head_.fields, fields_) != 0;
        if (parse.malformed) break;
    }
    done_ = true;
    return parse;
}

std::string answerHead(int status, const std::optional<std::string>& reason,
                       const core::HTTPHeaders& fields, std::string_view version) {
    std::string head = std::string(version) + " " + std::to_string(status) + " ";
    if (reason) {
        // A reason phrase ends with its line: nothing in it may end one (a
        // CR before the line's end would), and it holds no NUL.
        for (size_t i = 0; i < reason->size(); ++i) {
            const char c = (*reason)[i];
            if (c != '\n' && c != '\0' && (c != '\r' || i + 1 < reason->size())) head += c;
        }
    } else {
        head += soup_status_get_phrase(guint(status));
    }
    head += "\r\n";
    appendFields(head, fields);
    head += "\r\n";
    return head;
}

void appendFields(std::string& head, const core::HTTPHeaders& fields) {
    for (const auto& [name, value] : fields) {
        head += name;
        head += ": ";
        head += value;
        head += "\r\n";
    }
}

std::string chunkOf(std::string_view bytes) {
    char size[20];
    const auto [end, error] = std::to_chars(size, size + sizeof size, bytes.size(), 16);
    (void)error;
    std::string chunk(size, end);
    chunk += "\r\n";
    chunk += bytes;
    chunk += "\r\n";
    return chunk;
}

}  // namespace web::proxy
