#pragma once
// What a URLSession tells its delegate about its tasks. Every method has a
// default that does what the session does without a delegate. All calls are
// made on the session's delegate queue.
//
// A task made with a completion handler reports to that handler only; the
// delegate still decides its redirects.
//
// Decision handlers may be called later and from any thread; a second call
// is ignored.

#include <functional>
#include <optional>

#include "core/HTTPURLResponse.h"
#include "core/NetworkError.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace core {

class URLSession;
class URLSessionTask;
class URLSessionDataTask;

class URLSessionDelegate {
public:
    enum class ResponseDisposition { allow, cancel };
    // The request to send instead, or nullopt to stop at the redirect
    // response and complete with it as the final response.
    using RedirectDecision = std::function<void(std::optional<URLRequest>)>;
    using ResponseDecision = std::function<void(ResponseDisposition)>;

    virtual ~URLSessionDelegate() = default;

    // Default: follows to newRequest.
    virtual void willPerformHTTPRedirection(URLSession& session, URLSessionTask& task,
                                            const HTTPURLResponse& response, URLRequest newRequest,
                                            RedirectDecision decide);
    // Data and completion wait for the decision. Default: allow.
    virtual void didReceiveResponse(URLSession& session, URLSessionDataTask& task,
                                    const HTTPURLResponse& response, ResponseDecision decide);
    virtual void didReceiveData(URLSession& session, URLSessionDataTask& task, const Data& data);
    virtual void didComplete(URLSession& session, URLSessionTask& task,
                             const std::optional<NetworkError>& error);
    // The last call: the session lets go of its delegate afterwards.
    virtual void didBecomeInvalid(URLSession& session);
};

}  // namespace core
