#pragma once
// What script of a page may read of an answer the app's URL layer fetched
// for it (a "UI"-kind page's routed loads): the engine's same-origin and
// CORS rules, taken from the request the engine made. The engine judges a
// routed load by its first URL only and never sees the redirects the app
// followed, and it does not check synchronous requests at all, so the app
// checks every hop itself:
//  - "navigate" and "no-cors" loads (documents of frames, images, scripts,
//    styles) are not read by script: anything goes;
//  - "same-origin" loads: every hop stays at the requesting origin;
//  - "cors" loads, and those the engine left unmarked (its synchronous
//    XMLHttpRequest): each hop at another origin than the requester's must
//    allow it with Access-Control-Allow-Origin ("*" or the origin; once a
//    redirect has gone from one foreign origin to another, "*" or "null").
// The requesting origin is the request's Origin header, else the request
// URL's own (the engine leaves Origin out when it deems a load same-origin).
// Content of "navigate" and "no-cors" loads that redirects brought from
// another origin than the one asked is what the engine would take for the
// asked origin's: such images and stylesheets are served in OpaqueContent's
// form (hidesOrigin).

#include <string>
#include <vector>

#include "core/HTTPURLResponse.h"
#include "core/URL.h"
#include "core/URLRequest.h"

namespace web {

// "scheme://host[:port]" in lower case, the default port left out; "null"
// for URLs without a host.
[[nodiscard]] std::string originOf(const core::URL& url);

struct ReadPolicy {
    enum class Mode { open, sameOrigin, cors };
    Mode mode = Mode::open;
    std::string origin;  // the requester's, serialized; may be "null"
    std::string asked;   // the origin of the URL asked for, serialized
    // Sec-Fetch-Dest in lower case; empty when the engine named none.
    std::string destination;

    [[nodiscard]] static ReadPolicy of(const core::URLRequest& request);
    // Whether the page may read final, reached through redirects (each the
    // response of the URL that redirected, in order).
    [[nodiscard]] bool allows(const std::vector<core::HTTPURLResponse>& redirects,
                              const core::HTTPURLResponse& final) const;
    // Whether script may not read what it is let through (Mode::open), yet
    // redirects brought it from another origin than the one asked.
    [[nodiscard]] bool hidesOrigin(const std::vector<core::HTTPURLResponse>& redirects,
                                   const core::HTTPURLResponse& final) const;
};

}  // namespace web
