#include "core/ChunkedReader.h"

#include <algorithm>

namespace core {

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
                ++lineBytes_;
                ++at;
                break;
            }
            if (digits_ == 0) return fail();
            step_ = (c == ';' || c == ' ' || c == '\t') ? Step::extension : Step::sizeEnd;
            break;
        }
        case Step::extension: {
            // Up to the line's end, within the line's bound.
            const size_t room = mostLineBytes_ - lineBytes_;
            const std::string_view rest = bytes.substr(at, room);
            const size_t end = rest.find_first_of("\r\n");
            const size_t taken = end == std::string_view::npos ? rest.size() : end;
            at += taken;
            lineBytes_ += taken;
            if (end != std::string_view::npos) {
                step_ = Step::sizeEnd;
            } else if (lineBytes_ >= mostLineBytes_) {
                return fail();
            }
            break;
        }
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
            lineBytes_ = 0;
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
            if (++trailerBytes_ > mostTrailerBytes_) return fail();
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

}  // namespace core
