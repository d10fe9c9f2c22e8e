#pragma once
// One client connection of the engine proxy, over TCP or over the TLS of a
// tunnel the proxy ended: it reads request heads (handing each to the
// server), reads a request's body when asked, and writes the answer in
// HTTP/1.1 framing, one request at a time. What a client wrote reaches the
// server as bytes (ProxyHead); what the server answers goes out as given.
//
// Between requests it waits clientIdleSeconds() for the next; every head
// must be whole kHeadSeconds after its first byte is read (see
// ProxyGuards.h for the bounds); a body may not go kBodyIdleSeconds without
// a byte while it is read (its reader may pause it). It reads at most
// kMostBytesReadPerTurn in one turn of the loop, and reads on in the next.
// While a request is under way it reads nothing more (a pipelined request
// waits), but hears the client hang up. An answer that starts before the
// body was read to its end says "Connection: close". After an answer the
// connection serves the next request, unless either side asked to close or
// a body was left unread: then it ends, and the server reads and drops what
// the client still sends until it stops (Server::linger), so that the
// client reads the answer rather than a reset.
//
// The proxy's thread only. A connection lives while its socket is open and
// for as long as its request or the server holds it.

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/HTTPHeaders.h"
#include "core/Timer.h"
#include "web/proxy/ProxyHead.h"

namespace web::proxy {

class Server;

// Where a tunnel's requests go.
struct Destination {
    std::string host;  // without brackets
    int port = 0;
    bool secure = true;  // https; plain http through a SOCKS connection
};

class Connection final : public std::enable_shared_from_this<Connection> {
    struct Private {};

public:
    // The request under way on the connection: what it hears of its answer.
    // The connection holds it until the answer is out or the client went.
    // Each is told after what runs at the time, never from within a call
    // of the request's own.
    class Request {
    public:
        virtual ~Request() = default;
        // The client took some of the answer: queued() fell.
        virtual void wrote() {}
        // The client hung up, or the connection broke, before the answer
        // was out; nothing more can be written.
        virtual void hungUp() {}
        // All of the answer is out: its declared length, or its end.
        virtual void answered() {}
    };

    // stream: the connection's (a socket connection, or TLS over one);
    // socket: the TCP socket beneath it. The connection reads from now on.
    static std::shared_ptr<Connection> open(Server& server, GIOStream* stream, GSocket* socket,
                                            std::optional<Destination> tunnel);
    Connection(Private, Server& server, GIOStream* stream, GSocket* socket,
               std::optional<Destination> tunnel);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    [[nodiscard]] const std::optional<Destination>& tunnel() const { return tunnel_; }
    [[nodiscard]] GSocket* socket() const { return socket_; }
    // No byte came on it yet, and none waits to be read.
    [[nodiscard]] bool silent() const;
    [[nodiscard]] bool open() const { return state_ != State::closed; }

    // The request whose head the server was handed; the connection keeps
    // it until it ends.
    void serve(std::shared_ptr<Request> request);

    // Reads the request's body as its head framed it: piece() with its
    // bytes as they come (empty for a read of chunk framing alone, so that
    // every read can be refused), then done(true) at its end, or done(false) once it
    // broke off (a chunked body that is malformed, or whose size lines or
    // trailers pass their bounds), stalled for kBodyIdleSeconds, or the
    // connection ended. A piece() that answers false stops the reading,
    // done() unheard: the rest stays unread, and the connection ends after
    // the answer.
    void readBody(std::function<bool(std::string_view)> piece, std::function<void(bool)> done);
    // While paused, the body being read is read no further (its bytes wait
    // in the socket, and TCP holds the client back) and its deadline does
    // not run: the wait is the reader's, not the client's. A hang-up is
    // heard as it arrives, which is behind whatever the client still had
    // to send: often only once reading goes on. Any time; a new body starts
    // unpaused.
    void setBodyPaused(bool paused);
    // "100 Continue", for a client that waits for it before its body.
    void sendContinue();

    // The answer's head, and how its body is framed: fields that carry no
    // Content-Length (length) or Transfer-Encoding (chunked) get one here
    // (those they carry must tell the same framing); with none, the answer
    // is whole once its head is out; with close, once the connection ends
    // after it.
    void answer(int status, const std::optional<std::string>& reason, core::HTTPHeaders fields,
                Framing framing, std::int64_t length = 0, std::string_view version = "HTTP/1.1");
    // Bytes of the body, framed; those past a declared length are dropped.
    void send(std::string_view bytes);
    // The body has ended: a body that fell short of its declared length
    // breaks off instead.
    void finish();
    // Once what was given is out, the body breaks off: a chunked one in the
    // middle of a chunk, and the connection ends with a reset, so that no
    // client takes it for whole (the engine reads a body whose answer says
    // "Connection: close" to the connection's end, whatever its length).
    void breakOff();
    // The request fails with no answer a client could take for one: a byte
    // that no status line begins with, then the end of the connection
    // (gracefully: a body still coming is read and dropped first, so that
    // the client reads the byte rather than a reset). A client that reads
    // no byte before the connection ends may send an idempotent request
    // again on another; with one, it fails the load. An answer under way
    // breaks off instead.
    void fail();
    // A bodiless answer (Content-Length: 0 where a body could be); the
    // connection goes on unless the request's body was left unread or
    // close is set.
    void refuse(unsigned status, core::HTTPHeaders fields = {}, bool close = false);
    // The answer is the connection's last.
    void closeAfterAnswer() { keepAlive_ = false; }
    // Once the answer is out, the request's body (left unread) is read and
    // dropped, kMostRequestBodyBytes at most (framing and all) and under the
    // same deadline as a body that is kept, and the connection serves the next request:
    // a client that sends its whole body before it reads an answer, then
    // asks again on the same connection, is not cut off midway.
    void dropBodyAfterAnswer() { dropBody_ = true; }
    // Bytes of the answer given and not yet written to the client.
    [[nodiscard]] std::int64_t queued() const { return std::int64_t(out_.size() - outOffset_); }

    // Writes bytes as they are, then calls then() once they are out.
    void writeThen(std::string bytes, std::function<void()> then);
    // The stream, socket and unread bytes, given up: the connection reads,
    // writes and closes nothing more. References the caller owns.
    struct Taken {
        GIOStream* stream = nullptr;
        GSocket* socket = nullptr;
        std::string buffered;
    };
    [[nodiscard]] Taken take();

    // Ends the connection now, both ways.
    void abort();
    // Ends it with a reset, which no client reads as the end of an answer.
    void reset();

private:
    enum class State { head, request, closing, closed };

    void startReading();
    void stopReading();
    void readAvailable();
    void received(std::string_view bytes);
    void parseHeads();
    void bodyBytes();
    // Goes on reading the body, after what runs now, unless paused.
    void resumeBody();
    void endBody(bool whole);
    void watchHangUp();
    void stopWatchingHangUp();
    void clientWent();
    void enqueue(std::string_view bytes);
    void flush();
    void flushed();
    void answerEnded();
    void nextRequest();
    void dropBody();
    void closeGracefully();
    void linger();
    void startIdleTimer();
    void stopIdleTimer();
    void stopTimers();
    void closeStream();

    Server& server_;
    GIOStream* stream_;
    GSocket* socket_;
    GPollableInputStream* input_;
    GPollableOutputStream* output_;
    const std::optional<Destination> tunnel_;
    State state_ = State::head;
    bool everReceived_ = false;

    std::string in_;
    // The head being read from in_, what it read kept across reads.
    HeadReader headReader_;
    GSource* readSource_ = nullptr;
    GSource* writeSource_ = nullptr;
    GSource* hangUpSource_ = nullptr;
    GSource* idleSource_ = nullptr;
    std::shared_ptr<core::Timer> headDeadline_;
    std::shared_ptr<core::Timer> bodyDeadline_;
    double lastBodyByte_ = 0;

    std::shared_ptr<Request> request_;
    bool keepAlive_ = true;
    // The request's body, while it is unread or being read.
    Framing bodyFraming_ = Framing::none;
    std::int64_t bodyLeft_ = 0;
    // Of the body: bytes read, its chunked framing included, and of them
    // its data.
    std::int64_t bodyBytesRead_ = 0;
    std::int64_t bodyDataRead_ = 0;
    ChunkedReader chunked_;
    bool readingBody_ = false;
    bool bodyPaused_ = false;
    bool dropBody_ = false;
    std::function<bool(std::string_view)> bodyPiece_;
    std::function<void(bool)> bodyDone_;

    // The answer.
    bool answering_ = false;
    Framing answerFraming_ = Framing::none;
    std::int64_t answerLeft_ = 0;
    bool answerEnding_ = false;
    bool breaking_ = false;
    std::string out_;
    size_t outOffset_ = 0;
    std::function<void()> whenFlushed_;
};

}  // namespace web::proxy
