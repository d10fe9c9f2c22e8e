#pragma once
// Callbacks registered per key path ("rate", "currentItem.duration"...)
// that the player and its items call after the value changed. A callback
// may add and remove observers; one removed during a notification is not
// called after its removal.
//
// Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace media {

class ChangeObservers {
public:
    using Callback = std::function<void(const std::string& keyPath)>;

    struct Token {
        std::uint64_t id = 0;
        explicit operator bool() const { return id != 0; }
        friend bool operator==(const Token&, const Token&) = default;
    };

    Token add(std::string keyPath, Callback callback);
    void remove(Token token);
    void notify(const std::string& keyPath);
    [[nodiscard]] bool isObserved(const std::string& keyPath) const;

private:
    struct Entry {
        std::uint64_t id = 0;
        std::string keyPath;
        Callback callback;
        bool removed = false;
    };

    std::vector<std::shared_ptr<Entry>> entries_;
    std::uint64_t nextId_ = 1;
};

}  // namespace media
