#pragma once
// Helpers for the URL connection tests: a delegate that records what it is
// told, in order, and a way to run a connection to its end on the main loop.

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "URLSessionTesting.h"
#include "core/URLConnection.h"

namespace testsupport {

struct ConnectionRecord : core::URLConnectionDelegate {
    // "redirect 302 <url>", "response 200", "will-cache", "finish", "fail <code>";
    // body pieces are gathered in body, not listed.
    std::vector<std::string> events;
    std::set<std::thread::id> threads;
    std::string body;
    int dataCalls = 0;
    std::optional<core::NetworkError> error;
    std::optional<core::CachedURLResponse> proposed;
    bool ended = false;

    // Answers redirects; default: follow.
    std::function<std::optional<core::URLRequest>(core::URLRequest)> onRedirect;
    // Called at the end of each callback, named as in events ("data" for data).
    std::function<void(core::URLConnection&, const std::string&)> after;

    std::optional<core::URLRequest>
    willSendRequest(core::URLConnection& connection, core::URLRequest newRequest,
                    const core::HTTPURLResponse& response) override {
        note(connection, "redirect " + std::to_string(response.statusCode()) + " " +
                             newRequest.url().absoluteString());
        return onRedirect ? onRedirect(std::move(newRequest)) : std::move(newRequest);
    }
    void didReceiveResponse(core::URLConnection& connection,
                            const core::HTTPURLResponse& response) override {
        body.clear();
        note(connection, "response " + std::to_string(response.statusCode()));
    }
    void didReceiveData(core::URLConnection& connection, const core::Data& data) override {
        ++dataCalls;
        body.append(data.begin(), data.end());
        threads.insert(std::this_thread::get_id());
        if (after) after(connection, "data");
    }
    std::optional<core::CachedURLResponse>
    willCacheResponse(core::URLConnection& connection, core::CachedURLResponse proposal) override {
        proposed = proposal;
        note(connection, "will-cache");
        return proposal;
    }
    void didFinishLoading(core::URLConnection& connection) override {
        ended = true;
        note(connection, "finish");
    }
    void didFailWithError(core::URLConnection& connection,
                          const core::NetworkError& failure) override {
        ended = true;
        error = failure;
        note(connection, "fail " + std::string(failure.codeName()));
    }

private:
    void note(core::URLConnection& connection, const std::string& event) {
        events.push_back(event);
        threads.insert(std::this_thread::get_id());
        if (after) after(connection, event.substr(0, event.find(' ')));
    }
};

// Starts a connection for request on the main loop and runs the loop until
// it ends.
inline std::shared_ptr<ConnectionRecord> load(core::URLRequest request,
                                              std::shared_ptr<ConnectionRecord> record = nullptr,
                                              core::URLSessionConfiguration configuration = {}) {
    if (!record) record = std::make_shared<ConnectionRecord>();
    auto connection =
        core::URLConnection::create(std::move(request), record, std::move(configuration));
    connection->scheduleInRunLoop(core::RunLoop::main());
    connection->start();
    EXPECT_TRUE(waitUntil([&] { return record->ended; })) << "the connection did not end";
    return record;
}

inline std::shared_ptr<ConnectionRecord> load(const core::URL& url) {
    return load(core::URLRequest(url));
}

}  // namespace testsupport
