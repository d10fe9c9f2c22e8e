#pragma once
// A chunked HTTP body taken apart as its bytes come: feed() answers the
// data the bytes held, and tells when the body ended or could not be read.
// Lines end with CRLF or a bare LF; extensions and trailers are read and
// dropped. A size line longer than mostLineBytes (extensions and all), or
// trailers longer than mostTrailerBytes, make the body malformed. A value
// type with no shared state.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace core {

class ChunkedReader {
public:
    enum class State { reading, ended, malformed };

    ChunkedReader(size_t mostLineBytes, size_t mostTrailerBytes)
        : mostLineBytes_(mostLineBytes), mostTrailerBytes_(mostTrailerBytes) {}

    // Appends the data of bytes to out; the bytes after the body's end are
    // left (consumed says how many were taken).
    State feed(std::string_view bytes, std::string& out, size_t& consumed);
    [[nodiscard]] State state() const { return state_; }
    // The last chunk's size line came: all of the data did, and what is
    // left is trailers and the line that ends them.
    [[nodiscard]] bool lastChunkCame() const {
        return state_ == State::ended || (state_ == State::reading && step_ == Step::trailer);
    }

private:
    enum class Step { size, extension, sizeEnd, data, dataEnd, trailer };
    size_t mostLineBytes_;
    size_t mostTrailerBytes_;
    State state_ = State::reading;
    Step step_ = Step::size;
    std::uint64_t size_ = 0;
    int digits_ = 0;
    bool sawCR_ = false;
    bool trailerEmpty_ = true;
    size_t lineBytes_ = 0;
    size_t trailerBytes_ = 0;
};

}  // namespace core
