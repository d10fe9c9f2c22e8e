#pragma once
// The app's end of the socket on which web processes ask about navigations
// (see WebProcessProtocol.h): it listens in a private folder, reads each
// query from the main context's dispatch and answers with what the handler
// decides. A web process waits for the answer, so the handler answers at
// once, on the main thread. Made once per process; the socket's folder goes
// away at exit, and one that a crashed process left goes at the next start.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/HTTPHeaders.h"
#include "web/WebProcessProtocol.h"

namespace web {

struct DecisionQuery {
    std::uint64_t pageId = 0;
    bool mainFrame = false;
    bool redirect = false;
    std::string method;
    std::string url;
    core::HTTPHeaders headers;
};

class DecisionServer {
public:
    using Handler = std::function<protocol::Decision(const DecisionQuery&)>;

    // The process's server, started on first use; nullptr with a message
    // when the socket cannot be made.
    [[nodiscard]] static DecisionServer* shared(std::string* error);

    [[nodiscard]] const std::string& socketPath() const { return socketPath_; }
    [[nodiscard]] const std::string& folder() const { return folder_; }
    void setHandler(Handler handler) { handler_ = std::move(handler); }

    // Parses a query's payload; false for bytes that are not one.
    [[nodiscard]] static bool parse(const void* data, size_t size, DecisionQuery& query);
    [[nodiscard]] protocol::Decision answer(const DecisionQuery& query) const;

private:
    DecisionServer() = default;
    class Connection;

    std::string folder_;
    std::string socketPath_;
    int listener_ = -1;
    Handler handler_;
};

}  // namespace web
