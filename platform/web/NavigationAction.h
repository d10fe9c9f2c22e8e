#pragma once
// A navigation a web view asks its delegate about before the engine loads
// anything for it.

#include <optional>
#include <utility>

#include "core/URL.h"
#include "core/URLRequest.h"

namespace web {

// The numbers the SDK uses for navigation types.
enum class NavigationType {
    linkClicked = 0,
    formSubmitted = 1,
    backForward = 2,
    reload = 3,
    formResubmitted = 4,
    other = 5,
};

struct NavigationAction {
    explicit NavigationAction(core::URLRequest request) : request(std::move(request)) {}

    // URL, method and header fields as the engine sends them (User-Agent
    // included).
    core::URLRequest request;
    NavigationType type = NavigationType::other;
    // Whether the page's main frame navigates (a new window counts as a main
    // frame). nullopt when the engine does not tell: a navigation to a
    // scheme other than http(s) that the page starts itself is decided
    // before any frame has begun it.
    std::optional<bool> targetsMainFrame;
    // The page the navigation belongs to: the request's own URL for the
    // main frame, for a frame inside it the URL the page's document was
    // loaded from (not what history.pushState wrote since); nullopt when
    // the frame is unknown.
    std::optional<core::URL> mainDocumentURL;
    // window.open() or a link with a target of its own: no view opens, the
    // answer only tells whether the app took the URL.
    bool opensNewWindow = false;
    bool userGesture = false;
};

}  // namespace web
