#include "web/proxy/ProxyExchange.h"

#include <glib-unix.h>
#include <poll.h>

#include <limits>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "web/TrustedAuthorities.h"
#include "web/proxy/EngineProxy.h"
#include "web/proxy/ProxyMessages.h"

namespace web::proxy {

void Exchange::start(const Server& server, SoupServerMessage* message, core::URLRequest request,
                     BodyBudget::Share held) {
    auto exchange = std::make_shared<Exchange>(Private{}, server, message, std::move(held));
    exchange->self_ = exchange;
    soup_server_message_pause(message);
    g_signal_connect(message, "finished", G_CALLBACK(finished), exchange.get());
    g_signal_connect(message, "wrote-headers", G_CALLBACK(wroteHeaders), exchange.get());
    g_signal_connect(message, "wrote-chunk", G_CALLBACK(wroteChunk), exchange.get());
    g_signal_connect(message, "wrote-body-data", G_CALLBACK(wroteBodyData), exchange.get());
    exchange->watchClient();
    // From here the onward load's idle limit holds, and the client takes the
    // answer at its own pace; the next request on the connection sets the
    // idle time-out again.
    if (exchange->socket_) g_socket_set_timeout(exchange->socket_, 0);

    auto onward = configuration();
    onward.refusedLocalPorts = server.ownPorts();
    auto connection = core::URLConnection::create(std::move(request), exchange, std::move(onward));
    // The body streams through: nothing keeps a copy of it.
    connection->setOffersResponseToCache(false);
    connection->scheduleInRunLoop(core::RunLoop::current());
    exchange->connection_ = connection;
    exchange->touch();
    exchange->idle_ =
        core::Timer::schedule(core::RunLoop::current(), kIdleSeconds, false,
                              [weak = std::weak_ptr<Exchange>(exchange)](core::Timer& timer) {
                                  if (const auto exchange = weak.lock()) exchange->idleCheck(timer);
                              });
    connection->start();
}

core::URLSessionConfiguration Exchange::configuration() {
    core::URLSessionConfiguration configuration;
    const double forever = std::numeric_limits<double>::infinity();
    configuration.timeoutIntervalForRequest = forever;
    configuration.timeoutIntervalForResource = forever;
    configuration.maximumResponseBytes = std::numeric_limits<std::int64_t>::max();
    if (std::string authorities = TrustedAuthorities::pemSetInCode(); !authorities.empty())
        configuration.trustedCertificatesPEM = std::move(authorities);
    return configuration;
}

Exchange::Exchange(Private, const Server& server, SoupServerMessage* message,
                   BodyBudget::Share held)
    : server_(server), message_(SOUP_SERVER_MESSAGE(g_object_ref(message))),
      held_(std::move(held)) {
    if (GSocket* socket = server.clientSocket(message)) socket_ = G_SOCKET(g_object_ref(socket));
}

Exchange::~Exchange() {
    if (idle_) idle_->invalidate();
    stopWatching();
    g_signal_handlers_disconnect_by_data(message_, this);
    g_object_unref(message_);
    g_clear_object(&socket_);
}

std::optional<core::URLRequest> Exchange::willSendRequest(core::URLConnection&, core::URLRequest,
                                                          const core::HTTPURLResponse&) {
    return std::nullopt;  // the engine follows redirects itself
}

void Exchange::didReceiveResponse(core::URLConnection&, const core::HTTPURLResponse& response) {
    touch();
    if (messageDone_) return;
    answered_ = true;
    hasBody_ = answer(message_, response);
    SoupMessageHeaders* headers = soup_server_message_get_response_headers(message_);
    const SoupEncoding encoding = soup_message_headers_get_encoding(headers);
    chunked_ = hasBody_ && encoding == SOUP_ENCODING_CHUNKED;
    if (hasBody_ && encoding == SOUP_ENCODING_CONTENT_LENGTH)
        declaredBytes_ = std::int64_t(soup_message_headers_get_content_length(headers));
    SoupMessageBody* body = soup_server_message_get_response_body(message_);
    soup_message_body_set_accumulate(body, FALSE);
    if (!hasBody_) soup_message_body_complete(body);
    soup_server_message_unpause(message_);
}

void Exchange::didReceiveData(core::URLConnection&, const core::Data& data) {
    touch();
    if (messageDone_ || !hasBody_ || data.empty()) return;
    soup_message_body_append(soup_server_message_get_response_body(message_), SOUP_MEMORY_COPY,
                             data.data(), data.size());
    ++chunksAppended_;
    bytesAppended_ += std::int64_t(data.size());
    regulate();
    soup_server_message_unpause(message_);
}

void Exchange::regulate() {
    const std::int64_t held = bytesAppended_ - bytesWritten_;
    const bool pause = paused_ ? held > kMostHeldBytes / 4 : held >= kMostHeldBytes;
    if (pause == paused_ || !loading_) return;
    paused_ = pause;
    // The wait is the engine's: the idle limit starts again when it ends.
    touch();
    connection_->setReceivingPaused(pause);
}

void Exchange::touch() {
    lastActivity_ = core::Clock::current()->monotonicSeconds();
}

void Exchange::idleCheck(core::Timer& timer) {
    if (!loading_) return;
    const double now = core::Clock::current()->monotonicSeconds();
    if (paused_ || now - lastActivity_ < kIdleSeconds) {
        timer.setFireDate((paused_ ? now : lastActivity_) + kIdleSeconds);
        return;
    }
    loading_ = false;
    const auto connection = connection_;
    connection->cancel();
    const std::string url = connection->originalRequest().url().absoluteString();
    didFailWithError(*connection,
                     core::NetworkError::make(core::NetworkError::Code::timedOut, url,
                                              "Request to " + url + " timed out: no data for " +
                                                  std::to_string(int(kIdleSeconds)) + " s"));
}

std::optional<core::CachedURLResponse> Exchange::willCacheResponse(core::URLConnection&,
                                                                   core::CachedURLResponse) {
    return std::nullopt;
}

void Exchange::noteAnswered(const core::URLRequest& request) {
    if (isDocumentRequest(request))
        EngineProxy::noteDocument(request.property(protocol::kPageIdProperty)->uintValue(),
                                  request.url().absoluteString(),
                                  EngineProxy::DocumentStage::answered);
}

bool Exchange::wroteWholeAnswer() const {
    return answered_ && !breakPending_ && headersWritten_ &&
           (!hasBody_ || (declaredBytes_ >= 0 && bytesWritten_ >= declaredBytes_));
}

void Exchange::didFinishLoading(core::URLConnection& connection) {
    stopWatching();
    noteAnswered(connection.originalRequest());
    if (!messageDone_) {
        if (hasBody_) soup_message_body_complete(soup_server_message_get_response_body(message_));
        soup_server_message_unpause(message_);
    }
    loadEnded();
}

void Exchange::didFailWithError(core::URLConnection& connection, const core::NetworkError& error) {
    stopWatching();
    // The page's view hears what failed: the engine sees the answer break off.
    const core::URLRequest& request = connection.originalRequest();
    if (const auto page = request.property(protocol::kPageIdProperty)) {
        EngineProxy::noteFailure(page->uintValue(), request.url().absoluteString(),
                                 {error.platformCode(), error.message});
    }
    if (!messageDone_) {
        if (!answered_) {
            answerFailure(server_, message_, error);
        } else {
            breakOffWhenWritten();
        }
    }
    loadEnded();
}

void Exchange::breakOffWhenWritten() {
    breakPending_ = true;
    breakOffIfWritten(false);
}

void Exchange::breakOffIfWritten(bool writing) {
    if (!breakPending_ || !headersWritten_ || chunksWritten_ < chunksAppended_ || messageDone_)
        return;
    breakPending_ = false;
    if (chunked_ && socket_) {
        // A chunked body that ends where a chunk ends reads as whole to
        // some clients: the start of a chunk that never comes makes it a
        // broken one to all. libsoup has written everything it was given.
        static constexpr char kUnfinishedChunk[] = "1\r\n";
        (void)g_socket_send(socket_, kUnfinishedChunk, sizeof kUnfinishedChunk - 1, nullptr,
                            nullptr);
    }
    breakOff(socket_);
    // What libsoup writes next fails, and the message ends.
    soup_message_body_complete(soup_server_message_get_response_body(message_));
    if (!writing) soup_server_message_unpause(message_);
}

void Exchange::wroteHeaders(SoupServerMessage*, gpointer data) {
    auto& exchange = *static_cast<Exchange*>(data);
    exchange.headersWritten_ = true;
    exchange.breakOffIfWritten(true);
}

void Exchange::wroteChunk(SoupServerMessage*, gpointer data) {
    auto& exchange = *static_cast<Exchange*>(data);
    ++exchange.chunksWritten_;
    exchange.breakOffIfWritten(true);
}

void Exchange::wroteBodyData(SoupServerMessage*, guint size, gpointer data) {
    auto& exchange = *static_cast<Exchange*>(data);
    exchange.bytesWritten_ += size;
    if (exchange.paused_) exchange.regulate();
}

void Exchange::watchClient() {
    if (!socket_) return;
    // The peer's end of the stream (a hang-up, even with a TLS alert unread
    // before it) or a reset.
    watch_ = g_unix_fd_source_new(g_socket_get_fd(socket_),
                                  GIOCondition(POLLRDHUP | G_IO_HUP | G_IO_ERR));
    g_source_set_callback(watch_, G_SOURCE_FUNC(hungUp), this, nullptr);
    g_source_attach(watch_, g_main_context_get_thread_default());
}

void Exchange::stopWatching() {
    if (!watch_) return;
    g_source_destroy(watch_);
    g_source_unref(watch_);
    watch_ = nullptr;
}

gboolean Exchange::hungUp(gint, GIOCondition, gpointer data) {
    static_cast<Exchange*>(data)->clientHungUp();
    return G_SOURCE_REMOVE;
}

void Exchange::clientHungUp() {
    stopWatching();
    if (loading_) {
        if (wroteWholeAnswer()) noteAnswered(connection_->originalRequest());
        loading_ = false;
        connection_->cancel();
    }
    if (messageDone_) return;
    // libsoup, paused, has not seen it: an answer it cannot write ends the
    // message.
    breakOff(socket_);
    if (!answered_) soup_server_message_set_status(message_, SOUP_STATUS_BAD_GATEWAY, nullptr);
    soup_message_body_complete(soup_server_message_get_response_body(message_));
    soup_server_message_unpause(message_);
}

void Exchange::loadEnded() {
    loading_ = false;
    if (idle_) idle_->invalidate();
    // The request and its body are no longer needed.
    connection_.reset();
    held_ = {};
    if (messageDone_) {
        const auto keep = std::move(self_);
    }
}

void Exchange::finished(SoupServerMessage*, gpointer data) {
    auto& exchange = *static_cast<Exchange*>(data);
    const auto keep = exchange.self_;
    exchange.messageDone_ = true;
    exchange.stopWatching();
    if (exchange.idle_) exchange.idle_->invalidate();
    if (exchange.loading_) {
        // With its declared length written, the engine has the whole answer
        // before the onward load tells its end, which the cancel stops.
        if (exchange.wroteWholeAnswer()) noteAnswered(exchange.connection_->originalRequest());
        exchange.loading_ = false;
        exchange.connection_->cancel();
    }
    exchange.self_.reset();
}

}  // namespace web::proxy
