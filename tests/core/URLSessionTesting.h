#pragma once
// Helpers for the URL session tests: run a data task to completion on the
// main run loop and keep what it reported.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "core/Queue.h"
#include "core/RunLoop.h"
#include "core/URLSession.h"

namespace testsupport {

inline constexpr double kNetworkLimit = 10.0;

struct Outcome {
    int completions = 0;
    bool onMainThread = false;
    core::Data body;
    std::optional<core::HTTPURLResponse> response;
    std::optional<core::NetworkError> error;

    [[nodiscard]] std::string text() const { return std::string(body.begin(), body.end()); }
    [[nodiscard]] int status() const { return response ? response->statusCode() : 0; }
    [[nodiscard]] core::NetworkError::Code code() const {
        return error ? error->code : core::NetworkError::Code::unknown;
    }
};

// A task whose completion fills outcome on the main queue; not resumed.
inline std::shared_ptr<core::URLSessionDataTask> recordingTask(core::URLSession& session,
                                                               core::URLRequest request,
                                                               std::shared_ptr<Outcome> outcome) {
    return session.dataTask(
        std::move(request),
        [outcome](core::Data body, std::optional<core::HTTPURLResponse> response,
                  std::optional<core::NetworkError> error) {
            ++outcome->completions;
            outcome->onMainThread = core::RunLoop::isMainThread();
            outcome->body = std::move(body);
            outcome->response = std::move(response);
            outcome->error = std::move(error);
        },
        core::Queue::main());
}

[[nodiscard]] inline bool waitUntil(const std::function<bool()>& predicate,
                                    double limit = kNetworkLimit) {
    return core::RunLoop::main().runUntil(predicate, limit);
}

// Waits for predicate by polling, without running the main loop, so that
// what is posted to the main queue piles up meanwhile.
[[nodiscard]] inline bool pollUntil(const std::function<bool()>& predicate,
                                    double limit = kNetworkLimit) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(limit);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Runs the request and waits on the main run loop for its completion.
inline Outcome fetch(core::URLSession& session, core::URLRequest request) {
    auto outcome = std::make_shared<Outcome>();
    recordingTask(session, std::move(request), outcome)->resume();
    EXPECT_TRUE(waitUntil([&] { return outcome->completions > 0; }))
        << "the request did not complete";
    return *outcome;
}

inline Outcome fetch(core::URLSession& session, const core::URL& url) {
    return fetch(session, core::URLRequest(url));
}

}  // namespace testsupport
