#pragma once
// One request the engine sent the proxy, loaded onward through
// core::URLConnection (the process's URL protocols first, then the network)
// and answered as the answer arrives: status and fields, then each piece of
// the body as it comes, so that a stream reaches the engine while it lasts.
// Redirects come back unfollowed. A failure before the answer becomes a 502
// whose body breaks off (see answerFailure); one after it breaks the body
// off so that the engine cannot take it for a whole one. A client that
// hangs up cancels the onward load.
//
// An answer has no bound of size or total time: the load fails only once
// no byte came for kIdleSeconds (the engine's own patience with a server).
// While the engine has not taken kMostHeldBytes of what it was given, the
// onward load takes no more from the server (core::URLConnection::
// setReceivingPaused), so that a slow reader holds little here; that wait
// is the engine's, and counts towards no limit of the exchange.
//
// The proxy's thread: the connection is scheduled on its run loop. An
// exchange keeps itself alive until libsoup has finished with its message
// and the onward load has ended.

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <cstdint>
#include <memory>

#include "core/Timer.h"
#include "core/URLConnection.h"
#include "core/URLConnectionDelegate.h"
#include "web/proxy/ProxyServer.h"

namespace web::proxy {

class Exchange final : public core::URLConnectionDelegate,
                       public std::enable_shared_from_this<Exchange> {
    struct Private {};

public:
    // Seconds, on the clock, the onward load may go without a byte (a URL
    // protocol's too) while the engine is reading: as long as the engine
    // itself was seen to wait for a server that sends nothing (it had not
    // given up after that), so that a page waits alike in both kinds of
    // view, and a load nobody ends still ends.
    static constexpr double kIdleSeconds = 30 * 60;
    // Answer bytes handed to libsoup and not yet written to the engine
    // past which the onward load is paused; it goes on below a quarter.
    static constexpr std::int64_t kMostHeldBytes = std::int64_t(1) << 20;

    // held: the request's body, whose share of the proxy's budget the
    // exchange keeps until it ends.
    static void start(const Server& server, SoupServerMessage* message, core::URLRequest request,
                      BodyBudget::Share held = {});
    // What onward loads are made with: the app's own authorities, no bound
    // of size or time of the URL session's (the exchange keeps its own
    // idle limit).
    [[nodiscard]] static core::URLSessionConfiguration configuration();

    Exchange(Private, const Server& server, SoupServerMessage* message, BodyBudget::Share held);
    ~Exchange() override;
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

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

private:
    // Breaks the body off once what was handed to libsoup is out.
    void breakOffWhenWritten();
    // writing: called as libsoup reports a write, when it is not paused.
    void breakOffIfWritten(bool writing);
    void watchClient();
    void stopWatching();
    void clientHungUp();
    // The onward load has ended; the exchange goes once libsoup is done too.
    void loadEnded();
    // A page's document answered whole: the view's stall watch is told.
    static void noteAnswered(const core::URLRequest& request);
    // Every byte of the answer its length declared was written to the
    // engine (which may end the message before the onward load tells its
    // own end).
    [[nodiscard]] bool wroteWholeAnswer() const;
    // A byte of the onward load came: the idle limit starts again.
    void touch();
    void idleCheck(core::Timer& timer);
    // Pauses or resumes the onward load by what the engine has not taken.
    void regulate();
    static void finished(SoupServerMessage* message, gpointer data);
    static void wroteHeaders(SoupServerMessage* message, gpointer data);
    static void wroteChunk(SoupServerMessage* message, gpointer data);
    static void wroteBodyData(SoupServerMessage* message, guint size, gpointer data);
    static gboolean hungUp(gint fd, GIOCondition condition, gpointer data);

    const Server& server_;
    SoupServerMessage* message_;
    BodyBudget::Share held_;
    GSocket* socket_ = nullptr;
    GSource* watch_ = nullptr;
    std::shared_ptr<core::URLConnection> connection_;
    std::shared_ptr<core::Timer> idle_;
    double lastActivity_ = 0;
    std::shared_ptr<Exchange> self_;
    bool answered_ = false;
    bool headersWritten_ = false;
    bool breakPending_ = false;
    bool chunked_ = false;
    size_t chunksAppended_ = 0;
    size_t chunksWritten_ = 0;
    std::int64_t bytesAppended_ = 0;
    std::int64_t bytesWritten_ = 0;
    bool paused_ = false;
    bool hasBody_ = false;
    // The answer's declared length; -1 when none (chunked, or to the end).
    std::int64_t declaredBytes_ = -1;
    bool loading_ = true;
    bool messageDone_ = false;
};

}  // namespace web::proxy
