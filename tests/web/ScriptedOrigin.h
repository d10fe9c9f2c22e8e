// An origin of the tests' own on raw sockets, on every address of the
// machine (127.0.0.2 and on are hosts of their own to the engine), so that
// every byte it receives is seen; one thread polls all its connections.

#pragma once

#include <poll.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace webtesting {

// A listening socket on every address of the machine; its port in port.
int listenEverywhere(int& port);

// Logs each request head it reads and answers it as answer() says (""
// keeps the connection silent); each connection keeps being read after its
// answers, its bodies dropped. Every connection waiting is taken at once,
// however many a burst opens.
class ScriptedOrigin {
public:
    using Answer = std::function<std::string(const std::string& head)>;
    explicit ScriptedOrigin(Answer answer);
    ~ScriptedOrigin();
    ScriptedOrigin(const ScriptedOrigin&) = delete;
    ScriptedOrigin& operator=(const ScriptedOrigin&) = delete;

    [[nodiscard]] int port() const { return port_; }
    [[nodiscard]] std::vector<std::string> heads() const;
    [[nodiscard]] size_t connections() const { return accepted_; }

private:
    void serve();

    const Answer answer_;
    int port_ = 0;  // before fd_: listening sets it
    int fd_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> accepted_{0};
    std::vector<pollfd> peers_;
    mutable std::mutex mutex_;
    std::vector<std::string> heads_;
    std::thread thread_;
};

// "ok", to any page.
extern const std::string kPlainAnswer;

}  // namespace webtesting
