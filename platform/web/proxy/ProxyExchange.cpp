#include "web/proxy/ProxyExchange.h"

#include <limits>

#include "core/Clock.h"
#include "core/RunLoop.h"
#include "core/RunLoopQueue.h"
#include "web/TrustedAuthorities.h"
#include "web/proxy/EngineProxy.h"
#include "web/proxy/ProxyMessages.h"

namespace web::proxy {

void Exchange::start(Server& server, const std::shared_ptr<Connection>& client, RequestHead head,
                     Target target) {
    auto request = onwardRequest(head, target, server.pageMarks(), client->tunnel().has_value());
    if (!request) return client->refuse(400, {}, true);
    auto exchange = std::make_shared<Exchange>(Private{}, server, client, std::move(*request));
    server.keep(exchange);
    client->serve(exchange);
    if (isDocumentRequest(exchange->request_))
        EngineProxy::noteDocument(pageOf(exchange->request_),
                                  exchange->request_.url().absoluteString(),
                                  EngineProxy::DocumentStage::received);
    if (head.hasBody()) {
        exchange->receive(head);
        return;
    }
    // "Content-Length: 0": an empty body, which goes on as one.
    if (head.fields.contains("Content-Length")) exchange->request_.setSendsEmptyBody(true);
    exchange->queue();
}

core::URLSessionConfiguration Exchange::configuration() {
    core::URLSessionConfiguration configuration;
    const double forever = std::numeric_limits<double>::infinity();
    configuration.timeoutIntervalForRequest = forever;
    configuration.timeoutIntervalForResource = forever;
    configuration.maximumResponseBytes = std::numeric_limits<std::int64_t>::max();
    // The engine's request as it wrote it: no field of ours or libcurl's.
    configuration.userAgent.clear();
    configuration.sendsOnlyRequestFields = true;
    // An answer cut short by its connection's end reads as the engine reads
    // it.
    configuration.readsAnswersAsTheEngine = true;
    // The engine follows redirects itself: a redirect's answer streams back
    // as any other, its body of any length.
    configuration.followsRedirects = false;
    if (std::string authorities = TrustedAuthorities::pemSetInCode(); !authorities.empty())
        configuration.trustedCertificatesPEM = std::move(authorities);
    return configuration;
}

Exchange::Exchange(Private, Server& server, std::shared_ptr<Connection> client,
                   core::URLRequest request)
    : server_(server), client_(std::move(client)), request_(std::move(request)),
      method_(request_.method()) {}

Exchange::~Exchange() {
    if (idle_) idle_->invalidate();
    if (counted_) server_.descriptorClosed();
}

// The body

void Exchange::receive(const RequestHead& head) {
    std::weak_ptr<Exchange> weak = shared_from_this();
    share_ = BodyBudget::Share(pageOf(request_), [weak] {
        if (const auto exchange = weak.lock()) exchange->lostShare();
    });
    if (head.framing == Framing::length) {
        bodyLength_ = head.length;
        // What it may hold, at once.
        const std::int64_t room = std::min(head.length, kMostHeldBodyBytes);
        if (!share_.grow(room)) return client_->refuse(503, {}, true);
        if (head.length > kMostHeldBodyBytes) {
            // Longer than it may hold: it goes on as it comes, from its first
            // byte on.
            stream_ = std::make_shared<core::URLBodyStream>(bodyLength_);
            request_.setBodyStream(stream_);
        } else {
            body_.reserve(size_t(room));
        }
    }
    if (head.expectsContinue) client_->sendContinue();
    readingBody_ = true;
    client_->readBody(
        [weak](std::string_view piece) {
            // Framing alone brings nothing to take.
            if (piece.empty()) return true;
            const auto exchange = weak.lock();
            return exchange && exchange->bodyPiece(piece);
        },
        [weak](bool whole) {
            if (const auto exchange = weak.lock()) exchange->bodyEnded(whole);
        });
}

bool Exchange::bodyPiece(std::string_view piece) {
    if (!readingBody_) return false;
    const std::int64_t holding =
        (stream_ ? stream_->held() : std::int64_t(body_.size())) + std::int64_t(piece.size());
    // A body of unknown length takes its share as it fills.
    if (holding > share_.bytes() && !share_.grow(holding - share_.bytes())) {
        refuseBody();
        return false;
    }
    if (stream_) {
        // Bytes taken onward made room for these.
        touch();
        stream_->write(piece);
        // The protocols are asked with its first bytes at hand.
        if (!queued_ && stream_->held() >= kStreamedBodyStartBytes) queue();
        regulateBody();
        return true;
    }
    body_.insert(body_.end(), piece.begin(), piece.end());
    const bool more = !bodyLength_ || std::int64_t(body_.size()) < *bodyLength_;
    if (more && std::int64_t(body_.size()) >= kMostHeldBodyBytes) streamBody();
    return true;
}

void Exchange::streamBody() {
    stream_ = std::make_shared<core::URLBodyStream>(bodyLength_);
    stream_->write(std::string_view(reinterpret_cast<const char*>(body_.data()), body_.size()));
    core::Data().swap(body_);
    request_.setBodyStream(stream_);
    regulateBody();
    // The protocols are asked with its first bytes at hand.
    queue();
}

void Exchange::bodyEnded(bool whole) {
    if (!readingBody_) return;
    readingBody_ = false;
    if (stream_) {
        // One that broke off fails its load (the connection ends too).
        if (whole) {
            stream_->finish();
        } else {
            stream_->breakOff();
        }
        return;
    }
    if (!whole) return;
    if (body_.empty()) {
        // In chunks, but none with bytes: still a body.
        request_.setSendsEmptyBody(true);
    } else {
        request_.setBody(std::move(body_));
    }
    body_ = {};
    queue();
}

void Exchange::regulateBody() {
    // Until its load starts, it gathers its first bytes.
    const std::int64_t most = queued_ ? kMostStreamedBodyBytes : kStreamedBodyStartBytes;
    if (!stream_ || !readingBody_ || bodyPaused_ || stream_->held() < most) return;
    bodyPaused_ = true;
    client_->setBodyPaused(true);
    stream_->whenHeldAtMost(most / 4, [weak = weak_from_this(),
                                       loop = core::RunLoopQueue::of(core::RunLoop::current())] {
        loop->async([weak] {
            if (const auto exchange = weak.lock()) exchange->bodyDrained();
        });
    });
}

void Exchange::bodyDrained() {
    if (!bodyPaused_) return;
    bodyPaused_ = false;
    // Its first bytes gone onward, it holds little from now on.
    if (queued_) share_.shrinkTo(kStreamedBodyShare);
    touch();
    if (readingBody_ && client_) client_->setBodyPaused(false);
}

void Exchange::refuseBody() {
    readingBody_ = false;
    core::Data().swap(body_);
    share_ = {};
    // A load under way fails as its body breaks off.
    if (stream_) stream_->breakOff();
    if (!loading_ && !answered_) {
        answered_ = true;
        client_->refuse(503, {}, true);
    }
}

void Exchange::lostShare() {
    if (readingBody_ && !stream_) {
        // Still gathered whole: refused as if it had not fit.
        refuseBody();
        return;
    }
    readingBody_ = false;
    if (!loading_) {
        // Waiting for a place: it never goes on.
        request_.setBody(core::Data());
        stream_.reset();
        if (!answered_ && client_) {
            answered_ = true;
            client_->refuse(503, {}, true);
        }
        return;
    }
    const auto connection = connection_;
    connection->cancel();
    const std::string url = request_.url().absoluteString();
    didFailWithError(*connection,
                     core::NetworkError::make(core::NetworkError::Code::networkConnectionLost, url,
                                              "Request to " + url +
                                                  " ended: another page's upload needed its room"));
}

// The onward load

void Exchange::queue() {
    queued_ = true;
    std::weak_ptr<Exchange> weak = shared_from_this();
    server_.loadPlaces().take(pageOf(request_), weak, [weak](LoadPlaces::Place place) {
        const auto exchange = weak.lock();
        if (!exchange || exchange->clientDone_ || exchange->answered_) return;
        exchange->place_ = std::move(place);
        exchange->load();
    });
}

void Exchange::load() {
    auto onward = configuration();
    onward.refusedLocalPorts = server_.ownPorts();
    auto connection = core::URLConnection::create(request_, shared_from_this(), std::move(onward));
    // The body streams through: nothing keeps a copy of it.
    connection->setOffersResponseToCache(false);
    connection->scheduleInRunLoop(core::RunLoop::current());
    connection_ = connection;
    loading_ = true;
    counted_ = true;
    server_.descriptorOpened();
    touch();
    idle_ = core::Timer::schedule(
        core::RunLoop::current(), kIdleSeconds, false,
        [weak = std::weak_ptr<Exchange>(shared_from_this())](core::Timer& timer) {
            if (const auto exchange = weak.lock()) exchange->idleCheck(timer);
        });
    connection->start();
}

std::optional<core::URLRequest> Exchange::willSendRequest(core::URLConnection&, core::URLRequest,
                                                          const core::HTTPURLResponse&) {
    return std::nullopt;  // the engine follows redirects itself
}

void Exchange::didReceiveResponse(core::URLConnection&, const core::HTTPURLResponse& response) {
    touch();
    // Answered: the load no longer holds a place among those waiting.
    place_.release();
    if (clientDone_ || answered_) return;
    answered_ = true;
    AnswerStart start = answerStart(method_, response, client_->tunnel().has_value());
    hasBody_ = start.framing != Framing::none;
    client_->answer(start.status, start.reason, std::move(start.fields), start.framing,
                    start.length, start.version);
}

void Exchange::didReceiveData(core::URLConnection&, const core::Data& data) {
    touch();
    if (clientDone_ || !hasBody_ || data.empty()) return;
    client_->send(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    regulate();
}

void Exchange::regulate() {
    if (!loading_ || !connection_) return;
    const std::int64_t held = client_->queued();
    const bool pause = paused_ ? held > kMostHeldBytes / 4 : held >= kMostHeldBytes;
    if (pause == paused_) return;
    paused_ = pause;
    // The wait is the engine's: the idle limit starts again when it ends.
    touch();
    connection_->setReceivingPaused(pause);
}

void Exchange::wrote() {
    if (paused_) regulate();
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
    const auto connection = connection_;
    connection->cancel();
    const std::string url = request_.url().absoluteString();
    didFailWithError(*connection,
                     core::NetworkError::make(core::NetworkError::Code::timedOut, url,
                                              "Request to " + url + " timed out: no data for " +
                                                  std::to_string(int(kIdleSeconds)) + " s"));
}

std::optional<core::CachedURLResponse> Exchange::willCacheResponse(core::URLConnection&,
                                                                   core::CachedURLResponse) {
    return std::nullopt;
}

void Exchange::noteAnswered() const {
    if (isDocumentRequest(request_))
        EngineProxy::noteDocument(pageOf(request_), request_.url().absoluteString(),
                                  EngineProxy::DocumentStage::answered);
}

void Exchange::didFinishLoading(core::URLConnection&) {
    if (!loading_) return;
    noteAnswered();
    if (!clientDone_) client_->finish();
    loadEnded();
}

void Exchange::didFailWithError(core::URLConnection&, const core::NetworkError& error) {
    if (!loading_) return;
    // The page's view hears what failed; the engine sees a failed load.
    const std::uint64_t page = pageOf(request_);
    std::string url = request_.url().absoluteString();
    if (!clientDone_ && !answered_) {
        answered_ = true;
        answerFailure(*client_, error, page, std::move(url));
    } else {
        EngineProxy::noteFailure(page, std::move(url), {error.platformCode(), error.message});
        if (!clientDone_) client_->breakOff();
    }
    loadEnded();
}

void Exchange::loadEnded() {
    loading_ = false;
    if (idle_) idle_->invalidate();
    place_.release();
    // The request and its body are no longer needed; what the client still
    // sends of the body is not read (the connection ends after the answer).
    connection_.reset();
    request_.setBody(core::Data());
    readingBody_ = false;
    stream_.reset();
    share_ = {};
    if (counted_) {
        counted_ = false;
        server_.descriptorClosed();
    }
    if (clientDone_) {
        const auto keep = server_.release(this);
    }
}

// The client's side

void Exchange::answered() {
    // With its declared length written, the engine has the whole answer
    // before the onward load tells its end, which the cancel stops.
    if (loading_) {
        noteAnswered();
        connection_->cancel();
        loadEnded();
    }
    clientDone();
}

void Exchange::hungUp() {
    if (loading_) {
        connection_->cancel();
        loadEnded();
    }
    clientDone();
}

void Exchange::clientDone() {
    clientDone_ = true;
    readingBody_ = false;
    body_ = {};
    share_ = {};
    client_.reset();
    if (!loading_) {
        const auto keep = server_.release(this);
    }
}

}  // namespace web::proxy
