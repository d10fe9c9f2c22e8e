#pragma once
// What the engine proxy lets a client have of the app, in one place: who
// may use what (the rules below, which ProxyServer applies to each head),
// and every bound on what a client, a page or an origin can hold (the
// constants and classes below; the pieces that enforce each are named with
// it).
//
// Who may use what. The engine shows the run's credentials
// (EngineProxy::user/password) as each of its SOCKS connections opens
// (ProxySocks.h; its bounds are below); an HTTP client shows them in
// Proxy-Authorization. A tunnel's requests (a SOCKS connection's among
// them) are the engine's: the tunnel was opened with the credentials.
//  - Before credentials, a client gets an answer at each head and nothing
//    more (standingOf): a challenge (407) to anything but a strict CORS
//    preflight, whose body is never held (challengeEndsConnection); the
//    preflight goes on as a preflight alone (ProxyPreflight), at most
//    kMostPreflights at once. A client's connection counts among the
//    unadmitted ones (Admission).
//  - With credentials, a request goes on as the engine wrote it, its body
//    of any length as it comes, holding at most kMostHeldBodyBytes at once
//    under a share of the budget (BodyBudget); its onward load takes a
//    place among its page's (LoadPlaces).
//  - Nothing goes to the proxy itself: a head that names it plainly is
//    refused (namesProxyItself), and every onward connection is checked on
//    the address it is about to be made to (Server::ownPorts).
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
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace web::proxy {

class Connection;
struct RequestHead;

// Who may use what

// The run's credentials, and the key of its page marks.
struct Credentials {
    std::string user;
    std::string password;
    std::string pageKey;  // hex
};

// What a request may have of the proxy, by its head and where it came.
enum class Standing {
    // Without credentials: a challenge, and nothing more.
    stranger,
    // A strict CORS preflight without credentials (OPTIONS with Origin and
    // Access-Control-Request-Method, no body, no Upgrade): the engine sends
    // it so and answers no challenge for it. It goes on as a preflight.
    preflight,
    // With the run's credentials (exactly one Proxy-Authorization that
    // holds them), or inside a tunnel: the request goes on as written.
    engine,
};
[[nodiscard]] Standing standingOf(const RequestHead& head, bool tunneled,
                                  const Credentials& credentials);
// user and password are the run's, compared in a time that tells nothing of
// how much of them matched.
[[nodiscard]] bool areEngineCredentials(std::string_view user, std::string_view password,
                                        const Credentials& credentials);
// A challenged request's body is read and dropped (ProxyConnection, at most
// kMostRequestBodyBytes), as the engine sends a body whole before it reads
// the challenge and then asks again on the same connection; after a longer
// declared one, or an upgrade, the connection ends with the challenge.
[[nodiscard]] bool challengeEndsConnection(const RequestHead& head);
// host:port names the proxy itself (one of proxyPorts) under a plain name
// of this machine (127.0.0.1, localhost, localhost., ::1, 0.0.0.0, ::).
[[nodiscard]] bool namesProxyItself(std::string_view host, int port,
                                    const std::vector<int>& proxyPorts);

// Heads (ProxyHead, ProxyConnection)

// The most bytes of a request head, its request line included (a query of
// any length a page writes fits), and the most field lines in it.
inline constexpr size_t kMostHeadBytes = size_t(4) << 20;
inline constexpr size_t kMostHeadFields = 1000;
// Seconds, on the clock, from the first byte of a request's head to its
// end, for every head (one that came with the request before it too). The
// engine writes a head at once: only a client that trickles it meets the
// limit.
inline constexpr unsigned kHeadSeconds = 15;
// Real seconds a client connection may keep the proxy waiting for its next
// request (an idle keep-alive connection, or one that never sent a byte).
// Once a request goes on, the client takes its answer at its own pace, as
// it would from the origin.
inline constexpr unsigned kClientIdleSeconds = 60;
// The time-out in effect: kClientIdleSeconds, unless a test set another.
[[nodiscard]] unsigned clientIdleSeconds();
void setClientIdleSeconds(unsigned seconds);
// Bytes one connection reads in one turn of the proxy's loop: it reads on
// in the next turn, so that while a client keeps sending, deadlines fire
// and the other connections are served.
inline constexpr size_t kMostBytesReadPerTurn = 256 * 1024;
// Connections the listener takes in one turn of the loop (ProxyServer),
// well under Admission::kMostUnadmittedConnections: each has its head read
// in the next turn, before a burst of others could push it out of the
// count.
inline constexpr size_t kMostAcceptedPerTurn = 32;

// Request bodies (ProxyConnection, ProxyExchange)

// The most bytes of a request body the proxy reads only to drop it (a
// challenged request's, one left unread after its answer); a chunked
// body's framing (sizes, extensions, line ends, trailers) counts with its
// data. A longer one ends its connection instead.
inline constexpr std::int64_t kMostRequestBodyBytes = std::int64_t(64) << 20;
// The most bytes of one request body the proxy holds at once: past them it
// reads no more of that body until the onward load has taken all but a
// quarter (the bytes of the read that passed them are held too). A body
// that fits goes on whole, so that the URL protocols see it whole; a
// longer one goes on as it comes (core::URLBodyStream).
inline constexpr std::int64_t kMostHeldBodyBytes = std::int64_t(1) << 20;
// Of a longer body, the bytes at hand when its load starts: what the URL
// protocols see of its start (the SDK's records keep as much of a body).
// Then, once its onward load has started, the most bytes held at once (and
// read on below a quarter of them), and the share of the budget it keeps
// once its start went onward (what a read past them adds fits): an upload
// its server never takes holds at most half a MiB of it, whatever its
// length, and an eighth once the server's side took its start.
inline constexpr std::int64_t kStreamedBodyStartBytes = 512 * 1024;
inline constexpr std::int64_t kMostStreamedBodyBytes = 128 * 1024;
inline constexpr std::int64_t kStreamedBodyShare = 2 * kMostStreamedBodyBytes;
// The most bytes of one chunk's size line (its extensions included), and
// of a chunked body's trailers: a body past either is malformed, and its
// connection ends.
inline constexpr size_t kMostChunkLineBytes = 4 * 1024;
inline constexpr size_t kMostTrailerBytes = 64 * 1024;
// A chunked body's framing may outweigh its data by at most
// kMostFramingBytes, and kMostFramingBytesPerDataByte more for each byte of
// data (a writer's smallest chunks, "1\r\nx\r\n", take five): past that
// the body is malformed and its connection ends, so that no client keeps a
// connection going on framing alone, however long a body may be.
inline constexpr std::int64_t kMostFramingBytes = 64 * 1024;
inline constexpr std::int64_t kMostFramingBytesPerDataByte = 16;
// Seconds, on the clock, a request body may go without a byte (of its data
// or its framing) while the proxy reads it (not while it waits for the
// onward load to take what it holds) before the proxy drops the connection
// and the body's share.
inline constexpr double kBodyIdleSeconds = 20;
// A connection that ends with a body unread (its answer came first: an
// origin that refuses an upload at its head) goes on reading and dropping
// what its client still sends, as servers do, so that the client, which
// sends its body whole before it reads an answer, reads the answer rather
// than a reset, however long the body. It ends once the client stopped or
// sent nothing for kLingerIdleSeconds, and kMostLingerSeconds after it
// began at the latest, all on the clock; what it drops is never held. Such
// a socket counts among the proxy's descriptors until it is closed, and
// gives way, the oldest first, when the proxy would take no new connection
// for want of them.
inline constexpr double kLingerIdleSeconds = 5;
inline constexpr double kMostLingerSeconds = 120;

// Onward loads and answers (ProxyExchange, ProxyPreflight, ProxyWebSocket)

// Seconds, on the clock, an onward load may go without a byte (a URL
// protocol's too) while the engine is reading: as long as the engine itself
// was seen to wait for a server that sends nothing (it had not given up
// after that), so that a page waits alike in both kinds of view, and a load
// nobody ends still ends.
inline constexpr double kLoadIdleSeconds = 30 * 60;
// Answer bytes handed to the client's connection and not yet written past
// which the onward load (or a WebSocket's origin) is paused; it goes on
// below a quarter.
inline constexpr std::int64_t kMostAnswerBytesHeld = std::int64_t(1) << 20;
// Seconds a preflight's onward load may take, on the clock.
inline constexpr double kPreflightSeconds = 30;
// Preflights without credentials under way at once; more are answered 503.
// They are the only requests that go on for a client without credentials,
// so that this bounds whatever could come round to the proxy again.
inline constexpr size_t kMostPreflights = 32;
// SOCKS negotiations without credentials under way at once (ProxySocks);
// each must show the credentials and name its destination within
// kHeadSeconds. The engine's own connections are among them until their
// credentials come, so at the cap no negotiation is cut for a newcomer: new
// connections wait in the listener's backlog, in the order they came, for
// a place. One that has kept its place kSocksSignInSeconds (on the clock)
// without the credentials gives it to a connection that waits: the engine
// shows them a round trip after it connects, so only a stranger holds a
// place that long.
inline constexpr size_t kMostSocksNegotiations = 128;
inline constexpr double kSocksSignInSeconds = 2;
// Seconds to connect to a WebSocket's origin and have its answer's head,
// TLS and the request head included, on the clock.
inline constexpr unsigned kWebSocketConnectSeconds = 30;
// Seconds, on the clock, a WebSocket (or the answer to an upgrade that was
// refused) stays open with no byte either way: well above the ping
// interval of servers that keep their sockets alive (half a minute to a
// minute), so that only a forgotten one ends.
inline constexpr unsigned kWebSocketIdleSeconds = 300;
// The most bytes of an origin's answer head the proxy reads itself (a
// WebSocket's), and the most field lines in it.
inline constexpr size_t kMostOriginHeadBytes = 64 * 1024;

// Tunnels (ProxyServer)

// Seconds a tunnel's TLS handshake may take, on the clock.
inline constexpr unsigned kHandshakeSeconds = 10;
// Tunnels open at once; more CONNECTs are refused with 503.
inline constexpr size_t kMostTunnels = 512;

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
// own page's fair part is refused with 503. Once shares gave back
// kReturnedBytes since the last time, what the process's allocator keeps
// free goes back to the system (at most once a second): a burst of uploads
// leaves the app as large as what it still holds.
class BodyBudget {
public:
    static constexpr std::int64_t kBytes = std::int64_t(128) << 20;
    static constexpr std::int64_t kReturnedBytes = std::int64_t(32) << 20;

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
        // Gives back what it takes beyond bytes (a byte at least).
        void shrinkTo(std::int64_t bytes);
        [[nodiscard]] std::int64_t bytes() const;
        [[nodiscard]] bool lost() const;

    private:
        struct Entry;
        void release();
        std::shared_ptr<Entry> entry_;
    };

    // The bytes all shares hold now; safe from any thread.
    [[nodiscard]] static std::int64_t used();

private:
    // Shares gave bytes back; safe from any thread.
    static void returned(std::int64_t bytes);
};

// Places for onward loads waiting for their answer: a page (by id; 0 for
// loads of no page) has at most kMostPerPage at once, and all pages
// kMostInAll; a load beyond them waits for a place, in the order they came.
// A load keeps its place until its answer starts or it ends, so that loads
// to servers that never answer hold a bounded part of the app's
// descriptors, whatever a page starts. The engine itself opens at most six
// connections to a host and about 256 in all, each of them a load here at
// most: the bounds stand above those, so that a page's loads that never end
// stop its others, or another page's, no sooner than they would in the
// engine alone; they bound what clients other than the engine could hold.
class LoadPlaces {
public:
    static constexpr size_t kMostPerPage = 320;
    static constexpr size_t kMostInAll = 1024;

    // A place, given back when it goes.
    class Place {
    public:
        Place() = default;
        Place(Place&& other) noexcept
            : places_(std::exchange(other.places_, nullptr)), page_(other.page_) {}
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
// fewer than kReserved free for the rest of the app (ProxyServer counts
// them: client connections and the sockets that linger after them until
// they are closed, tunnels' handshakes, onward loads and WebSocket origins).
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
