#include "core/URLBodyStream.h"

#include <algorithm>
#include <cstring>

namespace core {

namespace {

// Read bytes are dropped from the buffer's front once they are this many
// and half of it.
constexpr size_t kCompactBytes = 256 * 1024;

}  // namespace

std::function<void()> URLBodyStream::wakeLocked() {
    if (!readerWaits_) return nullptr;
    readerWaits_ = false;
    return wake_;
}

void URLBodyStream::write(std::string_view bytes) {
    std::function<void()> wake;
    {
        const std::lock_guard lock(mutex_);
        if (state_ != State::open || bytes.empty()) return;
        if (length_ && written_ + std::int64_t(bytes.size()) > *length_) {
            state_ = State::broken;
        } else {
            buffer_.append(bytes);
            written_ += std::int64_t(bytes.size());
        }
        wake = wakeLocked();
    }
    if (wake) wake();
}

void URLBodyStream::finish() {
    end(true);
}

void URLBodyStream::breakOff() {
    end(false);
}

void URLBodyStream::end(bool whole) {
    std::function<void()> wake;
    {
        const std::lock_guard lock(mutex_);
        if (state_ != State::open) return;
        const bool shortOfLength = length_ && written_ != *length_;
        state_ = whole && !shortOfLength ? State::ended : State::broken;
        wake = wakeLocked();
    }
    if (wake) wake();
}

std::int64_t URLBodyStream::held() const {
    const std::lock_guard lock(mutex_);
    return std::int64_t(buffer_.size() - offset_);
}

std::int64_t URLBodyStream::taken() const {
    const std::lock_guard lock(mutex_);
    return taken_;
}

void URLBodyStream::whenHeldAtMost(std::int64_t bytes, std::function<void()> then) {
    {
        const std::lock_guard lock(mutex_);
        if (std::int64_t(buffer_.size() - offset_) > bytes) {
            drainedMark_ = bytes;
            whenDrained_ = std::move(then);
            return;
        }
        whenDrained_ = nullptr;
    }
    if (then) then();
}

Data URLBodyStream::firstBytes(size_t limit) const {
    const std::lock_guard lock(mutex_);
    if (taken_ > 0) return {};
    const size_t count = std::min(limit, buffer_.size());
    return Data(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(count));
}

bool URLBodyStream::claim(std::function<void()> wake) {
    const std::lock_guard lock(mutex_);
    if (claimed_) return false;
    claimed_ = true;
    wake_ = std::move(wake);
    return true;
}

URLBodyStream::Read URLBodyStream::read(std::uint8_t* buffer, size_t size) {
    std::function<void()> drained;
    Read read;
    {
        const std::lock_guard lock(mutex_);
        const size_t count = std::min(size, buffer_.size() - offset_);
        if (state_ == State::broken) {
            // What is left would go for nothing.
            read = {Status::broken, 0};
        } else if (count > 0) {
            std::memcpy(buffer, buffer_.data() + offset_, count);
            offset_ += count;
            taken_ += std::int64_t(count);
            if (offset_ == buffer_.size()) {
                buffer_.clear();
                offset_ = 0;
            } else if (offset_ >= kCompactBytes && offset_ * 2 >= buffer_.size()) {
                buffer_.erase(0, offset_);
                offset_ = 0;
            }
            if (whenDrained_ && std::int64_t(buffer_.size() - offset_) <= drainedMark_)
                drained = std::exchange(whenDrained_, nullptr);
            read = {Status::bytes, count};
        } else if (state_ == State::ended) {
            read = {Status::ended, 0};
        } else {
            readerWaits_ = true;
            read = {Status::waiting, 0};
        }
    }
    if (drained) drained();
    return read;
}

}  // namespace core
