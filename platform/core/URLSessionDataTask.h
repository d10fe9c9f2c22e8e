#pragma once
// A task that receives the body of its final response in memory: all at
// once in its completion handler, or piece by piece through the session
// delegate's didReceiveResponse, didReceiveData and didComplete.
//
// The completion handler gets the body (empty after an error), the final
// response when one arrived, and the error. See URLSessionTask.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "core/URLSessionTask.h"

namespace core {

class URLSessionDataTask final : public URLSessionTask {
public:
    using Completion = std::function<void(Data body, std::optional<HTTPURLResponse> response,
                                          std::optional<NetworkError> error)>;

private:
    friend class URLSession;

    URLSessionDataTask(std::shared_ptr<URLSession> session, std::uint64_t identifier,
                       URLRequest request, std::shared_ptr<Queue> queue, Completion completion);

    void receivedResponse(const HTTPURLResponse& response) override;
    void receivedData(Data data) override;
    void completed(const std::optional<NetworkError>& error) override;

    [[nodiscard]] std::shared_ptr<URLSessionDataTask> self();

    const Completion completion_;  // empty: report to the delegate
    std::mutex bodyMutex_;
    Data body_;
};

}  // namespace core
