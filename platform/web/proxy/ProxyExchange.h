#pragma once
// One request the engine sent the proxy with its credentials: its body
// read under a share of the budget (BodyBudget), then, once its page has a
// place for it (LoadPlaces), loaded onward through core::URLConnection (the
// process's URL protocols first, then the network) and answered as the
// answer arrives: status line and fields as the origin
// sent them, then each piece of the body as it comes, so that a stream
// reaches the engine while it lasts. Redirects come back unfollowed, as
// any answer. A failure before the answer fails the engine's load with no
// answer at all (see answerFailure); one after it breaks the body off so
// that the engine cannot take it for a whole one. A client that hangs up
// cancels the onward load.
//
// An answer has no bound of size or total time: the load fails only once
// no byte came for kIdleSeconds (the engine's own patience with a server).
// While the engine has not taken kMostHeldBytes of what it was given, the
// onward load takes no more from the server (core::URLConnection::
// setReceivingPaused), so that a slow reader holds little here; that wait
// is the engine's, and counts towards no limit of the exchange. Both bounds
// are the guards' (ProxyGuards.h).
//
// A body of any length goes onward. One that fits in kMostHeldBodyBytes is
// gathered whole before the load starts, so that the URL protocols see it
// whole; a longer one starts its load once kStreamedBodyStartBytes are at
// hand (the protocols see its first bytes, core::URLBodyStream::firstBytes)
// and goes on as it comes: while the onward load has not taken what the
// exchange holds (kMostStreamedBodyBytes from then on), no more of it is
// read from the engine (Connection::setBodyPaused), and while the exchange
// holds nothing the onward load waits for it. An empty body that was declared
// ("Content-Length: 0") goes on as one.
//
// The proxy's thread: the connection is scheduled on its run loop. The
// server holds an exchange (Server::keep) until its client's connection is
// done with it and its onward load has ended.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/Timer.h"
#include "core/URLBodyStream.h"
#include "core/URLConnection.h"
#include "core/URLConnectionDelegate.h"
#include "web/proxy/ProxyConnection.h"
#include "web/proxy/ProxyGuards.h"
#include "web/proxy/ProxyServer.h"

namespace web::proxy {

class Exchange final : public core::URLConnectionDelegate,
                       public Connection::Request,
                       public std::enable_shared_from_this<Exchange> {
    struct Private {};

public:
    // kLoadIdleSeconds and kMostAnswerBytesHeld.
    static constexpr double kIdleSeconds = kLoadIdleSeconds;
    static constexpr std::int64_t kMostHeldBytes = kMostAnswerBytesHeld;

    static void start(Server& server, const std::shared_ptr<Connection>& client, RequestHead head,
                      Target target);
    // What onward loads are made with: the app's own authorities, the
    // request's own fields alone, no bound of size or time of the URL
    // session's (the exchange keeps its own idle limit).
    [[nodiscard]] static core::URLSessionConfiguration configuration();

    Exchange(Private, Server& server, std::shared_ptr<Connection> client, core::URLRequest request);
    ~Exchange() override;
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    // core::URLConnectionDelegate
    std::optional<core::URLRequest> willSendRequest(core::URLConnection& connection,
                                                    core::URLRequest newRequest,
                                                    const core::HTTPURLResponse& response) override;
    void didReceiveResponse(core::URLConnection& connection,
                            const core::HTTPURLResponse& response) override;
    void didReceiveData(core::URLConnection& connection, const core::Data& data) override;
    std::optional<core::CachedURLResponse> willCacheResponse(core::URLConnection& connection,
                                                             core::CachedURLResponse) override;
    void didFinishLoading(core::URLConnection& connection) override;
    void didFailWithError(core::URLConnection& connection,
                          const core::NetworkError& error) override;

    // Connection::Request
    void wrote() override;
    void hungUp() override;
    void answered() override;

private:
    // Reads the body, as the head framed it, under its share of the budget.
    void receive(const RequestHead& head);
    // A piece of it came; false refuses the rest.
    bool bodyPiece(std::string_view piece);
    // It outgrew kMostHeldBodyBytes: from now on it goes on as it comes.
    void streamBody();
    void bodyEnded(bool whole);
    // Stops reading the engine's body while the onward load has not taken
    // what the exchange holds.
    void regulateBody();
    void bodyDrained();
    // It does not fit: answered 503, or its load fails.
    void refuseBody();
    // Waits for a place among the page's loads, then loads.
    void queue();
    void load();
    // Another page's body took this one's share.
    void lostShare();
    // A page's document answered whole: the view's stall watch is told.
    void noteAnswered() const;
    // A byte of the onward load came: the idle limit starts again.
    void touch();
    void idleCheck(core::Timer& timer);
    // Pauses or resumes the onward load by what the engine has not taken.
    void regulate();
    // The onward load has ended (or will never start).
    void loadEnded();
    // The client's connection is done with the exchange.
    void clientDone();

    Server& server_;
    std::shared_ptr<Connection> client_;
    core::URLRequest request_;
    const std::string method_;
    BodyBudget::Share share_;
    // The body while it is gathered whole, then the stream it goes on as.
    core::Data body_;
    std::optional<std::int64_t> bodyLength_;
    std::shared_ptr<core::URLBodyStream> stream_;
    bool readingBody_ = false;
    bool bodyPaused_ = false;
    // It waits for a place, or has its load.
    bool queued_ = false;
    LoadPlaces::Place place_;
    std::shared_ptr<core::URLConnection> connection_;
    std::shared_ptr<core::Timer> idle_;
    double lastActivity_ = 0;
    bool answered_ = false;
    bool hasBody_ = false;
    bool paused_ = false;
    bool loading_ = false;
    bool counted_ = false;
    bool clientDone_ = false;
};

}  // namespace web::proxy
