#include "web/proxy/ProxyHead.h"

#include <libsoup/soup.h>

#include <algorithm>
#include <charconv>

#include "core/ASCII.h"
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

HeadParse parseRequestHead(std::string_view bytes) {
    HeadParse parse;
    size_t position = 0;
    // Blank lines before a request are ignored, a few of them.
    for (int blank = 0; blank < 8; ++blank) {
        if (bytes.substr(position).starts_with("\r\n")) {
            position += 2;
        } else if (bytes.substr(position).starts_with("\n")) {
            position += 1;
        } else {
            break;
        }
    }
    const size_t start = position;
    RequestHead head;
    bool requestLine = true;
    while (true) {
        const size_t end = bytes.find('\n', position);
        if (end == std::string_view::npos || end - start >= kMostHeadBytes) {
            if (bytes.size() - start >= kMostHeadBytes) parse.refusal = requestLine ? 414 : 431;
            return parse;
        }
        std::string_view line = bytes.substr(position, end - position);
        position = end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.find('\r') != std::string_view::npos || line.find('\0') != std::string_view::npos) {
            parse.refusal = 400;
            return parse;
        }
        if (requestLine) {
            requestLine = false;
            const size_t first = line.find(' ');
            const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
            if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos) {
                parse.refusal = 400;
                return parse;
            }
            head.method = std::string(line.substr(0, first));
            head.target = std::string(line.substr(first + 1, second - first - 1));
            head.version = std::string(line.substr(second + 1));
            if (!core::URLRequest::isToken(head.method) || head.target.empty() ||
                !std::all_of(head.target.begin(), head.target.end(), isTargetByte)) {
                parse.refusal = 400;
                return parse;
            }
            if (head.version != "HTTP/1.1" && head.version != "HTTP/1.0") {
                parse.refusal = head.version.starts_with("HTTP/") ? 505 : 400;
                return parse;
            }
            continue;
        }
        if (line.empty()) break;
        const size_t colon = line.find(':');
        if (line.front() == ' ' || line.front() == '\t' || colon == std::string_view::npos ||
            !core::URLRequest::isToken(line.substr(0, colon))) {
            parse.refusal = 400;
            return parse;
        }
        head.fields.add(std::string(line.substr(0, colon)),
                        std::string(trimmedSpace(line.substr(colon + 1))));
    }
    if (const unsigned refusal = settleFraming(head)) {
        parse.refusal = refusal;
        return parse;
    }
    const auto expectations = elementsOf(head.fields, "Expect");
    head.expectsContinue =
        std::find(expectations.begin(), expectations.end(), "100-continue") != expectations.end();
    parse.consumed = position;
    parse.head = std::move(head);
    return parse;
}

std::string answerHead(int status, const std::optional<std::string>& reason,
                       const core::HTTPHeaders& fields) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " ";
    if (reason) {
        // A reason phrase ends with its line: nothing in it may end one.
        for (const char c : *reason)
            if (c != '\r' && c != '\n' && c != '\0') head += c;
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

ChunkedReader::State ChunkedReader::feed(std::string_view bytes, std::string& out,
                                         size_t& consumed) {
    size_t at = 0;
    const auto fail = [&] {
        state_ = State::malformed;
        consumed = at;
        return state_;
    };
    while (at < bytes.size() && state_ == State::reading) {
        const char c = bytes[at];
        switch (step_) {
        case Step::size: {
            int digit = -1;
            if (c >= '0' && c <= '9') digit = c - '0';
            if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            if (digit >= 0) {
                if (++digits_ > 15) return fail();
                size_ = size_ * 16 + std::uint64_t(digit);
                ++at;
                break;
            }
            if (digits_ == 0) return fail();
            step_ = (c == ';' || c == ' ' || c == '\t') ? Step::extension : Step::sizeEnd;
            break;
        }
        case Step::extension:
            if (c == '\r' || c == '\n') {
                step_ = Step::sizeEnd;
            } else {
                ++at;
            }
            break;
        case Step::sizeEnd:
        case Step::dataEnd: {
            // A line's end: CRLF, or a bare LF.
            if (c == '\r' && !sawCR_) {
                sawCR_ = true;
                ++at;
                break;
            }
            if (c != '\n') return fail();
            ++at;
            sawCR_ = false;
            const bool sizeLine = step_ == Step::sizeEnd;
            digits_ = 0;
            step_ = !sizeLine ? Step::size : size_ == 0 ? Step::trailer : Step::data;
            break;
        }
        case Step::data: {
            const size_t take = size_t(std::min<std::uint64_t>(size_, bytes.size() - at));
            out.append(bytes.substr(at, take));
            at += take;
            size_ -= take;
            if (size_ == 0) step_ = Step::dataEnd;
            break;
        }
        case Step::trailer:
        case Step::trailerLine:
            ++at;
            if (c == '\n') {
                if (trailerEmpty_) {
                    state_ = State::ended;
                } else {
                    trailerEmpty_ = true;
                }
            } else if (c != '\r') {
                trailerEmpty_ = false;
            }
            break;
        }
    }
    consumed = at;
    return state_;
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
