#pragma once
// What the engine proxy lets a client hold of the app, in one place.
//
// Who may use what. The engine's views answer the proxy's challenge with
// the run's credentials (EngineProxy::user/password); a tunnel's requests
// are the engine's, its CONNECT having shown them.
//  - Before credentials, a client gets an answer at each head and nothing
//    more: a challenge (407) to anything but a strict CORS preflight, whose
//    body is never read nor held; the preflight goes on as a preflight
//    alone (ProxyPreflight), at most kMostPreflights at once. A client's
//    connection counts among the unadmitted ones (Admission).
//  - With credentials, a request goes on as the engine wrote it, its body
//    of any length as it comes, holding at most kMostHeldBodyBytes at once
//    under a share of the budget (BodyBudget); its onward load takes a
//    place among its page's (LoadPlaces).
//
// The bounds, for everyone: a head must be whole kHeadSeconds after its
// first byte and hold at most kMostHeadBytes (ProxyHead.h); a connection
// waits at most kClientIdleSeconds (real seconds) for its next request; a
// request body never goes kBodyIdleSeconds without a byte while the proxy
// reads it, and one read only to be dropped holds at most
// kMostRequestBodyBytes; tunnels at most kMostTunnels at once; a WebSocket
// closes after its own idle limit (ProxyWebSocket.h); an onward load after
// Exchange::kIdleSeconds without a byte either way (ProxyExchange.h).
//
// All of it lives on the proxy's thread; BodyBudget::used() and the
// constants may be read anywhere.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <utility>

namespace web::proxy {

class Connection;

// The most bytes of a request body the proxy reads only to drop it (a
// challenged request's, one left unread after its answer); a longer one
// ends its connection instead.
inline constexpr std::int64_t kMostRequestBodyBytes = std::int64_t(64) << 20;
// The most bytes of one request body the proxy holds at once: past them it
// reads no more of that body until the onward load has taken all but a
// quarter (the bytes of the read that passed them are held too). A body
// that fits goes on whole, so that the URL protocols see it whole; a
// longer one goes on as it comes (core::URLBodyStream).
inline constexpr std::int64_t kMostHeldBodyBytes = std::int64_t(1) << 20;
// Seconds, on the clock, a request body may go without a byte while the
// proxy reads it (not while it waits for the onward load to take what it
// holds) before the proxy drops the connection and the body's share.
inline constexpr double kBodyIdleSeconds = 20;
// Real seconds a client connection may keep the proxy waiting for its next
// request (an idle keep-alive connection, or one that never sent a byte).
// Once a request goes on, the client takes its answer at its own pace, as
// it would from the origin.
inline constexpr unsigned kClientIdleSeconds = 60;
// The time-out in effect: kClientIdleSeconds, unless a test set another.
[[nodiscard]] unsigned clientIdleSeconds();
void setClientIdleSeconds(unsigned seconds);
// Seconds a tunnel's TLS handshake may take, on the clock.
inline constexpr unsigned kHandshakeSeconds = 10;
// Tunnels open at once; more CONNECTs are refused with 503.
inline constexpr size_t kMostTunnels = 512;
// Seconds, on the clock, from the first byte of a request's head to its
// end. The engine writes a head at once: only a client that trickles it
// meets the limit.
inline constexpr unsigned kHeadSeconds = 15;
// Preflights without credentials under way at once; more are answered 503.
// They are the only requests that go on for a client without credentials,
// so that this bounds whatever could come round to the proxy again.
inline constexpr size_t kMostPreflights = 32;

// The connections that showed no credentials yet (and are no tunnel's):
// at most kMostUnadmittedConnections at once, and their unread heads at
// most kMostUnadmittedHeadBytes together. A new connection is always taken:
// at the cap an older one goes instead, the oldest that never sent a byte,
// else the oldest; past the bytes, the one holding the most. The engine's
// connections leave the count with their first request, which they write
// as they connect, so that no other client can keep them out.
class Admission {
public:
    static constexpr size_t kMostUnadmittedConnections = 128;
    static constexpr size_t kMostUnadmittedHeadBytes = size_t(32) << 20;

    // A connection came; it may close others.
    void opened(const std::shared_ptr<Connection>& connection);
    void admit(Connection& connection);
    void closed(Connection& connection);
    // The connection's unread head now holds bytes; it may close others,
    // or this one.
    void holding(Connection& connection, size_t bytes);
    [[nodiscard]] size_t count() const { return waiting_.size(); }

private:
    struct Waiting {
        std::weak_ptr<Connection> connection;
        size_t headBytes = 0;
    };
    using Entries = std::list<std::pair<Connection*, Waiting>>;
    Entries::iterator find(Connection& connection);

    Entries waiting_;  // oldest first
    size_t headBytes_ = 0;
};
inline constexpr size_t kMostUnadmittedConnections = Admission::kMostUnadmittedConnections;

// The bytes of request bodies the proxy holds in memory, every exchange's
// together, kBytes at most. A body's share is the most it may hold at once,
// taken before it holds them (a declared length's, up to
// kMostHeldBodyBytes, at its head; a body of unknown length's as it fills),
// and given back when its exchange ends, however many bytes went through
// it. Shares belong to a page (its id; 0 for loads of no page), and no page
// can keep another out: a body that does not fit may take the place of
// bodies of a page that holds more than its fair part (the budget divided
// among the pages holding shares), whose loads then fail; a body over its
// own page's fair part is refused with 503.
class BodyBudget {
public:
    static constexpr std::int64_t kBytes = std::int64_t(128) << 20;

    // Bytes of the budget, given back when it goes.
    class Share {
    public:
        Share() = default;
        // lost: called, on the proxy's thread, when another page's body
        // took this share's place; the share holds nothing from then on.
        Share(std::uint64_t page, std::function<void()> lost);
        Share(Share&& other) noexcept;
        Share& operator=(Share&& other) noexcept;
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;
        ~Share() { release(); }

        // Takes bytes more; false, taking nothing, when they do not fit.
        [[nodiscard]] bool grow(std::int64_t bytes);
        [[nodiscard]] std::int64_t bytes() const;
        [[nodiscard]] bool lost() const;

    private:
        struct Entry;
        void release();
        std::shared_ptr<Entry> entry_;
    };

    // The bytes all shares hold now; safe from any thread.
    [[nodiscard]] static std::int64_t used();
};

// Places for onward loads waiting for their answer: a page (by id; 0 for
// loads of no page) has at most kMostPerPage at once, and all pages
// kMostInAll; a load beyond them waits for a place, in the order they came.
// A load keeps its place until its answer starts or it ends, so that loads
// to servers that never answer hold a bounded part of the app's
// descriptors, whatever a page starts.
class LoadPlaces {
public:
    static constexpr size_t kMostPerPage = 64;
    static constexpr size_t kMostInAll = 192;

    // A place, given back when it goes.
    class Place {
    public:
        Place() = default;
        Place(Place&& other) noexcept : places_(std::exchange(other.places_, nullptr)),
                                        page_(other.page_) {}
        Place& operator=(Place&& other) noexcept;
        Place(const Place&) = delete;
        Place& operator=(const Place&) = delete;
        ~Place() { release(); }
        void release();

    private:
        friend class LoadPlaces;
        Place(LoadPlaces* places, std::uint64_t page) : places_(places), page_(page) {}
        LoadPlaces* places_ = nullptr;
        std::uint64_t page_ = 0;
    };

    // Calls start with a place now, or once one is free. A start whose
    // ticket has gone by then is skipped.
    void take(std::uint64_t page, std::weak_ptr<void> ticket, std::function<void(Place)> start);
    [[nodiscard]] size_t held() const { return inAll_; }
    [[nodiscard]] size_t waiting() const { return waiting_.size(); }

private:
    struct Waiting {
        std::uint64_t page;
        std::weak_ptr<void> ticket;
        std::function<void(Place)> start;
    };
    void give(std::uint64_t page);
    void startWaiting();

    std::map<std::uint64_t, size_t> perPage_;
    size_t inAll_ = 0;
    std::deque<Waiting> waiting_;
    bool starting_ = false;
};

// The process's file descriptors: the soft limit is raised towards the hard
// one at start (a desktop's default of 1024 is soon met by a browser
// engine), and the proxy takes no new connection while its own would leave
// fewer than kReserved free for the rest of the app.
class Descriptors {
public:
    static constexpr long kReserved = 256;

    // Raises the soft limit as far as the hard one allows (at most
    // kMostRaised); the limit in effect after.
    static long raiseLimit();
    static constexpr long kMostRaised = 65536;
    // What the proxy may hold open: the limit less the reserve, and at
    // least a few.
    [[nodiscard]] static long mostForProxy();
};

}  // namespace web::proxy
