#include "web/proxy/ProxyConnection.h"

#include <glib-unix.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "web/proxy/ProxyGuards.h"
#include "web/proxy/ProxyMessages.h"
#include "web/proxy/ProxyServer.h"

namespace web::proxy {

namespace {

// Bytes read from a client at once.
constexpr size_t kReadBytes = 64 * 1024;
// Bytes handed to the stream in one write.
constexpr size_t kWriteBytes = 256 * 1024;

// Runs task on the proxy's loop, after what runs now, while the
// connection lives.
void later(const std::shared_ptr<Connection>& connection, std::function<void(Connection&)> task) {
    core::RunLoop::current().post(
        [weak = std::weak_ptr<Connection>(connection), task = std::move(task)] {
            if (const auto held = weak.lock()) task(*held);
        });
}

void destroySource(GSource*& source) {
    if (!source) return;
    g_source_destroy(source);
    g_source_unref(source);
    source = nullptr;
}

}  // namespace

std::shared_ptr<Connection> Connection::open(Server& server, GIOStream* stream, GSocket* socket,
                                             std::optional<Destination> tunnel) {
    auto connection =
        std::make_shared<Connection>(Private{}, server, stream, socket, std::move(tunnel));
    connection->startIdleTimer();
    connection->startReading();
    return connection;
}

Connection::Connection(Private, Server& server, GIOStream* stream, GSocket* socket,
                       std::optional<Destination> tunnel)
    : server_(server), stream_(G_IO_STREAM(g_object_ref(stream))),
      socket_(G_SOCKET(g_object_ref(socket))),
      input_(G_POLLABLE_INPUT_STREAM(g_io_stream_get_input_stream(stream))),
      output_(G_POLLABLE_OUTPUT_STREAM(g_io_stream_get_output_stream(stream))),
      tunnel_(std::move(tunnel)) {
    (void)g_socket_set_option(socket_, IPPROTO_TCP, TCP_NODELAY, 1, nullptr);
    server_.connectionOpened(*this);
}

Connection::~Connection() {
    stopReading();
    stopWatchingHangUp();
    destroySource(writeSource_);
    stopTimers();
    if (stream_) closeStream();
    g_clear_object(&socket_);
}

bool Connection::silent() const {
    return !everReceived_ && in_.empty() && g_socket_get_available_bytes(socket_) <= 0;
}

// Reading

void Connection::startReading() {
    if (readSource_ || state_ == State::closed) return;
    readSource_ = g_pollable_input_stream_create_source(input_, nullptr);
    g_source_set_callback(readSource_, G_SOURCE_FUNC(+[](GObject*, gpointer data) -> gboolean {
                              auto& connection = *static_cast<Connection*>(data);
                              g_source_unref(std::exchange(connection.readSource_, nullptr));
                              const auto keep = connection.shared_from_this();
                              connection.readAvailable();
                              return G_SOURCE_REMOVE;
                          }),
                          this, nullptr);
    g_source_attach(readSource_, g_main_context_get_thread_default());
}

void Connection::stopReading() {
    destroySource(readSource_);
}

void Connection::readAvailable() {
    char buffer[kReadBytes];
    size_t read = 0;
    while (state_ != State::closed && !readSource_) {
        const bool wanted = state_ == State::head || (readingBody_ && !bodyPaused_);
        if (!wanted) return;
        if (read >= kMostBytesReadPerTurn) {
            // The rest in the loop's next turn: its timers and the other
            // connections first.
            later(shared_from_this(), [](Connection& connection) { connection.readAvailable(); });
            return;
        }
        GError* error = nullptr;
        const gssize count = g_pollable_input_stream_read_nonblocking(input_, buffer, sizeof buffer,
                                                                      nullptr, &error);
        if (count > 0) {
            read += size_t(count);
            received(std::string_view(buffer, size_t(count)));
            continue;
        }
        const bool again = error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
        g_clear_error(&error);
        if (again) {
            startReading();
            return;
        }
        // The client has gone, or the stream broke.
        clientWent();
        return;
    }
}

void Connection::received(std::string_view bytes) {
    everReceived_ = true;
    stopIdleTimer();
    in_.append(bytes);
    if (state_ == State::head) {
        parseHeads();
    } else if (readingBody_) {
        bodyBytes();
    }
}

void Connection::parseHeads() {
    if (state_ != State::head || in_.empty()) return;
    // Every head has its deadline, from the time its first byte is read
    // (or, for one that came with the request before it, from the time the
    // connection turns to it).
    if (!headDeadline_) {
        std::weak_ptr<Connection> weak = shared_from_this();
        headDeadline_ = core::Timer::schedule(core::RunLoop::current(), kHeadSeconds, false,
                                              [weak](core::Timer&) {
                                                  if (const auto held = weak.lock()) held->abort();
                                              });
    }
    HeadParse parse = headReader_.read(in_);
    if (!parse.head && parse.refusal == 0) {
        server_.holding(*this, in_.size());
        return;
    }
    headReader_ = HeadReader();
    if (headDeadline_) headDeadline_->invalidate();
    headDeadline_.reset();
    server_.holding(*this, 0);
    if (!parse.head) {
        // Nothing after a head that could not be read can be read either.
        in_.clear();
        state_ = State::request;
        bodyFraming_ = Framing::none;
        keepAlive_ = false;
        stopReading();
        refuse(parse.refusal, {}, true);
        return;
    }
    in_.erase(0, parse.consumed);
    RequestHead head = std::move(*parse.head);
    state_ = State::request;
    keepAlive_ = head.keepAlive;
    bodyFraming_ = head.framing;
    bodyLeft_ = head.framing == Framing::length ? head.length : 0;
    bodyBytesRead_ = 0;
    bodyDataRead_ = 0;
    chunked_ = ChunkedReader();
    stopReading();
    watchHangUp();
    server_.handle(shared_from_this(), std::move(head));
}

void Connection::readBody(std::function<bool(std::string_view)> piece,
                          std::function<void(bool)> done) {
    if (state_ != State::request || bodyFraming_ == Framing::none) {
        if (done) done(state_ == State::request);
        return;
    }
    bodyPiece_ = std::move(piece);
    bodyDone_ = std::move(done);
    readingBody_ = true;
    bodyPaused_ = false;
    stopWatchingHangUp();
    lastBodyByte_ = core::Clock::current()->monotonicSeconds();
    std::weak_ptr<Connection> weak = shared_from_this();
    bodyDeadline_ = core::Timer::schedule(
        core::RunLoop::current(), kBodyIdleSeconds, false, [weak](core::Timer& timer) {
            const auto held = weak.lock();
            if (!held) return;
            const double now = core::Clock::current()->monotonicSeconds();
            if (held->bodyPaused_) held->lastBodyByte_ = now;
            if (now - held->lastBodyByte_ < kBodyIdleSeconds) {
                timer.setFireDate(held->lastBodyByte_ + kBodyIdleSeconds);
                return;
            }
            held->endBody(false);
        });
    // What came with the head.
    resumeBody();
}

void Connection::resumeBody() {
    later(shared_from_this(), [](Connection& connection) {
        if (!connection.readingBody_ || connection.bodyPaused_) return;
        if (!connection.in_.empty()) connection.bodyBytes();
        if (connection.readingBody_) connection.readAvailable();
    });
}

void Connection::setBodyPaused(bool paused) {
    if (bodyPaused_ == paused) return;
    bodyPaused_ = paused;
    if (!readingBody_) return;
    if (paused) {
        stopReading();
        watchHangUp();
        return;
    }
    stopWatchingHangUp();
    lastBodyByte_ = core::Clock::current()->monotonicSeconds();
    resumeBody();
}

void Connection::sendContinue() {
    if (state_ == State::request && !answering_) enqueue("HTTP/1.1 100 Continue\r\n\r\n");
}

void Connection::bodyBytes() {
    lastBodyByte_ = core::Clock::current()->monotonicSeconds();
    std::string piece;
    size_t taken = 0;
    bool ended = false;
    if (bodyFraming_ == Framing::length) {
        taken = size_t(std::min<std::int64_t>(bodyLeft_, std::int64_t(in_.size())));
        piece = in_.substr(0, taken);
        bodyLeft_ -= std::int64_t(taken);
        ended = bodyLeft_ == 0;
    } else {
        const auto state = chunked_.feed(in_, piece, taken);
        bodyDataRead_ += std::int64_t(piece.size());
        const std::int64_t framing = bodyBytesRead_ + std::int64_t(taken) - bodyDataRead_;
        if (state == ChunkedReader::State::malformed ||
            framing > kMostFramingBytes + kMostFramingBytesPerDataByte * bodyDataRead_) {
            in_.clear();
            endBody(false);
            return;
        }
        ended = state == ChunkedReader::State::ended;
    }
    in_.erase(0, taken);
    bodyBytesRead_ += std::int64_t(taken);
    if (taken > 0 && bodyPiece_ && !bodyPiece_(piece)) {
        // Refused: the rest stays unread, and the connection ends after the
        // answer.
        readingBody_ = false;
        keepAlive_ = false;
        stopReading();
        if (bodyDeadline_) bodyDeadline_->invalidate();
        bodyDeadline_.reset();
        bodyPiece_ = nullptr;
        bodyDone_ = nullptr;
        // With its answer out already, the connection ends now.
        if (answering_ || request_) {
            watchHangUp();
        } else {
            closeGracefully();
        }
        return;
    }
    if (ended) {
        bodyFraming_ = Framing::none;
        endBody(true);
    }
}

void Connection::endBody(bool whole) {
    if (!readingBody_) return;
    readingBody_ = false;
    bodyPaused_ = false;
    stopReading();
    if (bodyDeadline_) bodyDeadline_->invalidate();
    bodyDeadline_.reset();
    bodyPiece_ = nullptr;
    auto done = std::move(bodyDone_);
    const auto keep = shared_from_this();
    if (!whole) {
        abort();
    } else {
        watchHangUp();
    }
    if (done) done(whole);
}

// Hang-ups while a request is under way

void Connection::watchHangUp() {
    if (hangUpSource_ || state_ == State::closed) return;
    hangUpSource_ = g_unix_fd_source_new(g_socket_get_fd(socket_),
                                         GIOCondition(POLLRDHUP | G_IO_HUP | G_IO_ERR));
    g_source_set_callback(hangUpSource_,
                          G_SOURCE_FUNC(+[](gint, GIOCondition, gpointer data) -> gboolean {
                              auto& connection = *static_cast<Connection*>(data);
                              g_source_unref(std::exchange(connection.hangUpSource_, nullptr));
                              const auto keep = connection.shared_from_this();
                              connection.clientWent();
                              return G_SOURCE_REMOVE;
                          }),
                          this, nullptr);
    g_source_attach(hangUpSource_, g_main_context_get_thread_default());
}

void Connection::stopWatchingHangUp() {
    destroySource(hangUpSource_);
}

void Connection::clientWent() {
    if (state_ == State::closed) return;
    const auto keep = shared_from_this();
    const bool hadBody = readingBody_;
    abort();
    if (hadBody) endBody(false);
}

// Writing

void Connection::enqueue(std::string_view bytes) {
    if (state_ == State::closed || bytes.empty()) return;
    if (outOffset_ > 0 && outOffset_ == out_.size()) {
        out_.clear();
        outOffset_ = 0;
    }
    out_.append(bytes);
    flush();
}

void Connection::flush() {
    if (writeSource_ || state_ == State::closed) return;
    bool wrote = false;
    while (outOffset_ < out_.size()) {
        GError* error = nullptr;
        const size_t size = std::min(out_.size() - outOffset_, kWriteBytes);
        const gssize count = g_pollable_output_stream_write_nonblocking(
            output_, out_.data() + outOffset_, size, nullptr, &error);
        if (count > 0) {
            outOffset_ += size_t(count);
            wrote = true;
            continue;
        }
        const bool again = error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
        g_clear_error(&error);
        if (!again) {
            later(shared_from_this(), [](Connection& connection) { connection.clientWent(); });
            return;
        }
        writeSource_ = g_pollable_output_stream_create_source(output_, nullptr);
        g_source_set_callback(writeSource_, G_SOURCE_FUNC(+[](GObject*, gpointer data) -> gboolean {
                                  auto& connection = *static_cast<Connection*>(data);
                                  g_source_unref(std::exchange(connection.writeSource_, nullptr));
                                  const auto keep = connection.shared_from_this();
                                  connection.flush();
                                  return G_SOURCE_REMOVE;
                              }),
                              this, nullptr);
        g_source_attach(writeSource_, g_main_context_get_thread_default());
        break;
    }
    if (outOffset_ > (size_t(1) << 20) && outOffset_ * 2 > out_.size()) {
        out_.erase(0, outOffset_);
        outOffset_ = 0;
    }
    if (wrote && request_) {
        later(shared_from_this(), [](Connection& connection) {
            if (connection.request_) connection.request_->wrote();
        });
    }
    if (outOffset_ == out_.size()) flushed();
}

void Connection::flushed() {
    if (auto then = std::move(whenFlushed_)) {
        then();
        return;
    }
    if (breaking_) {
        reset();
        return;
    }
    if (answerEnding_) answerEnded();
}

void Connection::writeThen(std::string bytes, std::function<void()> then) {
    whenFlushed_ = std::move(then);
    if (bytes.empty()) {
        flush();
        if (outOffset_ == out_.size()) flushed();
        return;
    }
    enqueue(bytes);
}

void Connection::answer(int status, const std::optional<std::string>& reason,
                        core::HTTPHeaders fields, Framing framing, std::int64_t length,
                        std::string_view version) {
    if (state_ != State::request || answering_) return;
    answering_ = true;
    answerFraming_ = framing;
    answerLeft_ = framing == Framing::length ? length : 0;
    if (framing == Framing::length && !fields.contains("Content-Length"))
        fields.add("Content-Length", std::to_string(length));
    if (framing == Framing::chunked && !fields.contains("Transfer-Encoding"))
        fields.add("Transfer-Encoding", "chunked");
    // A body not read to its end yet ends the connection after the answer.
    if (bodyFraming_ != Framing::none && !dropBody_) keepAlive_ = false;
    if (framing == Framing::close) {
        // Its end is the connection's, which needs no word of its own.
        keepAlive_ = false;
    } else if (const auto listed = connectionTokens(fields);
               !keepAlive_ && std::find(listed.begin(), listed.end(), "close") == listed.end()) {
        fields.set("Connection", "close");
    }
    answerEnding_ = framing == Framing::none || (framing == Framing::length && length == 0);
    enqueue(answerHead(status, reason, fields, version));
    if (answerEnding_ && outOffset_ == out_.size()) flushed();
}

void Connection::send(std::string_view bytes) {
    if (!answering_ || answerEnding_ || breaking_ || bytes.empty()) return;
    if (answerFraming_ == Framing::length) {
        bytes = bytes.substr(0, size_t(std::min<std::int64_t>(answerLeft_, bytes.size())));
        answerLeft_ -= std::int64_t(bytes.size());
        // The client has the whole answer once these are out.
        answerEnding_ = answerLeft_ == 0;
        enqueue(bytes);
    } else if (answerFraming_ == Framing::chunked) {
        enqueue(chunkOf(bytes));
    } else if (answerFraming_ == Framing::close) {
        enqueue(bytes);
    }
}

void Connection::finish() {
    if (!answering_ || answerEnding_ || breaking_) return;
    if (answerFraming_ == Framing::length && answerLeft_ > 0) return breakOff();
    answerEnding_ = true;
    if (answerFraming_ == Framing::chunked) {
        enqueue(kLastChunk);
    } else if (outOffset_ == out_.size()) {
        flushed();
    }
}

void Connection::breakOff() {
    if (state_ == State::closed || breaking_) return;
    breaking_ = true;
    answerEnding_ = false;
    // The start of a chunk that never comes: no client reads that as whole.
    if (answering_ && answerFraming_ == Framing::chunked) {
        enqueue("1\r\n");
    } else if (outOffset_ == out_.size()) {
        flushed();
    }
}

void Connection::fail() {
    if (state_ != State::request) return;
    if (answering_) return breakOff();
    answering_ = true;  // nothing else answers it
    keepAlive_ = false;
    writeThen(std::string(1, '\0'), [weak = weak_from_this()] {
        if (const auto held = weak.lock()) held->closeGracefully();
    });
}

void Connection::refuse(unsigned status, core::HTTPHeaders fields, bool close) {
    if (close) keepAlive_ = false;
    const bool bodiless = status == 204 || status == 304 || (status >= 100 && status < 200);
    answer(int(status), std::nullopt, std::move(fields), bodiless ? Framing::none : Framing::length,
           0);
}

void Connection::answerEnded() {
    answerEnding_ = false;
    answering_ = false;
    // Told after what runs now, as the next request may follow.
    if (auto request = std::move(request_))
        core::RunLoop::current().post([request] { request->answered(); });
    later(shared_from_this(), [](Connection& connection) { connection.nextRequest(); });
}

void Connection::nextRequest() {
    if (state_ != State::request || answering_) return;
    if (dropBody_ && keepAlive_ && bodyFraming_ != Framing::none) return dropBody();
    stopWatchingHangUp();
    if (!keepAlive_ || bodyFraming_ != Framing::none) {
        closeGracefully();
        return;
    }
    state_ = State::head;
    breaking_ = false;
    dropBody_ = false;
    if (in_.empty()) startIdleTimer();
    parseHeads();
    if (state_ == State::head) startReading();
}

void Connection::dropBody() {
    dropBody_ = false;
    // Its framing counts with its data.
    readBody([this](std::string_view) { return bodyBytesRead_ <= kMostRequestBodyBytes; },
             [weak = std::weak_ptr<Connection>(shared_from_this())](bool whole) {
                 if (const auto connection = weak.lock(); connection && whole)
                     connection->nextRequest();
             });
}

void Connection::serve(std::shared_ptr<Request> request) {
    request_ = std::move(request);
}

// Ending

void Connection::closeGracefully() {
    if (state_ == State::closed) return;
    if (bodyFraming_ != Framing::none) {
        linger();
        return;
    }
    // A TLS connection says it ends; a plain one ends its half.
    (void)g_socket_shutdown(socket_, FALSE, TRUE, nullptr);
    abort();
}

void Connection::linger() {
    GIOStream* stream = std::exchange(stream_, nullptr);
    (void)g_socket_shutdown(socket_, FALSE, TRUE, nullptr);
    state_ = State::closed;
    stopReading();
    stopWatchingHangUp();
    destroySource(writeSource_);
    stopTimers();
    if (auto request = std::move(request_))
        core::RunLoop::current().post([request] { request->answered(); });
    // The server has the socket from here, and counts it until it closes.
    server_.linger(stream, socket_);
    server_.connectionClosed(*this);
}

void Connection::abort() {
    if (state_ == State::closed) return;
    state_ = State::closed;
    stopReading();
    stopWatchingHangUp();
    destroySource(writeSource_);
    stopTimers();
    if (!g_socket_is_closed(socket_)) (void)g_socket_shutdown(socket_, TRUE, TRUE, nullptr);
    closeStream();
    // A request under way hears it after what runs now.
    if (auto request = std::move(request_))
        core::RunLoop::current().post([request] { request->hungUp(); });
    server_.connectionClosed(*this);
}

void Connection::reset() {
    if (state_ == State::closed) return;
    const struct ::linger hard { 1, 0 };
    (void)setsockopt(g_socket_get_fd(socket_), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    // Closed before anything shuts it: a shutdown would send its end first.
    (void)g_socket_close(socket_, nullptr);
    abort();
}

Connection::Taken Connection::take() {
    Taken taken{std::exchange(stream_, nullptr), G_SOCKET(g_object_ref(socket_)), std::move(in_)};
    in_.clear();
    state_ = State::closed;
    stopReading();
    stopWatchingHangUp();
    destroySource(writeSource_);
    stopTimers();
    request_.reset();
    server_.connectionClosed(*this);
    return taken;
}

void Connection::closeStream() {
    if (!stream_) return;
    // On this thread, at once: the socket is shut first, so that nothing
    // (a TLS alert) waits for the client.
    if (!g_socket_is_closed(socket_)) (void)g_socket_shutdown(socket_, TRUE, TRUE, nullptr);
    (void)g_io_stream_close(stream_, nullptr, nullptr);
    g_clear_object(&stream_);
}

// Timers

void Connection::startIdleTimer() {
    stopIdleTimer();
    idleSource_ = g_timeout_source_new_seconds(clientIdleSeconds());
    g_source_set_callback(
        idleSource_,
        +[](gpointer data) -> gboolean {
            auto& connection = *static_cast<Connection*>(data);
            g_source_unref(std::exchange(connection.idleSource_, nullptr));
            const auto keep = connection.shared_from_this();
            if (connection.state_ == State::head && connection.in_.empty()) connection.abort();
            return G_SOURCE_REMOVE;
        },
        this, nullptr);
    g_source_attach(idleSource_, g_main_context_get_thread_default());
}

void Connection::stopIdleTimer() {
    destroySource(idleSource_);
}

void Connection::stopTimers() {
    stopIdleTimer();
    if (headDeadline_) headDeadline_->invalidate();
    headDeadline_.reset();
    if (bodyDeadline_) bodyDeadline_->invalidate();
    bodyDeadline_.reset();
}

}  // namespace web::proxy
