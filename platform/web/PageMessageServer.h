#pragma once
// The app's end of the message socket (see WebProcessProtocol.h, page
// messages): web processes send the long messages of the pages whose views
// take them (WebView::receivePageMessages) here, each under a serial, and
// the view takes each one when the page's navigation to its reference comes
// through the engine's policy step. A thread of its own reads the socket, so
// a message of megabytes never passes through the main thread on its way
// in; the main thread only takes the text.
//
// A page's messages are kept as their text, or, for a view that asks its
// delegate about them (Form::url), read as URLs on the server's thread, so
// that the main thread does not parse megabytes either.
//
// What waits for its reference is bounded per page (kMostWaitingMessages,
// kMostWaitingBytes): past that a message is refused, and its page
// navigates to it the ordinary way. A page's waiting messages go when its
// view stops taking them or its web process ends. Made once per process,
// in the decision socket's folder; thread-safe.

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "core/URL.h"
#include "web/WebProcessProtocol.h"

namespace web {

class PageMessageServer {
public:
    static constexpr size_t kMostWaitingMessages = 256;
    static constexpr size_t kMostWaitingBytes = size_t(96) << 20;
    // Web processes connected at once.
    static constexpr size_t kMostConnections = 64;

    // How a page's messages are kept.
    enum class Form {
        text,
        // Read as a URL when it comes in, as the engine wrote it
        // (core::URL::createFromWeb), as a navigation's is read.
        url,
    };

    struct Message {
        // Form::text: the URL's text.
        std::string url;
        // Form::url: the URL read; nullopt when the text is none.
        std::optional<core::URL> parsed;
        // The URL's length in bytes, whether or not it was sent.
        std::uint64_t length = 0;
        // Not sent: the length of a URL over protocol::kMostMessageBytes, or
        // over the view's own bound.
        std::uint64_t omittedBytes = 0;
    };

    // The process's server, started on first use; nullptr with a message
    // when its socket cannot be made.
    [[nodiscard]] static PageMessageServer* shared(std::string* error);

    [[nodiscard]] const std::string& socketPath() const { return socketPath_; }

    // Whether the page's messages are kept, and how; off drops those
    // waiting.
    void setReceiving(std::uint64_t pageId, bool receiving, Form form = Form::text);
    // Drops the page's waiting messages (its web process ended).
    void dropWaiting(std::uint64_t pageId);
    // The message kept under serial for the page, taken out; nullopt when
    // none is.
    [[nodiscard]] std::optional<Message> take(std::uint64_t pageId, std::uint64_t serial);
    [[nodiscard]] size_t waitingCount(std::uint64_t pageId);

    // What the server answers to a message that came in whole (taking the
    // URL when it keeps it).
    [[nodiscard]] protocol::Decision offer(const protocol::MessageHeader& header, std::string url);

private:
    PageMessageServer() = default;
    class Connection;
    void serve();

    struct Waiting {
        std::map<std::uint64_t, Message> messages;
        size_t bytes = 0;
    };

    std::string socketPath_;
    int listener_ = -1;
    std::mutex mutex_;
    std::map<std::uint64_t, Form> receiving_;
    std::unordered_map<std::uint64_t, Waiting> waiting_;
};

}  // namespace web
