#include "web/DecisionServer.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/Console.h"
#include "core/FileManager.h"

namespace web {

namespace {

constexpr const char* kFolderPrefix = "vantor-web-";

void removeFolder(const std::string& folder) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

// A source on a descriptor that may dispatch again while its callback runs
// (an answer that runs the loop: a delegate waiting in runUntil).
GSource* attachReadable(int fd, GUnixFDSourceFunc callback, gpointer data, GDestroyNotify destroy) {
    GSource* source = g_unix_fd_source_new(fd, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR));
    g_source_set_callback(source,
                          reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(callback)),
                          data, destroy);
    g_source_set_can_recurse(source, TRUE);
    g_source_attach(source, g_main_context_default());
    g_source_unref(source);
    return source;
}

}  // namespace

// One web process's connection: reads length-prefixed queries and answers
// each with one byte.
class DecisionServer::Connection {
public:
    Connection(const DecisionServer& server, int fd) : server_(server), fd_(fd) {}
    ~Connection() { close(fd_); }

    // False once the connection is done.
    bool readable() {
        char buffer[4096];
        for (;;) {
            const ssize_t got = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            if (got <= 0) return false;
            pending_.insert(pending_.end(), buffer, buffer + got);
        }
        while (pending_.size() >= sizeof(std::uint32_t)) {
            std::uint32_t size = 0;
            std::memcpy(&size, pending_.data(), sizeof size);
            if (size > protocol::kMaxQueryBytes) return false;
            if (pending_.size() < sizeof size + size) break;
            std::vector<char> payload(pending_.begin() + sizeof size,
                                      pending_.begin() + sizeof size + size);
            pending_.erase(pending_.begin(), pending_.begin() + sizeof size + size);
            DecisionQuery query;
            const protocol::Decision decision = parse(payload.data(), payload.size(), query)
                                                    ? server_.answer(query)
                                                    : protocol::Decision::refuse;
            const char byte = char(decision);
            if (send(fd_, &byte, 1, MSG_NOSIGNAL) != 1) return false;
        }
        return true;
    }

private:
    const DecisionServer& server_;
    const int fd_;
    std::vector<char> pending_;
};

DecisionServer* DecisionServer::shared(std::string* error) {
    static DecisionServer* server = nullptr;
    static std::string failure;
    if (server) return server;
    if (!failure.empty()) {
        if (error) *error = failure;
        return nullptr;
    }
    // A crashed process leaves its folder behind: the next one removes it.
    const std::string runtime = core::FileManager::runtimeDirectory();
    sockaddr_un address{};
    const auto made = [&]() -> bool {
        const auto folder = core::FileManager::createProcessFolder(runtime, kFolderPrefix);
        if (!folder) return false;
        const std::string& pattern = folder.value();
        std::unique_ptr<DecisionServer> candidate(new DecisionServer);
        candidate->folder_ = pattern;
        candidate->socketPath_ = pattern + "/decide";
        if (candidate->socketPath_.size() >= sizeof(address.sun_path)) {
            removeFolder(pattern);
            return false;
        }
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, candidate->socketPath_.c_str(),
                     sizeof(address.sun_path) - 1);
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(fd, 16) != 0) {
            if (fd >= 0) close(fd);
            removeFolder(pattern);
            return false;
        }
        candidate->listener_ = fd;
        server = candidate.release();  // for the life of the process
        return true;
    };
    if (!made()) {
        failure = "web views: cannot make the navigation socket under " + runtime;
        if (error) *error = failure;
        return nullptr;
    }
    // A child forked without exec that ends through exit() leaves it be.
    static const pid_t owner = getpid();
    std::atexit([] {
        if (getpid() == owner) removeFolder(server->folder_);
    });
    attachReadable(
        server->listener_,
        [](gint, GIOCondition, gpointer data) -> gboolean {
            auto* self = static_cast<DecisionServer*>(data);
            for (;;) {
                const int fd = accept4(self->listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0) break;
                attachReadable(
                    fd,
                    [](gint, GIOCondition, gpointer connection) -> gboolean {
                        return static_cast<Connection*>(connection)->readable() ? G_SOURCE_CONTINUE
                                                                                : G_SOURCE_REMOVE;
                    },
                    new Connection(*self, fd),
                    [](gpointer connection) { delete static_cast<Connection*>(connection); });
            }
            return G_SOURCE_CONTINUE;
        },
        server, nullptr);
    return server;
}

bool DecisionServer::parse(const void* data, size_t size, DecisionQuery& query) {
    GBytes* bytes = g_bytes_new(data, size);
    GVariant* variant = g_variant_ref_sink(
        g_variant_new_from_bytes(G_VARIANT_TYPE(protocol::kQueryType), bytes, FALSE));
    g_bytes_unref(bytes);
    const bool valid = g_variant_is_normal_form(variant);
    if (valid) {
        guint64 pageId = 0;
        gboolean mainFrame = FALSE;
        gboolean redirect = FALSE;
        const char* method = nullptr;
        const char* url = nullptr;
        GVariantIter* fields = nullptr;
        g_variant_get(variant, protocol::kQueryType, &pageId, &mainFrame, &redirect, &method, &url,
                      &fields);
        query.pageId = pageId;
        query.mainFrame = mainFrame;
        query.redirect = redirect;
        query.method = method;
        query.url = url;
        const char* name = nullptr;
        const char* value = nullptr;
        while (g_variant_iter_next(fields, "(&s&s)", &name, &value)) query.headers.add(name, value);
        g_variant_iter_free(fields);
        g_free(const_cast<char*>(method));
        g_free(const_cast<char*>(url));
    }
    g_variant_unref(variant);
    return valid;
}

protocol::Decision DecisionServer::answer(const DecisionQuery& query) const {
    if (!handler_) return protocol::Decision::refuse;
    return handler_(query);
}

}  // namespace web
