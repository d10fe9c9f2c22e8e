#pragma once
// A request body its sender has only as it comes, sent onward as it goes
// (URLRequest::setBodyStream): bytes pass from the writer to the one reader
// (the network thread) through the pieces written and not yet read, which
// hold no more room than their bytes. The stream sets no bound of its own: the writer keeps to one
// by held() and whenHeldAtMost(), and takes nothing more from its own source meanwhile, so that a
// slow server holds the source back. A reader that finds nothing waits (the network thread pauses
// the upload) until the writer's next bytes or end wake it.
//
// A stream is read once. A load that would send it a second time (another
// attempt, a redirect that keeps the body) fails instead, with
// NetworkError::Code::requestBodyStreamExhausted.
//
// Safe from any thread; callbacks run without the stream's lock held.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace core {

class URLBodyStream {
public:
    // length: the body's bytes when known beforehand (sent as its
    // Content-Length); nullopt: it is sent in chunks until its end.
    explicit URLBodyStream(std::optional<std::int64_t> length) : length_(length) {}
    URLBodyStream(const URLBodyStream&) = delete;
    URLBodyStream& operator=(const URLBodyStream&) = delete;

    [[nodiscard]] const std::optional<std::int64_t>& length() const { return length_; }

    // The writer's side.

    // Appends bytes; nothing once the body has ended or broken off. Bytes
    // past a known length break the body off.
    void write(std::string_view bytes);
    // The body is whole; one that falls short of its length breaks off.
    void finish();
    // The body will not come whole: the load that sends it fails.
    void breakOff();
    // Bytes written and not yet read.
    [[nodiscard]] std::int64_t held() const;
    // Bytes the reader has taken.
    [[nodiscard]] std::int64_t taken() const;
    // Calls then once held() is at most bytes: at once, on this thread,
    // when it is already; else on the reader's thread, from the read that
    // brings it there. A later call replaces an earlier one not yet made.
    void whenHeldAtMost(std::int64_t bytes, std::function<void()> then);

    // For those who look at a request before it goes (a URL protocol's
    // record of it): its first bytes, up to limit, while none has been
    // read; empty after.
    [[nodiscard]] Data firstBytes(size_t limit) const;

    // The reader's side.

    // Takes the reader's place; wake is called (on the writer's thread)
    // when bytes or the end come after a read that found none. False when
    // another reader had the stream before.
    [[nodiscard]] bool claim(std::function<void()> wake);

    enum class Status { bytes, waiting, ended, broken };
    struct Read {
        Status status = Status::waiting;
        size_t count = 0;
    };
    // Copies up to size bytes into buffer.
    Read read(std::uint8_t* buffer, size_t size);

private:
    enum class State { open, ended, broken };
    // Runs the reader's wake if it waits for what just came; under the lock.
    [[nodiscard]] std::function<void()> wakeLocked();
    // Ends the body: whole (as long as declared) or broken off.
    void end(bool whole);

    const std::optional<std::int64_t> length_;
    mutable std::mutex mutex_;
    // What was written and not yet read, as it was written: each piece lets
    // go of its room once read, and none grows past what it holds.
    std::deque<std::string> pieces_;
    size_t offset_ = 0;  // bytes of the first piece read
    std::int64_t held_ = 0;
    std::int64_t written_ = 0;
    std::int64_t taken_ = 0;
    State state_ = State::open;
    bool claimed_ = false;
    bool readerWaits_ = false;
    std::function<void()> wake_;
    std::int64_t drainedMark_ = 0;
    std::function<void()> whenDrained_;
};

}  // namespace core
