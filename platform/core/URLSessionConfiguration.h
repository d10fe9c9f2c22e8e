#pragma once
// The settings a URLSession applies to every task it makes. A value type.

#include <string>

#include "core/HTTPHeaders.h"

namespace core {

struct URLSessionConfiguration {
    // Seconds without data after which a request fails with timedOut, for
    // requests that set no timeoutInterval of their own. Read on the
    // current Clock.
    double timeoutIntervalForRequest = 60;
    // Seconds a task may take in all, redirects included.
    double timeoutIntervalForResource = 7 * 24 * 3600;
    // Sent with every request unless the request sets the same header.
    HTTPHeaders HTTPAdditionalHeaders;
    // Requests to one scheme, host and port running at once; the others
    // wait. All sessions together never open more than 6 connections to a
    // host.
    int HTTPMaximumConnectionsPerHost = 6;
    // Sent as User-Agent when neither the request nor the additional
    // headers set one.
    std::string userAgent = "Vantor/1.0";
};

}  // namespace core
