#pragma once
// The settings a URLSession applies to every task it makes. A value type.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/HTTPHeaders.h"

namespace core {

// The environment variable naming a PEM file of certificate authorities that
// sessions trust for https besides the system's (the tool and the demo use
// it to reach local servers with certificates of their own).
inline constexpr const char* kTrustedCertificatesFileVariable = "VANTOR_CA_FILE";

[[nodiscard]] inline std::string trustedCertificatesFileFromEnvironment() {
    const char* path = std::getenv(kTrustedCertificatesFileVariable);
    return path ? path : "";
}

struct URLSessionConfiguration {
    static constexpr std::int64_t kDefaultMaximumResponseBytes = 16 * 1024 * 1024;

    // Seconds without data after which a request fails with timedOut, for
    // requests that set no timeoutInterval of their own. Read on the
    // current Clock.
    double timeoutIntervalForRequest = 60;
    // Seconds a task may take in all, redirects included.
    double timeoutIntervalForResource = 7 * 24 * 3600;
    // A request fails with timedOut once fewer than lowSpeedLimit body bytes
    // a second have arrived, on average over a span of lowSpeedTime seconds
    // (on the current Clock; spans start when the response header is in),
    // so that a server trickling bytes cannot hold it open. 0 in either
    // turns the check off.
    std::int64_t lowSpeedLimit = 0;
    double lowSpeedTime = 0;
    // The most bytes a response body may hold. A larger Content-Length fails
    // the request at the header, and a body that grows past it fails once it
    // does, both with dataLengthExceedsMaximum. The default suits API
    // answers, ad markup and page resources; downloads of large files raise
    // it. Redirect responses to follow get at most
    // URLSessionTask::kMaximumRedirectBodyBytes.
    std::int64_t maximumResponseBytes = kDefaultMaximumResponseBytes;
    // Off: a redirect is a final response like any other (its body under
    // maximumResponseBytes, as it arrives), and the session's delegate is
    // not asked about it. For a client that follows redirects itself.
    bool followsRedirects = true;
    // Sent with every request unless the request sets the same header.
    HTTPHeaders HTTPAdditionalHeaders;
    // Requests to one scheme, host and port running at once; the others
    // wait. All sessions together never open more than 6 connections to a
    // host.
    int HTTPMaximumConnectionsPerHost = 6;
    // Sent as User-Agent when neither the request nor the additional
    // headers set one.
    std::string userAgent = "Vantor/1.0";
    // Certificate authorities trusted for https in addition to the system's:
    // a PEM file, and PEM text (the text wins when both are set). Servers are
    // always verified; a certificate that chains to none of the trusted
    // authorities fails the request with secureConnectionFailed.
    std::string trustedCertificatesFile = trustedCertificatesFileFromEnvironment();
    std::string trustedCertificatesPEM;
    // Ports at which no request connects to a loopback or unspecified
    // address (core::isLoopbackOrUnspecified), whatever name or form its URL
    // or a route gives the host: judged on the address about to be
    // connected, so that a local proxy never reaches its own listeners. Such
    // a request fails with cannotConnectToHost before any connection is made.
    std::vector<int> refusedLocalPorts;
    // Requests go out with their own fields alone: none that libcurl adds
    // when a request lacks them (Accept, a body's Content-Type). With an
    // empty userAgent, what a client wrote is what the server receives.
    bool sendsOnlyRequestFields = false;
    // Answers are read as the web engine reads them where libcurl would read
    // them otherwise. An answer whose connection ended before its head did
    // (no blank line after the fields) fails with badServerResponse; with
    // this set, one that ended after a whole line of its head, a status
    // line at least, is whole instead, without a body. That is seen on
    // plain http only (libcurl hands over the whole lines alone, and the
    // kernel's count of the connection's bytes tells whether more came), so
    // over TLS it fails still. And a chunked body whose last chunk came is
    // whole, though the connection ended before the line that ends it.
    bool readsAnswersAsTheEngine = false;
};

}  // namespace core
