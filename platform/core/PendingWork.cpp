#include "core/PendingWork.h"

#include "core/NetworkThread.h"
#include "core/RunLoop.h"
#include "core/ThreadPool.h"

#include <atomic>
#include <utility>

namespace core {

namespace {
std::atomic<long> heldTokens{0};
}  // namespace

PendingWork::Token PendingWork::Token::begin() {
    heldTokens.fetch_add(1);
    Token token;
    token.held_ = true;
    return token;
}

PendingWork::Token::Token(Token&& other) noexcept : held_(std::exchange(other.held_, false)) {}

PendingWork::Token& PendingWork::Token::operator=(Token&& other) noexcept {
    if (this != &other) {
        if (held_) heldTokens.fetch_sub(1);
        held_ = std::exchange(other.held_, false);
    }
    return *this;
}

PendingWork::Token::~Token() {
    if (held_) heldTokens.fetch_sub(1);
}

bool PendingWork::offMainThread() {
    return heldTokens.load() > 0 || NetworkThread::shared().exchangeCount() > 0 ||
           ThreadPool::shared().pendingJobCount() > 0;
}

bool PendingWork::any() {
    if (offMainThread()) return true;
    const auto work = RunLoop::main().secondsUntilWork();
    return work && *work <= 0;
}

}  // namespace core
