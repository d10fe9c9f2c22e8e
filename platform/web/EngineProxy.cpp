#include "web/EngineProxy.h"

#include <glib.h>
#include <sys/random.h>

#include <deque>
#include <future>
#include <mutex>

#include "core/Console.h"
#include "core/MD5.h"
#include "core/RunLoop.h"
#include "web/CertificateAuthority.h"
#include "web/MainLoop.h"
#include "web/ProxyServer.h"

namespace web {

namespace {

// bytes random bytes as hex; empty when the system gives none.
std::string randomHex(size_t bytes) {
    std::vector<std::uint8_t> random(bytes);
    if (getrandom(random.data(), random.size(), 0) != ssize_t(random.size())) return {};
    return core::hexString(random);
}

struct Failure {
    std::uint64_t pageId = 0;
    std::string url;
    protocol::ProxyError error;
};

std::mutex failuresMutex;
std::deque<Failure>& failures() {
    static auto* list = new std::deque<Failure>;
    return *list;
}

}  // namespace

void EngineProxy::noteFailure(std::uint64_t pageId, std::string url, protocol::ProxyError error) {
    const std::lock_guard lock(failuresMutex);
    failures().push_back({pageId, std::move(url), std::move(error)});
    if (failures().size() > kMostFailures) failures().pop_front();
}

std::optional<protocol::ProxyError> EngineProxy::takeFailure(std::uint64_t pageId,
                                                             std::string_view url) {
    const std::lock_guard lock(failuresMutex);
    auto& list = failures();
    for (auto failure = list.rbegin(); failure != list.rend(); ++failure) {
        if (failure->pageId != pageId || failure->url != url) continue;
        protocol::ProxyError found = std::move(failure->error);
        list.erase(std::next(failure).base());
        return found;
    }
    return std::nullopt;
}

EngineProxy* EngineProxy::shared(std::string* error) {
    static std::mutex mutex;
    static EngineProxy* proxy = nullptr;
    static std::string failure;
    std::lock_guard lock(mutex);
    if (!proxy && failure.empty()) {
        std::unique_ptr<EngineProxy> made(new EngineProxy);
        made->user_ = "vantor";
        made->password_ = randomHex(32);
        made->pageToken_ = randomHex(16);
        made->authority_ = CertificateAuthority::create(&failure);
        if (made->password_.empty() || made->pageToken_.empty()) failure = "no random bytes";
        if (failure.empty()) {
            proxy::Credentials credentials{made->user_, made->password_, made->pageToken_};
            std::promise<std::string> started;
            auto result = started.get_future();
            made->thread_ = core::Thread::start("vantor.proxy", [&started, &made, credentials,
                                                                 authority = made->authority_] {
                GMainContext* context = g_main_context_new();
                g_main_context_push_thread_default(context);
                core::RunLoop& loop = core::RunLoop::current();
                loop.setHost(MainLoop::host(loop, context));
                g_main_context_unref(context);
                std::string error;
                const proxy::Server* server = proxy::Server::start(credentials, authority, &error);
                if (server) made->port_ = server->port();
                started.set_value(error);
                if (server) loop.run();
            });
            failure = result.get();
        }
        if (failure.empty()) {
            proxy = made.release();  // for the life of the process, as its thread
        } else {
            failure = "web views: the engine proxy cannot start: " + failure;
            core::Console::log(failure);
        }
    }
    if (!proxy && error) *error = failure;
    return proxy;
}

std::string EngineProxy::uri() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string EngineProxy::authorityPEM() const {
    return authority_->authorityPEM();
}

}  // namespace web
