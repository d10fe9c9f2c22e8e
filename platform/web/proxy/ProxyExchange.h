#pragma once
// One request the engine sent the proxy, loaded onward through
// core::URLConnection (the process's URL protocols first, then the network)
// and answered as the answer arrives: status and fields, then each piece of
// the body as it comes, so that a stream reaches the engine while it lasts.
// Redirects come back unfollowed. A failure before the answer becomes a 502
// whose body breaks off (see answerFailure); one after it breaks the body
// off. A client that hangs up cancels the onward load.
//
// The proxy's thread: the connection is scheduled on its run loop. An
// exchange keeps itself alive until libsoup has finished with its message
// and the onward load has ended.

#include <gio/gio.h>
#include <libsoup/soup.h>

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
    // Seconds the onward load may take in all, a URL protocol's too.
    static constexpr double kLoadDeadline = 30;

    static void start(const Server& server, SoupServerMessage* message, core::URLRequest request);
    // What onward loads are made with: the app's own authorities, the
    // deadline, the URL session's size bound.
    [[nodiscard]] static core::URLSessionConfiguration configuration();

    Exchange(Private, const Server& server, SoupServerMessage* message);
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
    void deadlinePassed();
    static void finished(SoupServerMessage* message, gpointer data);
    static void wroteHeaders(SoupServerMessage* message, gpointer data);
    static void wroteChunk(SoupServerMessage* message, gpointer data);
    static gboolean hungUp(gint fd, GIOCondition condition, gpointer data);

    const Server& server_;
    SoupServerMessage* message_;
    GSocket* socket_ = nullptr;
    GSource* watch_ = nullptr;
    std::shared_ptr<core::URLConnection> connection_;
    std::shared_ptr<core::Timer> deadline_;
    std::shared_ptr<Exchange> self_;
    bool answered_ = false;
    bool headersWritten_ = false;
    bool breakPending_ = false;
    size_t chunksAppended_ = 0;
    size_t chunksWritten_ = 0;
    bool hasBody_ = false;
    bool loading_ = true;
    bool messageDone_ = false;
};

}  // namespace web::proxy
