#pragma once
// Whether the process has work under way that will reach the main run loop
// without a clock moving or a touch: HTTP exchanges on the network thread,
// jobs on the shared pool (decoding, disk work, serial queues), work held
// by a Token (another process's, such as a web page loading), and tasks or
// due timers waiting on the main run loop. Clock drivers and tests wait for
// it to end to decide that nothing more will happen. Any thread.

namespace core {

class PendingWork {
public:
    // Work under way elsewhere that will reach the main run loop, counted
    // for as long as a token holds it. Move-only; any thread.
    class Token {
    public:
        Token() = default;
        [[nodiscard]] static Token begin();
        Token(Token&& other) noexcept;
        Token& operator=(Token&& other) noexcept;
        Token(const Token&) = delete;
        Token& operator=(const Token&) = delete;
        ~Token();
        [[nodiscard]] bool holds() const { return held_; }

    private:
        bool held_ = false;
    };

    [[nodiscard]] static bool any();
    // Network exchanges, pool jobs or held tokens: the real work a clock step waits for.
    [[nodiscard]] static bool offMainThread();
};

}  // namespace core
