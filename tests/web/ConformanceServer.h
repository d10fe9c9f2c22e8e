#pragma once
// The server of the web conformance suite: two ports on 127.0.0.1, on
// libsoup's server on a thread of its own, that log every request with the
// header fields a page's loads are judged by. Three origins: A and B are
// the two ports (one site: cookies know no ports), C is B's port under the
// name "localhost" (another site).
//
// Every run of a page gets a folder of its own ("/run<N>", see newRun), so
// that cookies (scoped to the folder's path), storage keys and the log of
// one run never meet another's. Below a run's folder, on either origin:
//
//  - pages registered with page(): HTML, after a script of helpers the
//    pages share (kPageHelpers in the .cpp), with %A%, %B%, %C% (an origin
//    and the run's folder), %OA%, %OB%, %OC% (the bare origins) and %RUN%
//    replaced (the helpers name them A, B, C, OA, OB, OC and RUN);
//  - /to/<X>/<path> and /to307/<X>/<path>: a 302 or 307 to <path> below the
//    run's folder on origin X, the query kept;
//  - .../echo asked for with a WebSocket handshake: a WebSocket that sends
//    back every message;
//  - anything else: an answer the query describes:
//      type=text (the default) or css, with body=<text> ("text" without);
//      type=js, with body=<text>, or script=throw (throws Error "boom" on
//      line 2) or script=mark (counts in window.scriptRan);
//      type=png, w= and h= pixels;
//      type=sink: what arrived, "<method> <content type> <body>"; with
//      reply=post as an HTML page that posts {sink: that} to its parent;
//      type=events: an EventSource stream (id=<name>) that sends its first
//      event at once, then one more for each request with
//      type=next&id=<name>, and never ends;
//      type=bytes: size=<n> bytes of a repeating pattern, made as they go
//      out and no faster than the client takes them, framed by
//      framing=length (the default), chunked or close (the end of the
//      connection);
//      type=ticks: an EventSource stream that sends an event every
//      every=<ms>, count=<n> of them, and stays open;
//      type=bigpng: a PNG of 2000 x 4000 pixels, stored uncompressed (24 MB);
//      over=<ms> (bytes and pages): the body goes out in pieces a second
//      apart, spread over that time; cut=<n> (bytes): the connection is
//      reset once n bytes of the body are out;
//      pad=<n> (pages): %PADDING% in the page becomes n bytes of filler;
//      cookie=<Set-Cookie value>: repeatable, the run's folder as Path
//      unless it names one;
//      cors=star|echo: the allow header as "*" or as the request's Origin;
//      cred=1: credentials allowed; methods=, headers=: what a preflight
//      allows.
//    OPTIONS anywhere answers 204 with the query's CORS headers.
//
// Member functions are safe on any thread.

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace webtesting {

// One request of a run, as logged: ports and the run's folder replaced by
// labels ("http://A/cookies/page.html"), multipart bodies as their parts.
struct ConformanceRequest {
    std::string origin;  // "A", "B" or "C": the origin it was sent to
    std::string method;
    std::string target;  // path (without the run's folder) and query, decoded
    // The fields that matter, those the request carried: Cookie (its pairs
    // sorted), Origin, Referer, Content-Type (without a multipart boundary),
    // Sec-Fetch-Site, Accept-Language, Access-Control-Request-Method,
    // Access-Control-Request-Headers, X-Conformance.
    std::map<std::string, std::string> fields;
    std::string body;

    // "GET A /cookies/page.html?x=1"
    [[nodiscard]] std::string line() const { return method + " " + origin + " " + target; }
    // The line, the fields and the body.
    [[nodiscard]] std::string describe() const;
};

class ConformanceServer {
public:
    static const std::vector<std::string> kLoggedFields;

    ConformanceServer();
    ~ConformanceServer();
    ConformanceServer(const ConformanceServer&) = delete;
    ConformanceServer& operator=(const ConformanceServer&) = delete;

    // "http://127.0.0.1:<port>" of origin 'A' or 'B', "http://localhost:<port
    // of B>" of 'C'.
    [[nodiscard]] std::string origin(char label) const;
    // Serves html at path (below every run's folder, on both origins).
    void page(const std::string& path, std::string html);
    // A folder no run of this process had: "/run<N>".
    [[nodiscard]] static std::string newRun();
    // What the run's folder received so far, in order of arrival.
    [[nodiscard]] std::vector<ConformanceRequest> log(const std::string& run) const;
    // Text a page of the run observed, with the run's origins as labels:
    // "127.0.0.1:<port of A>" becomes "A" (B and C alike), the run's folder
    // goes.
    [[nodiscard]] std::string normalise(std::string text, const std::string& run) const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace webtesting
