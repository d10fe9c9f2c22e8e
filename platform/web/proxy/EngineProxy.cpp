#include "web/proxy/EngineProxy.h"

#include <gio/gio.h>
#include <glib.h>
#include <sys/random.h>

#include <deque>
#include <future>
#include <mutex>

#include "core/Console.h"
#include "core/MD5.h"
#include "core/ProcessExit.h"
#include "core/RunLoop.h"
#include "core/URLSession.h"
#include "web/proxy/CertificateAuthority.h"
#include "web/MainLoop.h"
#include "web/PageMark.h"
#include "web/proxy/ProxyExchange.h"
#include "web/proxy/ProxyServer.h"

namespace web {

namespace {

// bytes random bytes as hex; empty when the system gives none.
std::string randomHex(size_t bytes) {
    std::vector<std::uint8_t> random(bytes);
    if (getrandom(random.data(), random.size(), 0) != ssize_t(random.size())) return {};
    return core::hexString(random);
}

// What the proxy met for pages, newest last, kMostFailures of each kind.
template <typename Told>
class PageLedger {
public:
    void note(std::uint64_t pageId, std::string url, Told told) {
        const std::lock_guard lock(mutex_);
        entries_.push_back({pageId, std::move(url), std::move(told)});
        if (entries_.size() > EngineProxy::kMostFailures) entries_.pop_front();
    }
    // The newest entry's, kept.
    std::optional<Told> find(std::uint64_t pageId, std::string_view url) {
        const std::lock_guard lock(mutex_);
        for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry)
            if (entry->pageId == pageId && entry->url == url) return entry->told;
        return std::nullopt;
    }
    void forget(std::uint64_t pageId, std::string_view url) {
        const std::lock_guard lock(mutex_);
        std::erase_if(entries_,
                      [&](const Entry& entry) { return entry.pageId == pageId && entry.url == url; });
    }
    std::optional<Told> take(std::uint64_t pageId, std::string_view url) {
        const std::lock_guard lock(mutex_);
        for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
            if (entry->pageId != pageId || entry->url != url) continue;
            Told told = std::move(entry->told);
            entries_.erase(std::next(entry).base());
            return told;
        }
        return std::nullopt;
    }

private:
    struct Entry {
        std::uint64_t pageId;
        std::string url;
        Told told;
    };
    std::mutex mutex_;
    std::deque<Entry> entries_;
};

PageLedger<protocol::ProxyError>& failures() {
    static auto* ledger = new PageLedger<protocol::ProxyError>;
    return *ledger;
}

PageLedger<EngineProxy::DocumentStage>& documents() {
    static auto* ledger = new PageLedger<EngineProxy::DocumentStage>;
    return *ledger;
}

}  // namespace

void EngineProxy::noteFailure(std::uint64_t pageId, std::string url, protocol::ProxyError error) {
    failures().note(pageId, std::move(url), std::move(error));
}

std::optional<protocol::ProxyError> EngineProxy::takeFailure(std::uint64_t pageId,
                                                             std::string_view url) {
    return failures().take(pageId, url);
}

void EngineProxy::forgetFailures(std::uint64_t pageId, std::string_view url) {
    failures().forget(pageId, url);
}

void EngineProxy::noteDocument(std::uint64_t pageId, std::string url, DocumentStage stage) {
    documents().note(pageId, std::move(url), stage);
}

EngineProxy::DocumentStage EngineProxy::documentStage(std::uint64_t pageId, std::string_view url) {
    return documents().find(pageId, url).value_or(DocumentStage::none);
}

void EngineProxy::forgetDocument(std::uint64_t pageId, std::string_view url) {
    documents().forget(pageId, url);
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
        made->pageKey_ = randomHex(protocol::PageMarkSeal::kKeyBytes);
        made->authority_ = CertificateAuthority::create(&failure);
        if (made->password_.empty() || made->pageKey_.empty()) failure = "no random bytes";
        if (failure.empty()) {
            proxy::Credentials credentials{made->user_, made->password_, made->pageKey_};
            // A page can start many loads: room for them, and for the rest
            // of the app beside them.
            (void)proxy::Descriptors::raiseLimit();
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
                proxy::Server* server = proxy::Server::start(credentials, authority, &error);
                if (server) {
                    made->port_ = server->port();
                    made->socksPort_ = server->socksPort();
                    made->server_ = server;
                }
                started.set_value(error);
                if (!server) return;
                // What the first tunnel and its first onward load would wait
                // for, done while the engine starts its processes: the TLS
                // backend, and the authorities the onward loads trust. (Not
                // the backend's database of the system's authorities: the
                // tunnels check no certificate, and it would hold megabytes.)
                (void)g_tls_backend_get_default();
                core::URLSession::prepareTrust(proxy::Exchange::configuration());
                loop.run();
            });
            failure = result.get();
        }
        if (failure.empty()) {
            proxy = made.release();  // for the life of the process, as its thread
            // The TLS and crypto libraries tear down as the process exits,
            // and statics are destroyed: the thread stops (and is joined)
            // as exit begins, not midway through a handshake.
            core::ProcessExit::atStart([] {
                if (!proxy->thread_->isCurrent() &&
                    proxy->thread_->perform([] { core::RunLoop::current().stop(); }, false))
                    proxy->thread_->join();
            });
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

std::string EngineProxy::engineURI() const {
    // The user is a word and the password hex: nothing to escape.
    return "socks5://" + user_ + ":" + password_ + "@127.0.0.1:" + std::to_string(socksPort_);
}

std::string EngineProxy::authorityPEM() const {
    return authority_->authorityPEM();
}

}  // namespace web
