#pragma once
// The app's listener on the loopback interface for the bodies of main-frame
// navigations that "UI"-kind views load themselves (a form's POST). The web
// process cannot read a request's body, and the engine, asked for the body
// of a request it hands the app, crashes on one that holds a file the page
// made; its network process sends any body whole. So the web process sends
// such a navigation here instead of holding it (see WebProcessProtocol.h),
// the handler gets the body, and the answer (204) ends the engine's
// navigation with the page's document kept. Made once per process, on
// first use; its URLs carry a random token. Bodies over kMostBodyBytes are
// refused (413), chunked ones too, without being held whole. Main thread
// (GLib's default context).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace web {

class NavigationBodyServer {
public:
    static constexpr size_t kMostBodyBytes = 64u << 20;

    struct Body {
        std::uint64_t pageId = 0;
        std::string method;
        core::Data data;
        std::optional<std::string> contentType;
    };
    using Handler = std::function<void(Body body)>;

    // The process's listener, started on first use; nullptr with a message
    // when it cannot listen.
    [[nodiscard]] static NavigationBodyServer* shared(std::string* error);

    // "http://127.0.0.1:<port>/<token>/": the web process adds
    // "<page id>/<count>".
    [[nodiscard]] const std::string& baseURL() const { return baseURL_; }
    [[nodiscard]] bool owns(std::string_view url) const { return url.starts_with(baseURL_); }
    void setHandler(Handler handler) { handler_ = std::move(handler); }

private:
    NavigationBodyServer() = default;

    std::string baseURL_;
    std::string path_;  // "/<token>/"
    Handler handler_;
};

}  // namespace web
