#include "core/URLBodyStream.h"

#include <algorithm>
#include <cstring>

namespace core {

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
            pieces_.emplace_back(bytes);
            held_ += std::int64_t(bytes.size());
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
    return held_;
}

std::int64_t URLBodyStream::taken() const {
    const std::lock_guard lock(mutex_);
    return taken_;
}

void URLBodyStream::whenHeldAtMost(std::int64_t bytes, std::function<void()> then) {
    {
        const std::lock_guard lock(mutex_);
        if (held_ > bytes) {
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
    Data first;
    if (taken_ > 0) return first;
    for (const std::string& piece : pieces_) {
        const size_t count = std::min(limit - first.size(), piece.size());
        first.insert(first.end(), piece.begin(), piece.begin() + std::ptrdiff_t(count));
        if (first.size() == limit) break;
    }
    return first;
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
        size_t count = 0;
        while (count < size && !pieces_.empty() && state_ != State::broken) {
            const std::string& piece = pieces_.front();
            const size_t taking = std::min(size - count, piece.size() - offset_);
            std::memcpy(buffer + count, piece.data() + offset_, taking);
            count += taking;
            offset_ += taking;
            if (offset_ == piece.size()) {
                pieces_.pop_front();
                offset_ = 0;
            }
        }
        if (state_ == State::broken) {
            // What is left would go for nothing.
            read = {Status::broken, 0};
        } else if (count > 0) {
            held_ -= std::int64_t(count);
            taken_ += std::int64_t(count);
            if (whenDrained_ && held_ <= drainedMark_)
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
