#pragma once
// What the app's process and the web process extension (platform/webextension)
// agree on. Header only, plain C++ and GLib types: both sides include it.
//
// - Initialization data, an a{sv}: kSocketKey (s) the path of the socket on
//   which navigations are decided; kMemoryLimitKey (u), when present, the
//   most memory in MiB the web process may hold (see kMemoryNotice);
//   kPageKeyKey (s), when present, the key that seals kPageHeader: the
//   context's pages load through the app's proxy, and every request they
//   send is marked with its page; kAppMountNamespaceKey (s), the app's
//   mount namespace (mountNamespace()): a web process in the same one runs
//   outside the engine's sandbox, and ends before it loads any page.
// - kExpectMessage, app to page, parameter (s) a URL: a navigation of the
//   page to that URL was let through the engine's policy step undecided; its
//   request is decided over the socket when the page sends it.
// - kMainFrameMessage, app to page, parameter (s) a URL: a load the app made
//   of the page's main frame (a load, a reload or a history step of the
//   view's own) to that URL was let through the engine's policy step; the
//   page's next request for it is that navigation's.
// - kSentMessage, page to app, parameter (s) a URL: the page's main frame
//   sent its request for that URL (a navigation or a redirect hop of one).
// - A decision query, extension to app: a native-endian uint32 length, then
//   a serialized GVariant of kQueryType: page id, whether the page's main
//   frame sends it, whether it follows a redirect, method, URL, header
//   fields. The answer is one byte (Decision). A refused navigation is held
//   (kHeldScheme).
// - Page messages, on a socket of their own: see kMessageWorld below.
// - A memory notice, extension to app, on a connection of its own: a
//   decision query whose method is kMemoryNotice (URL and fields empty),
//   one for each page of a web process whose resident size went over its
//   limit. The process ends once the app has answered (allow), and the app
//   tells the pages' views that it ended for its memory.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace web::protocol {

inline constexpr const char* kSocketKey = "socket";
inline constexpr const char* kExpectMessage = "vantor.expect";
inline constexpr const char* kSentMessage = "vantor.sent";
// Extension -> view, once, as the web process makes the view's page: the
// process has started and holds the page.
inline constexpr const char* kPageMessage = "vantor.page";
inline constexpr const char* kMainFrameMessage = "vantor.main-frame";
inline constexpr const char* kMemoryLimitKey = "memory-limit";
inline constexpr const char* kAppMountNamespaceKey = "app-mount-namespace";
inline constexpr const char* kMemoryNotice = "vantor-memory";
inline constexpr const char* kQueryType = "(tbbssa(ss))";
inline constexpr std::uint32_t kMaxQueryBytes = 1 << 20;
// Seconds the web process waits for an answer before it refuses.
inline constexpr int kAnswerTimeoutMs = 10'000;

enum class Decision : char {
    allow = 'A',
    refuse = 'R',
};

// A held request: failing it keeps the frame's document, where cancelling it
// in the web process would commit an empty one.
inline constexpr const char* kHeldScheme = "vantor-held";

// Pages of the proxied context (the "UI" kind: its engine loads through
// the app's proxy, EngineProxy) mark every request they send with
// kPageHeader: their page id and the URL of the main document it belongs to
// (the document the page loaded, after redirects, whatever history.pushState
// wrote since; a main-frame navigation names its own URL), sealed under the
// run's key (web/PageMark.h), which the extension gets as kPageKeyKey in the
// initialization data. The extension replaces any such field; its name is
// one the Fetch rules keep script from setting. The proxy opens the mark and
// takes every such field off before the request goes on. The URL is left
// out when it is longer than kMostPageHeaderURLBytes.
inline constexpr const char* kPageHeader = "Sec-Vantor-Page";
inline constexpr const char* kPageKeyKey = "page-key";
inline constexpr size_t kMostPageHeaderURLBytes = 8192;
// The request property (core::URLRequest::property) under which the proxy
// keeps the page id of a request whose mark it opened.
inline constexpr const char* kPageIdProperty = "vantor.web.page-id";

struct PageMark {
    std::uint64_t pageId = 0;
    // Empty when the page's URL was left out.
    std::string mainDocumentURL;
};

// Why the app's proxy could not carry out a load (EngineProxy::takeFailure):
// core::NetworkError's platformCode() and message.
struct ProxyError {
    long code = 0;
    std::string message;
};

[[nodiscard]] inline std::string_view schemeOf(std::string_view url) {
    const size_t colon = url.find(':');
    return colon == std::string_view::npos ? std::string_view() : url.substr(0, colon);
}

// Page messages (WebView::receivePageMessages and
// receivePageMessagesThroughDelegate): a view that takes a scheme's
// navigations as the page's messages adds a user script in kMessageWorld, at
// document start in the main frame, that calls
// kMessageConfigureFunction(scheme, threshold, most). The extension defines
// that function in that world (where the page cannot reach it) and, when it
// is called, hooks the page's frame sources in the page's own world: a frame
// given a URL of the scheme longer than threshold bytes (HTMLIFrameElement's
// src, setAttribute("src")) has the URL sent to the app over the message
// socket (kMessageSocketName, beside the decision socket) and navigates to
// messageReference(serial) instead, so that only a short URL goes through the
// engine's policy step, in its place among the page's other navigations.
// On that socket, extension to app: a MessageHeader, then its length bytes
// of the URL unless kMessageOmitted is set (a URL over kMostMessageBytes, or
// over most, the view's own bound, when that is not 0: the app tells that it
// was refused when its reference comes). The app answers one byte:
// Decision::allow when it keeps the URL for its reference, Decision::refuse
// when it does not (the frame is then given the URL itself).
inline constexpr const char* kMessageWorld = "vantor-page-messages";
inline constexpr const char* kMessageConfigureFunction = "vantorPageMessages";
inline constexpr const char* kMessageSocketName = "messages";
inline constexpr const char* kMessageReferenceScheme = "vantor-message";
// Messages at most this long go through the policy step as they are.
inline constexpr size_t kMessageThresholdBytes = 64 * 1024;
inline constexpr std::uint64_t kMostMessageBytes = std::uint64_t(64) << 20;
inline constexpr std::uint32_t kMessageOmitted = 1;

struct MessageHeader {
    std::uint64_t pageId = 0;
    std::uint64_t serial = 0;
    std::uint64_t length = 0;
    std::uint32_t flags = 0;
    std::uint32_t reserved = 0;
};

// The message socket's path, beside the decision socket's.
[[nodiscard]] inline std::string messageSocketPath(std::string_view decisionSocketPath) {
    const size_t slash = decisionSocketPath.rfind('/');
    std::string path(slash == std::string_view::npos ? std::string_view()
                                                     : decisionSocketPath.substr(0, slash + 1));
    return path + kMessageSocketName;
}

[[nodiscard]] inline std::string messageReference(std::uint64_t serial) {
    return std::string(kMessageReferenceScheme) + ":" + std::to_string(serial);
}

// The serial a reference names; nullopt for any other text.
[[nodiscard]] inline std::optional<std::uint64_t> parseMessageReference(std::string_view url) {
    const std::string_view scheme(kMessageReferenceScheme);
    if (url.size() <= scheme.size() + 1 || url.substr(0, scheme.size()) != scheme ||
        url[scheme.size()] != ':')
        return std::nullopt;
    url.remove_prefix(scheme.size() + 1);
    if (url.size() > 20) return std::nullopt;
    std::uint64_t serial = 0;
    for (const char c : url) {
        if (c < '0' || c > '9') return std::nullopt;
        const std::uint64_t digit = std::uint64_t(c - '0');
        if (serial > (UINT64_MAX - digit) / 10) return std::nullopt;
        serial = serial * 10 + digit;
    }
    return serial;
}

// The mount namespace of this process as the kernel names it
// ("mnt:[4026531840]"); empty when it cannot be read.
[[nodiscard]] inline std::string mountNamespace() {
    char name[64];
    const ssize_t length = readlink("/proc/self/ns/mnt", name, sizeof name);
    return length > 0 ? std::string(name, size_t(length)) : std::string();
}

}  // namespace web::protocol
